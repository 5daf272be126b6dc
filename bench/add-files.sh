#!/usr/bin/env bash
# Adding files in the window, each probed by the real transcoder, with the longest time the
# window's event loop was kept from running (what a click or a repaint would have waited).
#
#   bench/add-files.sh [COUNT]           COUNT files (default 1000) with one probe at a time
#                                        against two at once, paired in one hyperfine run; then
#                                        one add of 400 files handed over at once
#   bench/add-files.sh --folder [COUNT]  one folder of COUNT files (default 10000), as a drop or
#                                        the Add dialog gives it: 100 album folders with a CD1/CD2
#                                        level each, a picture and a text file beside the tracks;
#                                        the time to the last row, the longest stall and the
#                                        window's peak memory with two probe workers (PROBES=N
#                                        for another count); then tolm-convert -r -j 2 on a
#                                        folder of COUNT one-second files: the time until its
#                                        first conversion has begun (its first output appears)
# The tracks of a folder are hard links of one file: the same paths and probes as copies,
# without gigabytes of writing. BENCH_CACHE=DIR puts the cache folder (where the probes write
# their scratch files) there, e.g. on a tmpfs, to tell the file system's share from the window's.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=0
if [ "${1:-}" = --folder ]; then
  folder=1
  shift
fi
count=${1:-$([ $folder = 1 ] && echo 10000 || echo 1000)}
# BUILD=DIR measures another build tree (e.g. the main branch's, for a figure before a change).
build=${BUILD:-$PWD/build}
program=$build/program
harness=$build/bench/bench-add-files
[ -x "$harness" ] || { echo "Build first: $harness is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/home/Documents"
gst-launch-1.0 -q audiotestsrc num-buffers=430 ! audio/x-raw,rate=44100,channels=2 ! wavenc \
  ! filesink location="$work/source.wav"
export HOME=$work/home XDG_CACHE_HOME=${BENCH_CACHE:-$work/cache} XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen

if [ $folder = 1 ]; then
  albums=100
  per_album=$(((count + albums - 1) / albums))
  made=0
  for a in $(seq 1 $albums); do
    mkdir -p "$work/Library/Album $a"
    for t in $(seq 1 "$per_album"); do
      [ "$made" -lt "$count" ] || break
      disc=CD$((t * 2 > per_album ? 2 : 1))
      mkdir -p "$work/Library/Album $a/$disc"
      ln "$work/source.wav" "$work/Library/Album $a/$disc/$t song.wav"
      made=$((made + 1))
    done
    echo picture >"$work/Library/Album $a/cover.jpg"
    echo notes >"$work/Library/Album $a/notes.txt"
  done
  for probes in ${PROBES:-2}; do
    echo "$count files in one folder, $probes probe(s) at once:"
    BENCH_PROBES=$probes /usr/bin/time -f "peak memory of the window or its largest child: %M kB" \
      "$harness" "$program" "$work/Library"
  done

  # tolm-convert on COUNT one-second files: how long until the first conversion has begun
  # (sonmill writes its output under a temporary name in the destination from its start).
  gst-launch-1.0 -q audiotestsrc num-buffers=44 ! audio/x-raw,rate=44100,channels=2 ! wavenc \
    ! filesink location="$work/second.wav"
  mkdir -p "$work/Seconds" "$work/out"
  for i in $(seq -w 1 "$count"); do ln "$work/second.wav" "$work/Seconds/track $i.wav"; done
  started=$(date +%s.%N)
  "$program/tolm-convert" -r -j 2 --quiet -p mp3 -o "$work/out" "$work/Seconds" >/dev/null 2>&1 &
  convert=$!
  first=
  while kill -0 "$convert" 2>/dev/null; do
    if [ -n "$(find "$work/out" -type f -print -quit)" ]; then
      first=$(date +%s.%N)
      break
    fi
    sleep 0.05
  done
  kill -INT "$convert" 2>/dev/null || true
  wait "$convert" 2>/dev/null || true
  if [ -n "$first" ]; then
    echo "tolm-convert -r -j 2, $count one-second files: first conversion begun after $(echo "$first - $started" | bc) s"
  else
    echo "tolm-convert ended before any conversion began" >&2
    exit 1
  fi
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
