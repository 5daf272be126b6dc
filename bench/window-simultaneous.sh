#!/usr/bin/env bash
# "Simultaneous conversions" in the window: the same batch (default 4 four-minute WAV files to
# the default AAC profile) converted with 1 and with 2 rows at once, under an Xvfb of its own
# with a fresh home each time. Reports each batch's wall time, the speed-up, the window
# program's own CPU over the batch (its threads only) and whether the outputs of both runs are
# the same bytes. Usage: bench/window-simultaneous.sh [build folder] [files] [minutes]
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${TOLM_BENCH_ON_XVFB:-}" ] || exec env TOLM_BENCH_ON_XVFB=1 scripts/with-xvfb.sh "$0" "$@"
build=${1:-build}
files=${2:-4}
minutes=${3:-4}
program="$build/program/tolm-audio-converter"
[ -x "$program" ] || { echo "build the program first: $program" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Noise at a different level in every file, so no two outputs are alike.
inputs=()
for i in $(seq 1 "$files"); do
  gst-launch-1.0 -q audiotestsrc wave=pink-noise volume="0.$((i + 1))" samplesperbuffer=4410 num-buffers=$((minutes * 600)) \
    ! audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location="$work/part-$i.wav"
  inputs+=("$work/part-$i.wav")
done

own_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
now_ms() { date +%s%3N; }
hz=$(getconf CLK_TCK)

run_batch() { # $1: rows at once; prints "<ms> <own ticks>"; outputs in $work/out-$1
  local n=$1 home="$work/home-$1"
  mkdir -p "$home/run" "$home/.config/tolm-audio-converter" && chmod 700 "$home/run"
  printf '[Conversion]\nSimultaneous=%s\n' "$n" >"$home/.config/tolm-audio-converter/settings.ini"
  env DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
    XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=xcb TOLM_TEST_HOOKS=report,start \
    "$program" "${inputs[@]}" >"$work/log-$n.txt" 2>&1 &
  pid=$!
  until grep -q '^queue-started' "$work/log-$n.txt"; do
    kill -0 "$pid" 2>/dev/null || { cat "$work/log-$n.txt" >&2; exit 1; }
    sleep 0.05
  done
  local started own_before
  started=$(now_ms)
  own_before=$(own_ticks "$pid")
  until grep -q '^queue-finished' "$work/log-$n.txt"; do
    kill -0 "$pid" 2>/dev/null || { echo "the program ended during the batch" >&2; exit 1; }
    sleep 0.05
  done
  echo "$(($(now_ms) - started)) $(($(own_ticks "$pid") - own_before))"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  mv "$home/TOLM" "$work/out-$n" || { cat "$work/log-$n.txt" >&2; ls -R "$home" >&2; }
}

run_batch 1 >"$work/figures-1"
run_batch 2 >"$work/figures-2"
read -r one_ms one_ticks <"$work/figures-1"
read -r two_ms two_ticks <"$work/figures-2"
same=yes
for f in "$work"/out-1/*; do cmp -s "$f" "$work/out-2/$(basename "$f")" || same=no; done
count=$(find "$work/out-2" -type f | wc -l)

awk -v a="$one_ms" -v b="$two_ms" -v ta="$one_ticks" -v tb="$two_ticks" -v hz="$hz" -v n="$files" \
  -v m="$minutes" -v same="$same" -v count="$count" 'BEGIN {
  printf "%d files of %d min to AAC, %d outputs\n", n, m, count
  printf "1 at a time   %.1f s   window CPU %.2f %% of a core\n", a / 1000, 100 * ta / hz / (a / 1000)
  printf "2 at a time   %.1f s   window CPU %.2f %% of a core\n", b / 1000, 100 * tb / hz / (b / 1000)
  printf "speed-up      %.2fx\n", a / b
  printf "same bytes    %s\n", same
}'
