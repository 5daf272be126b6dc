#!/usr/bin/env bash
# Adding files in the window, each probed by the real transcoder, with the longest time the
# window's event loop was kept from running (what a click or a repaint would have waited).
#
#   bench/add-files.sh [COUNT]           COUNT files (default 1000) with one probe at a time
#                                        against two at once, paired in one hyperfine run; then
#                                        one add of 400 files handed over at once
#   bench/add-files.sh --folder [COUNT]  one folder of COUNT files (default 5000), as a drop or
#                                        the Add dialog gives it: 50 album folders with a CD1/CD2
#                                        level each, a picture and a text file beside the tracks
# BENCH_CACHE=DIR puts the cache folder (where the probes write their scratch files) there,
# e.g. on a tmpfs, to tell the file system's share from the window's.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=0
if [ "${1:-}" = --folder ]; then
  folder=1
  shift
fi
count=${1:-$([ $folder = 1 ] && echo 5000 || echo 1000)}
program=$PWD/build/program
harness=$PWD/build/bench/bench-add-files
[ -x "$harness" ] || { echo "Build first: $harness is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/home/Documents"
gst-launch-1.0 -q audiotestsrc num-buffers=430 ! audio/x-raw,rate=44100,channels=2 ! wavenc \
  ! filesink location="$work/source.wav"
export HOME=$work/home XDG_CACHE_HOME=${BENCH_CACHE:-$work/cache} XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen

if [ $folder = 1 ]; then
  albums=50
  per_album=$(((count + albums - 1) / albums))
  made=0
  for a in $(seq 1 $albums); do
    mkdir -p "$work/Library/Album $a"
    for t in $(seq 1 "$per_album"); do
      [ "$made" -lt "$count" ] || break
      disc=CD$((t * 2 > per_album ? 2 : 1))
      mkdir -p "$work/Library/Album $a/$disc"
      cp "$work/source.wav" "$work/Library/Album $a/$disc/$t song.wav"
      made=$((made + 1))
    done
    echo picture >"$work/Library/Album $a/cover.jpg"
    echo notes >"$work/Library/Album $a/notes.txt"
  done
  for probes in 1 2; do
    echo "$count files in one folder, $probes probe(s) at once:"
    BENCH_PROBES=$probes "$harness" "$program" "$work/Library"
  done
  exit 0
fi

command -v hyperfine >/dev/null || { echo "hyperfine is missing (scripts/setup-deps.sh installs it)" >&2; exit 1; }
for i in $(seq -w 1 "$count"); do cp "$work/source.wav" "$work/in/file-$i.wav"; done
hyperfine --warmup 1 --runs "${RUNS:-3}" --export-markdown "$work/result.md" \
  -n "one probe at a time" "env BENCH_PROBES=1 $harness $program $work/in/*.wav" \
  -n "two probes at once" "env BENCH_PROBES=2 $harness $program $work/in/*.wav"
cat "$work/result.md"
echo "400 files handed over at once:"
BENCH_PROBES=1 "$harness" "$program" $(ls "$work"/in/*.wav | head -400)
BENCH_PROBES=2 "$harness" "$program" $(ls "$work"/in/*.wav | head -400)
