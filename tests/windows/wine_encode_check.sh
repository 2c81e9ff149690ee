#!/usr/bin/env bash
# Saves a tagged WAVE file through the filter DLL under Wine, whose media runtime has neither
# codec information nor a working writer: OpenFilterOutput must give a null handle, and the
# host must say so in one line, exit with 1 and leave no file behind, whatever the options word.
# Environment: BIN, the Windows programs; OUT, a scratch directory.
set -uo pipefail
mkdir -p "$OUT"
source "$(dirname "$0")/check_helpers.sh"

input="$OUT/encode-input.wav"
"$WINE" "$BIN/wavetool.exe" "$input" --seconds 1 --tag INFO/INAM=Title --tag INFO/IART=Artist ||
  fail "wavetool could not make $input"
for options in 0 0x00010002 0x80000000; do
  output="$OUT/encode-$options.wma"
  rm -f "$output"
  message=$("$WINE" "$BIN/filterhost.exe" encode "$input" "$output" --options "$options" 2>&1 |
    tr -d '\r')
  code=${PIPESTATUS[0]}
  echo "options $options: exit $code: $message"
  [ "$code" -eq 1 ] || fail "options $options: exit $code, expected 1"
  grep -q "the filter refused to write 44100 Hz, 16-bit, 2-channel audio with options" <<<"$message" ||
    fail "options $options: not the host's refusal"
  [ "$(wc -l <<<"$message")" -eq 1 ] || fail "options $options: more than one line"
  [ -e "$output" ] && fail "options $options: $output left behind"
done
exit $status
