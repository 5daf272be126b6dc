#!/usr/bin/env bash
# The window's longest event-loop stall while it ends its children: Stop with 2 and with 8
# rows converting, closing the window during a batch of 2 and of 8, and starting and stopping the
# preview 10 times (measured as bench/add-files.sh measures it: a 10 ms timer of the window's
# thread, the longest time between two of its ticks less the 10 ms). Each run also says when
# the call returned, when the ended children were really gone, and what they left behind. A
# control measures the idle window for 8 s: on a loaded machine it stalls too, and that share
# is the machine's, not the program's.
# Runs on an Xvfb of its own with the real sonmill and mirplay.
# Usage: bench/window-stalls.sh [build folder]     (default: build)
# BEFORE=<another build folder> runs each case with that build's harness and program first, so
# both sides see the same load (e.g. a build of main with bench-window-stalls added).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${TOLM_BENCH_ON_XVFB:-}" ] || exec env TOLM_BENCH_ON_XVFB=1 scripts/with-xvfb.sh "$0" "$@"
build=${1:-build}
harness="$build/bench/bench-window-stalls"
[ -x "$harness" ] && [ -x "$build/program/sonmill" ] && [ -x "$build/program/mirplay" ] \
  || { echo "build bench-window-stalls, sonmill and mirplay first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"
export TOLM_MIRPLAY_AUDIO_OUTPUT="fakesink sync=true"
mkdir -p "$HOME/Documents"
# Ten minutes: eight conversions at once on two cores are still running when Stop comes.
gst-launch-1.0 -q audiotestsrc wave=pink-noise num-buffers=25840 samplesperbuffer=1024 \
  ! audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location="$work/source.wav"
builds=("$build")
[ -z "${BEFORE:-}" ] || builds=("$BEFORE" "$build")
each() {
  for side in "${builds[@]}"; do
    [ ${#builds[@]} = 1 ] || printf '%-8s' "$([ "$side" = "$build" ] && echo after || echo before)"
    "$side/bench/bench-window-stalls" "$(cd "$side/program" && pwd)" "$@" 2>/dev/null || echo "(failed: $*)"
  done
}
for run in ${RUNS:-1 2 3}; do
  echo "run $run:"
  each stop 2 "$work/source.wav"
  each stop 8 "$work/source.wav"
  each close 2 "$work/source.wav"
  each close 8 "$work/source.wav"
  each preview 10 "$work/source.wav"
  printf '%-8s' control
  "$build/bench/bench-window-stalls" "$(cd "$build/program" && pwd)" idle 8 "$work/source.wav" 2>/dev/null
done
