#!/usr/bin/env bash
# Installs the Windows package in a new Wine prefix as its README says: unpacked into a folder
# of drive C, with our runtime preferred to Wine's for the package's host alone, by the README's
# own command. From there the host decodes a tagged Windows Media file, saves the result again
# (which Wine's own runtime cannot), and reads the tags back from what it saved; a second
# program in another folder of the prefix still gets Wine's own runtime. The prefix is removed
# when the check passes.
#   wine_package_check.sh ZIP FILE.wma
# Environment: WINEPREFIX, the prefix to make (anything there is removed first); BIN, the
# Windows programs (runtime_probe, the second program); OUT, a directory for what the check
# makes.
set -uo pipefail
zip=$(realpath "$1") file=$2
: "${WINEPREFIX:?WINEPREFIX names the prefix to make}"
export WINEDLLOVERRIDES="mscoree,mshtml="
source "$(dirname "$0")/check_helpers.sh"
# The package's host, by its Windows path.
host() { under_wine 'C:\wmafilter\filterhost.exe' "$@"; }

wineserver --kill >/dev/null 2>&1
rm -rf "$WINEPREFIX"
"$WINE" wineboot --init </dev/null >/dev/null 2>&1 || fail "wineboot could not make $WINEPREFIX"
folder=$WINEPREFIX/drive_c/wmafilter
mkdir -p "$folder" "$OUT"
(cd "$folder" && cmake -E tar xf "$zip") || fail "could not unpack $zip"
override=$(tr -d '\r' <"$folder/README.txt" | grep -F 'AppDefaults\filterhost.exe' | sed 's/^ *wine //')
[ -n "$override" ] || fail "README.txt gives no override for filterhost.exe"
eval "under_wine $override" >/dev/null || fail "the README's override: $override"

decoded=$OUT/package-decoded.wav saved=$OUT/package-saved.wma
rm -f "$decoded" "$saved"
host decode "$file" "$decoded" || fail "decode"
host encode "$decoded" "$saved" || fail "encode"
original=$(host info --json "$file") || fail "info of $file"
again=$(host info --json "$saved") || fail "info of the saved file"
echo "$again"
# The tag lines, in an order of their own: a writer may place them otherwise.
tags() { grep '"chunkId"' <<<"$1" | sed 's/,$//' | sort; }
[ -n "$(tags "$original")" ] || fail "no tags read from $file"
[ "$(tags "$original")" = "$(tags "$again")" ] ||
  fail "the saved file's tags differ: $(diff <(tags "$original") <(tags "$again"))"

# Any other program keeps Wine's runtime: the probe passes only over Wine's own.
other=$WINEPREFIX/drive_c/other
mkdir -p "$other"
cp "$BIN/runtime_probe.exe" "$other/"
probe=$(under_wine 'C:\other\runtime_probe.exe' "$file" "$OUT" --wine) ||
  fail "a second program did not get Wine's own runtime: $probe"
grep -i 'loaded from' <<<"$probe"

wineserver --kill >/dev/null 2>&1
[ $status -eq 0 ] && rm -rf "$WINEPREFIX"
exit $status
