#!/usr/bin/env bash
# Starts the program from build/program under an Xvfb of its own with a fresh temporary home
# and saves a PNG screenshot of the whole screen.
# Usage: scripts/screenshot.sh [OUTPUT.png] [SCALE]   (SCALE 2 shows the 200 % look)
# TOLM_SCREENSHOT_CLICKS="X,Y ..." clicks those points (in unscaled screen pixels) first, for
# example "838,639" for the log button or "522,183" for the About button.
# TOLM_SCREENSHOT_FILES="A B ..." starts the program with those files (names without blanks);
# TOLM_SCREENSHOT_HOOKS=start presses Start once they are in the list.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-screenshot.png}")
scale=${2:-1}
program=build/program/tolm-audio-converter
[ -x "$program" ] || { echo "Build first: $program is missing" >&2; exit 1; }

if [ -z "${TOLM_SCREENSHOT_INNER:-}" ]; then
  export TOLM_SCREENSHOT_INNER=1
  exec scripts/with-xvfb.sh "$0" "$out" "$scale"
fi

home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=xcb \
  QT_SCALE_FACTOR="$scale" TOLM_TEST_HOOKS="report${TOLM_SCREENSHOT_HOOKS:+,$TOLM_SCREENSHOT_HOOKS}" \
  "$program" ${TOLM_SCREENSHOT_FILES:-} >"$home/out.txt" 2>"$home/err.txt" &
pid=$!
for _ in $(seq 1 100); do
  grep -q '^ready' "$home/out.txt" 2>/dev/null && break
  sleep 0.1
done
sleep "${TOLM_SCREENSHOT_DELAY:-1}"
for point in ${TOLM_SCREENSHOT_CLICKS:-}; do
  x=$(( ${point%,*} * scale )); y=$(( ${point#*,} * scale ))
  xdotool mousemove "$x" "$y" click 1 &
  sleep 1
done
import -window root "$out"
echo "Saved $out"
