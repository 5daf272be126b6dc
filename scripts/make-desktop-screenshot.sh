#!/usr/bin/env bash
# Makes data/desktop/screenshot-main.png, the AppStream screenshot: the main window while a
# batch of three files converts, taken by scripts/screenshot.sh and cut to the window. Run it
# after a visible change of the window and commit the picture.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for name in concert-recording interview lecture-part-1; do
  gst-launch-1.0 -q audiotestsrc wave=sine num-buffers=12000 ! audio/x-raw,rate=44100,channels=2 \
    ! wavenc ! filesink location="$tmp/$name.wav"
done
TOLM_SCREENSHOT_FILES="$tmp/concert-recording.wav $tmp/interview.wav $tmp/lecture-part-1.wav" \
  TOLM_SCREENSHOT_HOOKS=start TOLM_SCREENSHOT_DELAY=2 scripts/screenshot.sh "$tmp/screen.png"
# The main window's designed place and size.
convert "$tmp/screen.png" -crop 795x562+249+113 +repage data/desktop/screenshot-main.png
echo "Wrote data/desktop/screenshot-main.png"
