#!/usr/bin/env bash
# The lossless table: for each signal, the lossless encoder's size against `flac -5` and
# `flac -8`, its encode CPU time, and libavcodec's decode CPU time of what it wrote.
#
#   bench/lossless_table.sh [--seconds N] [--work DIR] [--no-build]
#
# Signals (44.1 kHz stereo 16-bit, N seconds, 20 by default): music-like (plucked chords, sox),
# speech (espeak-ng), noise-like (pink noise, sox) and silence. Targets: the total within 5%
# of flac -5 and no signal over 15%; encode CPU at most twice the decode CPU.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=20
work=""
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    *) echo "usage: $0 [--seconds N] [--work DIR] [--no-build]" >&2; exit 2 ;;
  esac
done
for tool in flac sox espeak-ng; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: tools/install-deps test" >&2; exit 1; }
done
if [ "$build" = 1 ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target lossless_table >/dev/null
fi
measure=build/native/bin/lossless_table
[ -n "$work" ] || { work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; }
mkdir -p "$work"

format=(-r 44100 -c 2 -b 16)
sox -D -n "${format[@]}" "$work/music.wav" synth "$seconds" pluck C3 pluck E3 pluck G3 \
  pluck C4 tremolo 3 40 remix 1,3 2,4 norm -3
text="Every sample that goes in comes out again, exactly as it went in, and the file is small."
words=""
while [ "$(wc -w <<<"$words")" -lt $((seconds * 3)) ]; do words="$words $text"; done
espeak-ng -w "$work/speech-mono.wav" "$words"
sox -D "$work/speech-mono.wav" "${format[@]}" "$work/speech.wav" trim 0 "$seconds" remix 1 1
sox -D -n "${format[@]}" "$work/noise.wav" synth "$seconds" pinknoise vol 0.3
sox -D -n "${format[@]}" "$work/silence.wav" trim 0 "$seconds"

printf '%-8s %10s %10s %10s %7s %7s %9s %9s %6s\n' signal ours flac-5 flac-8 "ours/5" "ours/8" \
  "enc s" "dec s" "enc/dec"
total=0 total5=0
for signal in music speech noise silence; do
  read -r bytes encode decode _ < <("$measure" "$work/$signal.wav")
  flac5=$(flac -5 -s -f -o - "$work/$signal.wav" 2>/dev/null | wc -c)
  flac8=$(flac -8 -s -f -o - "$work/$signal.wav" 2>/dev/null | wc -c)
  total=$((total + bytes)) total5=$((total5 + flac5))
  awk -v s="$signal" -v o="$bytes" -v f5="$flac5" -v f8="$flac8" -v e="$encode" -v d="$decode" \
    'BEGIN { printf "%-8s %10d %10d %10d %7.3f %7.3f %9.3f %9.3f %6.2f\n", s, o, f5, f8, o / f5, o / f8, e, d, (d > 0 ? e / d : 0) }'
done
awk -v o="$total" -v f="$total5" 'BEGIN { printf "total    %10d %10d %10s %7.3f\n", o, f, "", o / f }'
