#!/usr/bin/env bash
# Reads one file through the filter DLL under Wine over our runtime, with the host program built
# for Windows, and holds it to the native host over the same runtime built natively: `info
# --json` must say the same (sample type, size estimate, codec text, tags), and `decode` must
# write the same audio, byte for byte or within one step where the 32-bit build's x87 arithmetic
# rounds otherwise than the native build's SSE (a step of 24-bit audio for the floats of a 24-bit
# source). The largest difference is printed.
#   wine_ours_read_check.sh FILE
# Environment: BIN, the Windows programs; OUT, a directory for what the check makes;
# NATIVE_HOST, the native filterhost.
set -uo pipefail
file=$1
name=$(basename "$file" .wma)
mkdir -p "$OUT"
source "$(dirname "$0")/check_helpers.sh"
require_native_host

native=$("$NATIVE_HOST" info --json "$file" 2>&1)
native_status=$?
ours=$(under_wine "$BIN/filterhost.exe" info --json "$file" 2>&1)
ours_status=$?
echo "$ours"
[ $ours_status -eq $native_status ] || fail "info exited with $ours_status, natively $native_status"
diff <(echo "$native") <(echo "$ours") >"$OUT/$name.ours-info.diff" ||
  fail "info differs from the native host's: $(cat "$OUT/$name.ours-info.diff")"
[ $native_status -eq 0 ] || exit $status

"$NATIVE_HOST" decode "$file" "$OUT/$name.native.wav" >/dev/null || fail "native decode"
under_wine "$BIN/filterhost.exe" decode "$file" "$OUT/$name.ours.wav" >/dev/null ||
  fail "decode under Wine"
if cmp -s "$OUT/$name.native.wav" "$OUT/$name.ours.wav"; then
  echo "$name: decoded under Wine and natively: identical"
  exit $status
fi
step=1
grep -q '"bitsPerSample": 32' <<<"$native" && step=0.00390625  # 1/256 of a 16-bit step
difference=$(under_wine "$BIN/pcm_difference.exe" "$OUT/$name.native.wav" "$OUT/$name.ours.wav" \
  --max-shift 0 --max-abs $step) || fail "decoded audio differs by more than $step"
grep -qE '^frames ([0-9]+) and \1,' <<<"$difference" || fail "the decodes differ in length"
echo "$name: decoded under Wine against natively: $difference"
exit $status
