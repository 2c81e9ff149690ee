#!/usr/bin/env bash
# Installs the Windows package in a new Wine prefix as its README says: unpacked into a folder
# of drive C, with our runtime preferred to Wine's. From there the package's host decodes a
# tagged Windows Media file, saves the result again (which Wine's own runtime cannot), and
# reads the tags back from what it saved. The prefix is removed when the check passes.
#   wine_package_check.sh ZIP FILE.wma
# Environment: WINEPREFIX, the prefix to make (anything there is removed first); OUT, a
# directory for what the check makes.
set -uo pipefail
zip=$(realpath "$1") file=$2
: "${WINEPREFIX:?WINEPREFIX names the prefix to make}"
export WINEDLLOVERRIDES="mscoree,mshtml=;wmvcore=n"
source "$(dirname "$0")/check_helpers.sh"
# The package's host, by its Windows path.
host() { under_wine 'C:\wmafilter\filterhost.exe' "$@"; }

wineserver --kill >/dev/null 2>&1
rm -rf "$WINEPREFIX"
wineboot --init </dev/null >/dev/null 2>&1 || fail "wineboot could not make $WINEPREFIX"
folder=$WINEPREFIX/drive_c/wmafilter
mkdir -p "$folder" "$OUT"
(cd "$folder" && cmake -E tar xf "$zip") || fail "could not unpack $zip"

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

wineserver --kill >/dev/null 2>&1
[ $status -eq 0 ] && rm -rf "$WINEPREFIX"
exit $status
