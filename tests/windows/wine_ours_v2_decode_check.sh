#!/usr/bin/env bash
# Saves a WAVE file of noise through the filter DLL with our WMA v2 encoder (the options WORD
# names one of its constant- or variable-rate formats), natively and under Wine over our
# runtime, and reads each save back with Wine's own reader. Its decode must be what the native
# host decodes from the same file, within one step (GStreamer's decode dithers), 4096 samples
# later: Wine's reader keeps the decoder's two start-up frames, which ffmpeg drops (it does so
# for FFmpeg's own files too). And it must hold the frames saved, within a millisecond: Wine's
# reader ends at the file's duration by the packets' times, which are whole milliseconds.
# The length ends inside a frame.
#   wine_ours_v2_decode_check.sh WORD CHANNELS...
# Environment: BIN, the Windows programs; OUT, a directory for what the check makes;
# NATIVE_HOST, the native filterhost (and its wavetool beside it).
set -uo pipefail
word=$1
shift
mkdir -p "$OUT"
source "$(dirname "$0")/check_helpers.sh"
require_native_host
native_bin=$(dirname "$NATIVE_HOST")
wine_reader="mscoree,mshtml=;wmvcore=b"
# "frames A and B, shift S" of pcm_difference's report.
report_field() { sed -nE "s/.*$1.*/\\1/p" <<<"$2"; }

for channels in "$@"; do
  stem=$OUT/ours-v2-$word-$channels
  "$native_bin/wavetool" "$stem.wav" --seconds 3.01 --channels "$channels" --signal noise \
    >/dev/null || fail "wavetool"
  frames=$(python3 -c 'import sys, wave; print(wave.open(sys.argv[1]).getnframes())' "$stem.wav")
  "$NATIVE_HOST" encode "$stem.wav" "$stem.native.wma" --options "$word" >/dev/null ||
    fail "native encode"
  under_wine "$BIN/filterhost.exe" encode "$stem.wav" "$stem.ours.wma" --options "$word" \
    >/dev/null || fail "encode under Wine"
  for saved in native ours; do
    file=$stem.$saved.wma
    [ -f "$file" ] || continue
    "$NATIVE_HOST" decode "$file" "$file.native.wav" >/dev/null || fail "native decode of $file"
    WINEDLLOVERRIDES="$wine_reader" under_wine "$BIN/filterhost.exe" decode "$file" \
      "$file.wine.wav" >/dev/null || fail "decode of $file with Wine's reader"
    difference=$(under_wine "$BIN/pcm_difference.exe" "$file.native.wav" "$file.wine.wav" \
      --max-abs 1) ||
      fail "$channels channels, saved $saved: Wine's reader gives other audio: $difference"
    echo "$word, $channels channels, saved $saved: Wine's reader against the native one: $difference"
    [ "$(report_field 'shift (-?[0-9]+),' "$difference")" = 4096 ] ||
      fail "$channels channels, saved $saved: not two frames later"
    decoded=$(report_field 'frames [0-9]+ and ([0-9]+),' "$difference")
    rate=$(python3 -c 'import sys, wave; print(wave.open(sys.argv[1]).getframerate())' "$stem.wav")
    [ -n "$decoded" ] && [ $((decoded > frames ? decoded - frames : frames - decoded)) -le $((rate / 1000)) ] ||
      fail "$channels channels, saved $saved: $decoded frames, not the $frames saved"
  done
done
exit $status
