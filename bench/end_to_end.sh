#!/usr/bin/env bash
# End-to-end figures: the host program with the native filter and its runtime, timed as whole
# processes against the ffmpeg command a user would otherwise run on the same files.
#
#   bench/end_to_end.sh [--runs N] [--minutes "10 1 60"] [--threads "1 2"] [--work DIR]
#                       [--operations "decode encode"] [--no-build]
#
# For each length it makes a stereo 44.1 kHz 16-bit WAVE file of that many minutes and, with
# ffmpeg, a 128 kbps WMAv2 file from it; then it times
#   decode: filterhost decode F.wma OUT.wav    against  ffmpeg -i F.wma -f wav OUT.wav
#   encode: filterhost encode W.wav OUT.wma    against  ffmpeg -i W.wav -c:a wmav2 -b:a 128k OUT.wma
# with the host run once for each thread count of --threads (WMAFILTER_THREADS; by default 1
# and the machine's core count) and once pinned to one core with taskset, its thread count
# left to the runtime. N runs of each (5 by default), all of them taking turns; it prints the
# median wall time, CPU time (user + system) and peak resident set size (/usr/bin/time) of
# each, beside the cores the command could use, with the ratios to ffmpeg and, for CPU time,
# to the host on the first thread count. Host memory should not grow with the length of the
# file. Run it when the machine is otherwise idle: it prints the load average before and after.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
minutes="10 1 60"
operations="decode encode"
threads="1 $(nproc)"
work=""
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --minutes) minutes="$2"; shift 2 ;;
    --threads) threads="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --operations) operations="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    *) sed -n '2,18p' "$0" >&2; exit 2 ;;
  esac
done

tools/install-deps build
for tool in /usr/bin/time taskset; do
  if ! command -v "$tool" >/dev/null; then
    echo "end_to_end: $tool is missing (Debian packages time and util-linux)" >&2
    exit 1
  fi
done
if [ "$build" = 1 ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target filterhost wavetool wmafilter >/dev/null
fi
bin=$PWD/build/native/bin
cores=$(nproc)

if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/wmafilter-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

# Runs a command and appends "seconds peak-KiB cpu-seconds" to the file named first. Wall time
# comes from the shell's microsecond clock around /usr/bin/time, whose own figure has 10 ms
# steps; CPU time is the process's user and system time.
measure() {
  local record=$1 stats=$work/stats
  shift
  local start=$EPOCHREALTIME
  /usr/bin/time -f "%M %U %S" -o "$stats" "$@" >/dev/null 2>"$work/stderr" || {
    echo "end_to_end: failed: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  }
  local stop=$EPOCHREALTIME
  tail -n 1 "$stats" | awk -v a="$start" -v b="$stop" \
    '{ printf "%.4f %d %.2f\n", b - a, $1, $2 + $3 }' >>"$record"
}

# The median of one column (1: seconds, 2: KiB, 3: CPU seconds) of a record.
median() {
  sort -g -k "$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The commands of the next comparison: a label, the cores the command may use, and its words
# (in the arrays command_0, command_1, ...). The first is ffmpeg's; the second the host's on
# the first thread count of --threads, the yardstick of the CPU times.
labels=()
usable=()
add_command() {
  local index=${#labels[@]}
  labels+=("$1")
  usable+=("$2")
  shift 2
  declare -g -a "command_$index"
  local -n words="command_$index"
  words=("$@")
}

# Times the commands in turn, runs times, each run writing a new file (overwriting the last one
# would add the cost of truncating it and of the flush the file system makes when a truncated
# file is closed); then prints a line for each and forgets them.
compare() {
  local i run
  for i in "${!labels[@]}"; do rm -f "$work/record.$i"; done
  for ((run = 0; run < runs; run++)); do
    for i in "${!labels[@]}"; do
      local -n words="command_$i"
      rm -f "$work"/out.*
      measure "$work/record.$i" "${words[@]}"
    done
  done
  local ffmpegSeconds ffmpegKiB firstCpu
  ffmpegSeconds=$(median "$work/record.0" 1)
  ffmpegKiB=$(median "$work/record.0" 2)
  firstCpu=$(median "$work/record.1" 3)
  for i in "${!labels[@]}"; do
    awk -v l="$1 ${labels[$i]}" -v n="${usable[$i]}" -v s="$(median "$work/record.$i" 1)" \
      -v k="$(median "$work/record.$i" 2)" -v c="$(median "$work/record.$i" 3)" \
      -v fs="$ffmpegSeconds" -v fk="$ffmpegKiB" -v fc="$firstCpu" -v i="$i" 'BEGIN {
      if (i == 0) printf "%-40s %5d %8.3f %7s %7.2f %7s %8.1f\n", l, n, s, "", c, "", k / 1024
      else printf "%-40s %5d %8.3f %7.2f %7.2f %7.2f %8.1f %7.2f\n", l, n, s, s / fs, c,
        (fc > 0 ? c / fc : 0), k / 1024, k / fk }'
  done
  labels=()
  usable=()
}

echo "load average before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
echo "$cores cores; median of $runs runs each, all commands taking turns"
printf '%-40s %5s %8s %7s %7s %7s %8s %7s\n' "" cores "wall s" xffmpeg "CPU s" xfirst \
  MiB xffmpeg
for length in $minutes; do
  wav=$work/in-$length.wav
  wma=$work/in-$length.wma
  "$bin/wavetool" "$wav" --seconds $((length * 60))
  ffmpeg -nostdin -v error -y -i "$wav" -c:a wmav2 -b:a 128k "$wma"
  for operation in $operations; do
    if [ "$operation" = decode ]; then
      input=$wma output=$work/out.host.wav
      add_command ffmpeg "$cores" ffmpeg -nostdin -v error -y -i "$wma" -f wav \
        "$work/out.ffmpeg.wav"
    else
      input=$wav output=$work/out.host.wma
      add_command ffmpeg "$cores" ffmpeg -nostdin -v error -y -i "$wav" -c:a wmav2 -b:a 128k \
        "$work/out.ffmpeg.wma"
    fi
    for count in $threads; do
      add_command "host, $count thread$([ "$count" = 1 ] || echo s)" "$cores" \
        env WMAFILTER_THREADS="$count" "$bin/filterhost" "$operation" "$input" "$output"
    done
    add_command "host, pinned to one core" 1 taskset -c 0 "$bin/filterhost" "$operation" \
      "$input" "$output"
    compare "$operation $length min"
  done
  rm -f "$wav" "$wma" "$work"/out.*
done
echo "load average after: $(cut -d ' ' -f 1-3 /proc/loadavg)"
