#!/usr/bin/env bash
# Adding one folder of COUNT files (default 5000) in the window, as a drop or the Add dialog
# does: 50 album folders with a CD1/CD2 level each, a picture and a text file beside the tracks.
# Prints, for one probe at a time and for two at once, the time until the last row is in and
# the longest time the window's event loop was kept from running (what a click or a repaint
# would have waited). Usage: bench/add-folder.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-5000}
program=$PWD/build/program
harness=$PWD/build/bench/bench-add-files
[ -x "$harness" ] || { echo "Build first: $harness is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/Documents"
gst-launch-1.0 -q audiotestsrc num-buffers=430 ! audio/x-raw,rate=44100,channels=2 ! wavenc \
  ! filesink location="$work/source.wav"
albums=50
per_album=$(( (count + albums - 1) / albums ))
made=0
for a in $(seq 1 $albums); do
  for t in $(seq 1 "$per_album"); do
    [ "$made" -lt "$count" ] || break
    disc=CD$(( t * 2 > per_album ? 2 : 1 ))
    mkdir -p "$work/Library/Album $a/$disc"
    cp "$work/source.wav" "$work/Library/Album $a/$disc/$t song.wav"
    made=$((made + 1))
  done
  echo picture >"$work/Library/Album $a/cover.jpg"
  echo notes >"$work/Library/Album $a/notes.txt"
done

export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen
for probes in 1 2; do
  echo "$count files in one folder, $probes probe(s) at once:"
  BENCH_PROBES=$probes "$harness" "$program" "$work/Library"
done
