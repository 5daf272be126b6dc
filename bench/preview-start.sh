#!/usr/bin/env bash
# The window's preview: from a press on Play to the player's first picture in the panel
# (median of 20 runs), and the window's own processor use while a preview plays.
# Runs on an Xvfb of its own; the video is made with GStreamer's test sources.
# Usage: bench/preview-start.sh [build folder]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
harness="$build/bench/bench-preview-start"
[ -x "$harness" ] && [ -x "$build/program/mirplay" ] || { echo "build bench-preview-start and mirplay first" >&2; exit 1; }
for tool in gst-launch-1.0 Xvfb; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
exec 3<>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  display=$(tr -dc '0-9' <"$work/display")
  [ -n "$display" ] && break
  sleep 0.05
done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_CACHE_HOME="$work/cache"
export TOLM_MIRPLAY_AUDIO_OUTPUT="fakesink sync=true"
mkdir -p "$HOME"

gst-launch-1.0 -q videotestsrc pattern=red num-buffers=900 ! video/x-raw,width=320,height=240,framerate=15/1 \
  ! theoraenc ! oggmux name=mux audiotestsrc samplesperbuffer=4410 num-buffers=600 ! audioconvert ! vorbisenc \
  ! mux. mux. ! filesink location="$work/red.ogv"

"$harness" "$(cd "$build/program" && pwd)" "$work/red.ogv" "${RUNS:-20}" "${CPU_SECONDS:-10}"
