#!/usr/bin/env bash
# Processor use of the window program itself while a batch converts, apart from the
# transcoder: the program follows each row's text every 100 ms and waits in 100 ms steps, and
# that must stay near nothing (target: under 2 % of one core). Converts a batch of ten-minute
# files (default 3, with the default profile) under an Xvfb of its own with a fresh home, and
# reports the program's own CPU time (its threads only; the transcoder is a child whose time
# is counted apart) over the batch's wall time, and the transcoder's for comparison.
# Usage: bench/window-cpu.sh [build folder] [number of files]
set -euo pipefail
cd "$(dirname "$0")/.."
# An Xvfb of its own, started and stopped by the project's script.
[ -n "${TOLM_BENCH_ON_XVFB:-}" ] || exec env TOLM_BENCH_ON_XVFB=1 scripts/with-xvfb.sh "$0" "$@"
build=${1:-build}
files=${2:-3}
program="$build/program/tolm-audio-converter"
[ -x "$program" ] || { echo "build the program first: $program" >&2; exit 1; }
for tool in gst-launch-1.0 Xvfb; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Ten minutes of CD-quality noise, under as many names as the batch has rows.
gst-launch-1.0 -q audiotestsrc wave=pink-noise samplesperbuffer=4410 num-buffers=6000 \
  ! audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location="$work/ten-minutes.wav"
inputs=()
for i in $(seq 1 "$files"); do
  ln -s "$work/ten-minutes.wav" "$work/part-$i.wav"
  inputs+=("$work/part-$i.wav")
done

home="$work/home"
mkdir -p "$home/run" && chmod 700 "$home/run"
env DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
  XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=xcb TOLM_TEST_HOOKS=report,start \
  "$program" "${inputs[@]}" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!

ticks_per_second=$(getconf CLK_TCK)
own_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
child_ticks() { awk '{ sub(/^.*\) /, ""); print $14 + $15 }' "/proc/$1/stat"; }
now_ms() { date +%s%3N; }

for _ in $(seq 1 600); do
  grep -q '^queue-started' "$work/out.txt" && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/err.txt" >&2; echo "the program ended" >&2; exit 1; }
  sleep 0.1
done
started=$(now_ms)
own_before=$(own_ticks "$pid")
child_before=$(child_ticks "$pid")
until grep -q '^queue-finished' "$work/out.txt"; do
  kill -0 "$pid" 2>/dev/null || { echo "the program ended during the batch" >&2; exit 1; }
  sleep 0.2
done
elapsed_ms=$(($(now_ms) - started))
own_after=$(own_ticks "$pid")
child_after=$(child_ticks "$pid")
converted=$(grep -c '^row-ended .* 100%$' "$work/out.txt" || true)

awk -v own=$((own_after - own_before)) -v child=$((child_after - child_before)) -v hz="$ticks_per_second" \
  -v ms="$elapsed_ms" -v rows="$converted" -v files="$files" 'BEGIN {
  s = ms / 1000
  printf "batch of %d ten-minute files, %d converted, in %.1f s\n", files, rows, s
  printf "window program (own threads)   %.2f %% of one core (%.2f s CPU)\n", 100 * own / (hz * s), own / hz
  printf "transcoders (its children)     %.1f %% of one core (%.2f s CPU)\n", 100 * child / (hz * s), child / hz
}'
