#!/usr/bin/env bash
# Makes the pictures of the user manual, data/doc/images/*.png, with scripts/screenshot.sh:
# the window as it opens, a batch converting, and the Trim, Effect and Advanced Profile
# Settings dialogs over it, each cut to the main window's designed place and size; the batch
# converting is also the AppStream screenshot, data/desktop/screenshot-main.png. Run it after a
# visible change of the window and commit the pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
out=data/doc/images
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for name in concert-recording interview lecture-part-1; do
  gst-launch-1.0 -q audiotestsrc wave=sine num-buffers=12000 ! audio/x-raw,rate=44100,channels=2 \
    ! wavenc ! filesink location="$tmp/$name.wav"
done

shot() { # name, then the environment for scripts/screenshot.sh
  local name=$1
  shift
  env "$@" scripts/screenshot.sh "$tmp/screen.png" >/dev/null
  convert "$tmp/screen.png" -crop 795x562+249+113 +repage "$out/$name.png"
  echo "Wrote $out/$name.png"
}

shot main-window
shot converting TOLM_SCREENSHOT_FILES="$tmp/concert-recording.wav $tmp/interview.wav $tmp/lecture-part-1.wav" \
  TOLM_SCREENSHOT_HOOKS=start TOLM_SCREENSHOT_DELAY=2
cp "$out/converting.png" data/desktop/screenshot-main.png
echo "Wrote data/desktop/screenshot-main.png"
# One row in the list, then a press on Trim, Effect or the settings button.
shot trim TOLM_SCREENSHOT_FILES="$tmp/interview.wav" TOLM_SCREENSHOT_CLICKS="370,183"
shot effect TOLM_SCREENSHOT_FILES="$tmp/interview.wav" TOLM_SCREENSHOT_CLICKS="446,183"
shot settings TOLM_SCREENSHOT_FILES="$tmp/interview.wav" TOLM_SCREENSHOT_CLICKS="838,571"
