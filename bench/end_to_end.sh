#!/usr/bin/env bash
# End-to-end figures: the host program with the native filter and its runtime, timed as whole
# processes against the ffmpeg command a user would otherwise run on the same files.
#
#   bench/end_to_end.sh [--runs N] [--minutes "10 1 60"] [--work DIR] [--no-build]
#
# For each length it makes a stereo 44.1 kHz 16-bit WAVE file of that many minutes and, with
# ffmpeg, a 128 kbps WMAv2 file from it; then it times
#   decode: filterhost decode F.wma OUT.wav    against  ffmpeg -i F.wma -f wav OUT.wav
#   encode: filterhost encode W.wav OUT.wma    against  ffmpeg -i W.wav -c:a wmav2 -b:a 128k OUT.wma
# N times each (5 by default), the two programs alternating, and prints the median wall time and
# the median peak resident set size (/usr/bin/time) of each, and their ratios. Host memory should
# not grow with the length of the file. Run it when the machine is otherwise idle: it prints the
# load average before and after.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
minutes="10 1 60"
work=""
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --minutes) minutes="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    *) sed -n '2,9p' "$0" >&2; exit 2 ;;
  esac
done

tools/install-deps build
if [ ! -x /usr/bin/time ]; then
  echo "end_to_end: /usr/bin/time is missing (Debian package time)" >&2
  exit 1
fi
if [ "$build" = 1 ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target filterhost wavetool wmafilter >/dev/null
fi
bin=$PWD/build/native/bin

if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/wmafilter-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

# Runs a command and appends "seconds peak-KiB" to the file named first. Wall time comes from
# the shell's microsecond clock around /usr/bin/time, whose own figure has 10 ms steps.
measure() {
  local record=$1 stats=$work/stats
  shift
  local start=$EPOCHREALTIME
  /usr/bin/time -f "%M" -o "$stats" "$@" >/dev/null 2>"$work/stderr" || {
    echo "end_to_end: failed: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  }
  local stop=$EPOCHREALTIME
  echo "$(awk -v a="$start" -v b="$stop" 'BEGIN { printf "%.4f", b - a }') $(tail -n 1 "$stats")" \
    >>"$record"
}

# The median of one column (1: seconds, 2: KiB) of a record.
median() {
  sort -g -k "$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Times the host's and ffmpeg's commands alternately and prints one line of figures.
compare() {
  local label=$1 host=$work/host.times ffmpeg=$work/ffmpeg.times
  shift
  local split
  for ((split = 1; split <= $#; split++)); do [ "${!split}" = "--" ] && break; done
  local hostCommand=("${@:1:split-1}") ffmpegCommand=("${@:split+1}")
  rm -f "$host" "$ffmpeg"
  # Each run writes a new file: overwriting the last one would add the cost of truncating it
  # and of the flush the file system makes when a truncated file is closed.
  for ((run = 0; run < runs; run++)); do
    rm -f "$work"/out.*
    measure "$host" "${hostCommand[@]}"
    rm -f "$work"/out.*
    measure "$ffmpeg" "${ffmpegCommand[@]}"
  done
  local hs fs hk fk
  hs=$(median "$host" 1)
  fs=$(median "$ffmpeg" 1)
  hk=$(median "$host" 2)
  fk=$(median "$ffmpeg" 2)
  awk -v l="$label" -v hs="$hs" -v fs="$fs" -v hk="$hk" -v fk="$fk" 'BEGIN {
    printf "%-16s %8.3f %8.3f %6.2f   %8.1f %8.1f %6.2f\n",
           l, hs, fs, hs / fs, hk / 1024, fk / 1024, hk / fk }'
}

echo "load average before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
echo "median of $runs runs each, host and ffmpeg alternating"
printf '%-16s %8s %8s %6s   %8s %8s %6s\n' "" "host s" "ffmpeg s" "ratio" "host MiB" \
  "ffmpeg MiB" "ratio"
for length in $minutes; do
  wav=$work/in-$length.wav
  wma=$work/in-$length.wma
  "$bin/wavetool" "$wav" --seconds $((length * 60))
  ffmpeg -nostdin -v error -y -i "$wav" -c:a wmav2 -b:a 128k "$wma"
  compare "decode $length min" \
    "$bin/filterhost" decode "$wma" "$work/out.host.wav" -- \
    ffmpeg -nostdin -v error -y -i "$wma" -f wav "$work/out.ffmpeg.wav"
  compare "encode $length min" \
    "$bin/filterhost" encode "$wav" "$work/out.host.wma" -- \
    ffmpeg -nostdin -v error -y -i "$wav" -c:a wmav2 -b:a 128k "$work/out.ffmpeg.wma"
  rm -f "$wav" "$wma" "$work"/out.*
done
echo "load average after: $(cut -d ' ' -f 1-3 /proc/loadavg)"
