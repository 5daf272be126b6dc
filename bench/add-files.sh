#!/usr/bin/env bash
# Adding COUNT files in the window (default 1000) with one probe at a time against two at
# once, paired in one hyperfine run; then one add of 400 files handed over at once, with the
# longest time the window's event loop was kept from running (what a click or a repaint would
# have waited). Usage: bench/add-files.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1000}
program=$PWD/build/program
harness=$PWD/build/bench/bench-add-files
[ -x "$harness" ] || { echo "Build first: $harness is missing" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is missing (scripts/setup-deps.sh installs it)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/home/Documents"
gst-launch-1.0 -q audiotestsrc num-buffers=430 ! audio/x-raw,rate=44100,channels=2 ! wavenc \
  ! filesink location="$work/in/source.wav"
for i in $(seq -w 1 "$count"); do cp "$work/in/source.wav" "$work/in/file-$i.wav"; done
rm "$work/in/source.wav"

export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen
hyperfine --warmup 1 --runs "${RUNS:-3}" --export-markdown "$work/result.md" \
  -n "one probe at a time" "env BENCH_PROBES=1 $harness $program $work/in/*.wav" \
  -n "two probes at once" "env BENCH_PROBES=2 $harness $program $work/in/*.wav"
cat "$work/result.md"
echo "400 files handed over at once:"
BENCH_PROBES=1 "$harness" "$program" $(ls "$work"/in/*.wav | head -400)
BENCH_PROBES=2 "$harness" "$program" $(ls "$work"/in/*.wav | head -400)
