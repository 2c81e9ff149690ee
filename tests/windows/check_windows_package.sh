#!/usr/bin/env bash
# Checks the Windows package without running it: the zip holds exactly the README, the
# notices, the licence, the filter, our runtime and the host, each program the one built; the
# README, with Windows line ends, tells both ways to install, under Wine with our runtime for
# one program alone; the notices name FFmpeg's licence and the exact source package version
# inside our runtime, and the test files' origins; the licence is the LGPL's text.
#   check_windows_package.sh ZIP FILTER_DLL RUNTIME_DLL HOST_EXE FFMPEG_VERSION
set -euo pipefail
zip=$(realpath "$1") filter=$2 runtime=$3 host=$4 ffmpeg_version=$5
source "$(dirname "$0")/check_helpers.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && cmake -E tar xf "$zip")
contents=$(cd "$scratch" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
[ "$contents" = "LICENSE.txt NOTICES.txt README.txt filterhost.exe wmafilter.dll wmvcore.dll " ] ||
  fail "the package holds: $contents"

for built in "$filter" "$runtime" "$host"; do
  name=$(basename "$built")
  [ -f "$scratch/$name" ] || continue
  cmp -s "$scratch/$name" "$built" || fail "$name is not the one built"
done

readme=$scratch/README.txt
if [ -f "$readme" ]; then
  [ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ] || fail "README.txt has bare LF line ends"
  grep -q "^On Windows" "$readme" || fail "README.txt says nothing about Windows"
  grep -qF 'AppDefaults\filterhost.exe\DllOverrides" /v wmvcore /d native,builtin' "$readme" ||
    fail "README.txt does not set the Wine override for one program"
fi
notices=$scratch/NOTICES.txt
if [ -f "$notices" ]; then
  [ "$(grep -c $'\r$' "$notices")" -eq "$(wc -l <"$notices")" ] || fail "NOTICES.txt has bare LF line ends"
  grep -qF "links FFmpeg $ffmpeg_version statically" "$notices" || fail "NOTICES.txt does not name FFmpeg $ffmpeg_version"
  grep -qF "apt-get source ffmpeg=$ffmpeg_version" "$notices" || fail "NOTICES.txt does not say where FFmpeg's source is"
  grep -qF "licensed under the GNU Lesser General" "$notices" || fail "NOTICES.txt does not name FFmpeg's licence"
  grep -qF "tag libraries" "$notices" || fail "NOTICES.txt does not name the test files' origins"
fi
licence=$scratch/LICENSE.txt
if [ -f "$licence" ]; then
  grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "$licence" || fail "LICENSE.txt is not the LGPL's text"
fi
[ $status -eq 0 ] && echo "$(basename "$zip"): $contents($(stat -c %s "$zip") bytes)"
exit $status
