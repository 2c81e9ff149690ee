#!/usr/bin/env bash
# Saves WAVE files losslessly through the filter DLL under Wine over our runtime (the options
# WORD names a lossless format), holds each to the native host's save of the same file (the
# same bytes), and reads it back with Wine's own reader: the decoded samples are the input's,
# every one. Wine's reader hands out 16-bit samples, so the files are 16-bit; stereo and mono.
#   wine_ours_lossless_check.sh WORD CHANNELS...
# Environment: BIN, the Windows programs; OUT, a directory for what the check makes;
# NATIVE_HOST, the native filterhost (and its wavetool beside it).
set -uo pipefail
word=$1
shift
mkdir -p "$OUT"
source "$(dirname "$0")/check_helpers.sh"
require_native_host
native_bin=$(dirname "$NATIVE_HOST")
# The WAVE file's samples: what follows its "data" chunk header.
samples() { python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); i=d.find(b"data"); sys.stdout.buffer.write(d[i+8:])' "$1"; }

for channels in "$@"; do
  stem=$OUT/ours-lossless-$word-$channels
  "$native_bin/wavetool" "$stem.wav" --seconds 4 --channels "$channels" --signal tones \
    >/dev/null || fail "wavetool"
  "$NATIVE_HOST" encode "$stem.wav" "$stem.native.wma" --options "$word" >/dev/null ||
    fail "native encode"
  under_wine "$BIN/filterhost.exe" encode "$stem.wav" "$stem.ours.wma" --options "$word" \
    >/dev/null || fail "encode under Wine"
  [ -f "$stem.ours.wma" ] || continue
  cmp -s "$stem.native.wma" "$stem.ours.wma" ||
    fail "$channels channels: saved under Wine and natively, the bytes differ"
  # Wine's own runtime reads what ours wrote.
  WINEDLLOVERRIDES="mscoree,mshtml=;wmvcore=b" under_wine "$BIN/filterhost.exe" decode \
    "$stem.ours.wma" "$stem.wine.wav" >/dev/null || fail "decode with Wine's reader"
  if cmp -s <(samples "$stem.wav") <(samples "$stem.wine.wav"); then
    echo "$word, $channels channels: Wine's reader gives back every sample"
  else
    fail "$channels channels: Wine's reader gives back other samples"
  fi
done
exit $status
