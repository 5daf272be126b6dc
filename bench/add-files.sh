#!/usr/bin/env bash
# Adding 200 files in the window against 200 bare transcoder probes of the same files,
# paired in one hyperfine run. Usage: bench/add-files.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-200}
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

export HOME=$work/home XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=offscreen
probes="for f in $work/in/*.wav; do $program/sonmill qzv -y -i \"\$f\" -t 0.001 $work/inadd.wav >/dev/null 2>&1; done"
hyperfine --warmup 1 --runs "${RUNS:-5}" --export-markdown "$work/result.md" \
  -n "bare probes" "$probes" \
  -n "window adds" "$harness $program $work/in/*.wav 2>/dev/null"
cat "$work/result.md"
