#!/usr/bin/env bash
# Reads one file through the filter DLL under Wine, with the host program built for Windows:
# `filterhost info` must report the expected rate, width and channels (and the native host,
# where it is built, the same rate and channels and its own expected width), no tags and no
# codec text, which Wine's runtime cannot give; `filterhost decode` must write PCM that differs
# from ffmpeg's decode of the file by at most MAX_DIFFERENCE on any sample, once aligned. The
# measured difference is printed. A RATE of "-" expects the file to be refused cleanly.
#   wine_decode_check.sh FILE RATE CHANNELS WINE_WIDTH NATIVE_WIDTH MAX_DIFFERENCE
# Environment: BIN, the Windows programs; OUT, a directory for the decoded files; NATIVE_HOST,
# the native filterhost (checked only if it exists).
set -uo pipefail
file=$1 rate=$2 channels=$3 wine_width=$4 native_width=$5 max_difference=$6
name=$(basename "$file" .wma)
mkdir -p "$OUT"
source "$(dirname "$0")/check_helpers.sh"
field() { sed -n "s|^$1: *||p" <<<"$2" | head -n 1; }
# "44100 Hz, 16-bit, 2 channels" from the host's info text.
sample_type() {
  printf '%s, %s-bit, %s channels' "$(field 'sample rate' "$1")" \
    "$(field 'bits/sample' "$1" | cut -d' ' -f1)" "$(field channels "$1")"
}

run=under_wine
[ "$rate" = "-" ] && run=under_wine_refused
info=$($run "$BIN/filterhost.exe" info "$file" 2>"$OUT/$name.info.err")
info_status=$?
echo "$info"
if [ "$rate" = "-" ]; then
  [ $info_status -eq 1 ] || fail "info exited with $info_status, not 1"
  grep -q "not a Windows Media file the filter can read" "$OUT/$name.info.err" ||
    fail "no clear message for a file the filter cannot read: $(tr -d '\r' <"$OUT/$name.info.err")"
  under_wine_refused "$BIN/filterhost.exe" decode "$file" "$OUT/$name.wav" 2>/dev/null &&
    fail "decode of a file the filter cannot read succeeded"
  [ -e "$OUT/$name.wav" ] && fail "decode left $OUT/$name.wav behind"
  exit $status
fi
[ $info_status -eq 0 ] || fail "info exited with $info_status: $(tr -d '\r' <"$OUT/$name.info.err")"
wine_type=$(sample_type "$info")
[ "$wine_type" = "$rate Hz, $wine_width-bit, $channels channels" ] ||
  fail "expected $rate Hz, $wine_width-bit, $channels channels under Wine"
[ "$(field codec "$info")" = "(not reported)" ] || fail "codec text reported"
[ "$(field tags "$info")" = "none" ] || fail "tags reported"
size_estimate=$(field 'size estimate' "$info")
[ "${size_estimate%% *}" -gt 0 ] 2>/dev/null || fail "no size estimate"

native_type="native host not built"
if [ -x "${NATIVE_HOST:-}" ]; then
  native_type=$(sample_type "$("$NATIVE_HOST" info "$file")")
  [ "$native_type" = "$rate Hz, $native_width-bit, $channels channels" ] ||
    fail "expected $rate Hz, $native_width-bit, $channels channels from the native host"
fi

under_wine "$BIN/filterhost.exe" decode "$file" "$OUT/$name.wav" || fail "decode under Wine"
ffmpeg -v error -y -i "$file" -c:a pcm_s16le "$OUT/$name.ffmpeg.wav" || fail "ffmpeg's decode"
difference=$(under_wine "$BIN/pcm_difference.exe" "$OUT/$name.ffmpeg.wav" "$OUT/$name.wav" \
  --max-abs "$max_difference") || fail "PCM differs from ffmpeg's by more than $max_difference"
echo "$name: Wine: $wine_type; native: $native_type"
echo "$name: ffmpeg's and Wine's decode: $difference"
exit $status
