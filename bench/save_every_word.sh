#!/usr/bin/env bash
# Saves the same short signals with every options word that the native runtime offers and
# prints one line a save: the word, the signal and the SHA-256 of the file. Two builds print the
# same lines exactly when they write the same bytes, which is how a change that must not alter
# what is saved (a move, a refactor) shows that it does not:
#
#   bench/save_every_word.sh [--filterhost PATH] [--work DIR] > before.txt
#   ... change, build ...
#   bench/save_every_word.sh > after.txt && diff before.txt after.txt
#
# The words are those of `filterhost formats` (constant and variable rate, every codec) and the
# lossless words of every rate, width and channel count up to six; the signals a stereo
# 44.1 kHz 16-bit mix of tones, clicks and noise, and, for the lossless words past two channels,
# a 6-channel 24-bit one. Both threads and one code each word, and must agree.
set -euo pipefail
cd "$(dirname "$0")/.."

filterhost=build/native/bin/filterhost
work=""
while [ $# -gt 0 ]; do
  case "$1" in
    --filterhost) filterhost="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    *) sed -n '2,15p' "$0" >&2; exit 2 ;;
  esac
done
[ -x "$filterhost" ] || { echo "no filterhost at $filterhost (build the native preset)" >&2; exit 1; }
if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

# Three seconds of a rising tone on the left and pink noise on the right, pulsing four times a
# second; two of six tones at 24 bits. sox -R makes its noise the same on every run.
sox -R -n -r 44100 -b 16 -c 2 "$work/stereo.wav" synth 3 sine 220-1760 pinknoise tremolo 4 60 \
  vol 0.5
sox -R -n -r 48000 -b 24 -c 6 "$work/six.wav" synth 2 sine 200 sine 400 sine 600 sine 50 \
  sine 800 pinknoise vol 0.5

save() {  # word signal
  local out="$work/out.wma" digest threads
  for threads in 1 2; do
    WMAFILTER_THREADS=$threads "$filterhost" encode "$work/$2.wav" "$out" --options "$1" \
      >/dev/null 2>"$work/err" || { echo "$1 $2 refused: $(head -c 200 "$work/err")"; return; }
    if [ "$threads" = 1 ]; then
      digest=$(sha256sum "$out" | cut -c1-64)
    elif [ "$(sha256sum "$out" | cut -c1-64)" != "$digest" ]; then
      echo "$1 $2 differs between one thread and two" >&2
      exit 1
    fi
  done
  echo "$1 $2 $digest"
}

words=$("$filterhost" formats | awk '{print $1}')
for word in $words; do save "$word" stereo; done
# Lossless: codec index 2, formats in the runtime's order; the first unknown index ends them.
for format in $(seq 0 63); do
  word=$(printf '0x8002%04x' "$format")
  line=$("$filterhost" encode "$work/stereo.wav" "$work/probe.wma" --options "$word" 2>&1 |
         head -n 1) || true
  case "$line" in *"refused"*) break ;; esac
  case " $words " in *" $word "*) ;; *) save "$word" stereo ;; esac
  case "$line" in *" 6 channel "*) save "$word" six ;; esac
done
