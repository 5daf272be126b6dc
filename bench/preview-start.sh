#!/usr/bin/env bash
# The window's preview: from a press on Play to the player's first picture in the panel
# (median of 20 runs), and the window's own processor use while a preview plays.
# Runs on an Xvfb of its own; the video is made with GStreamer's test sources.
# Usage: bench/preview-start.sh [build folder]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
# An Xvfb of its own, started and stopped by the project's script.
[ -n "${TOLM_BENCH_ON_XVFB:-}" ] || exec env TOLM_BENCH_ON_XVFB=1 scripts/with-xvfb.sh "$0" "$@"
build=${1:-build}
harness="$build/bench/bench-preview-start"
[ -x "$harness" ] && [ -x "$build/program/mirplay" ] || { echo "build bench-preview-start and mirplay first" >&2; exit 1; }
for tool in gst-launch-1.0 Xvfb; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_CACHE_HOME="$work/cache"
export TOLM_MIRPLAY_AUDIO_OUTPUT="fakesink sync=true"
mkdir -p "$HOME"

gst-launch-1.0 -q videotestsrc pattern=red num-buffers=900 ! video/x-raw,width=320,height=240,framerate=15/1 \
  ! theoraenc ! oggmux name=mux audiotestsrc samplesperbuffer=4410 num-buffers=600 ! audioconvert ! vorbisenc \
  ! mux. mux. ! filesink location="$work/red.ogv"

"$harness" "$(cd "$build/program" && pwd)" "$work/red.ogv" "${RUNS:-20}" "${CPU_SECONDS:-10}"
