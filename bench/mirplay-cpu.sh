#!/usr/bin/env bash
# Processor use of the preview player: start-up time to its window, and CPU while playing
# sound with its picture, playing video, paused and at the end of a file.
# Runs on an Xvfb of its own; media are made with GStreamer's test sources.
# Usage: bench/mirplay-cpu.sh [build folder]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
player="$build/program/mirplay"
[ -x "$player" ] || { echo "build mirplay first: $player" >&2; exit 1; }
for tool in gst-launch-1.0 xdotool Xvfb; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
fdfile="$work/display"
exec 3<>"$fdfile"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
player_pid=
cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null && wait "$player_pid" 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  display=$(tr -dc '0-9' <"$fdfile")
  [ -n "$display" ] && break
  sleep 0.05
done
export DISPLAY=":$display"

tone="audiotestsrc wave=pink-noise samplesperbuffer=4410 num-buffers=600 ! audioconvert ! vorbisenc ! oggmux"
gst-launch-1.0 -q $tone ! filesink location="$work/sound.ogg"
gst-launch-1.0 -q videotestsrc pattern=ball num-buffers=750 ! video/x-raw,width=640,height=360,framerate=25/1 \
  ! theoraenc ! oggmux name=mux audiotestsrc samplesperbuffer=4410 num-buffers=300 ! audioconvert ! vorbisenc \
  ! mux. mux. ! filesink location="$work/video.ogv"
gst-launch-1.0 -q audiotestsrc samplesperbuffer=4410 num-buffers=20 ! audioconvert ! vorbisenc ! oggmux \
  ! filesink location="$work/short.ogg"

ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Percent of one core used by the player over the given seconds, and by the X server
# drawing what the player sends it.
measure() {
  local pid=$1 seconds=$2 before after xbefore xafter
  before=$(cpu_ticks "$pid")
  xbefore=$(cpu_ticks "$xvfb_pid")
  sleep "$seconds"
  after=$(cpu_ticks "$pid")
  xafter=$(cpu_ticks "$xvfb_pid")
  awk -v t=$((after - before)) -v x=$((xafter - xbefore)) -v hz="$ticks_per_second" -v s="$seconds" \
    'BEGIN { printf "%.1f %% (X server %.1f %%)", 100 * t / (hz * s), 100 * x / (hz * s) }'
}

now_ms() { date +%s%3N; }

# Starts the player on a file; sets player_pid, player_window and startup_ms (the time
# until its window was found).
start_player() {
  local file=$1 started window=
  started=$(now_ms)
  "$player" qzv -ss 0 -x 320 -y 240 "$file" >/dev/null 2>&1 &
  player_pid=$!
  for _ in $(seq 1 200); do
    window=$(xdotool search --pid "$player_pid" --name '^Preview$' 2>/dev/null | head -n1) || true
    [ -n "$window" ] && break
    sleep 0.01
  done
  [ -n "$window" ] || { echo "no Preview window" >&2; exit 1; }
  player_window=$window
  startup_ms=$(($(now_ms) - started))
}

stop_player() {
  xdotool key --window "$player_window" q 2>/dev/null
  wait "$player_pid" || true
  player_pid=
}

printf '%-40s %s\n' "what" "figure"
start_player "$work/sound.ogg"
printf '%-40s %s ms\n' "start to window found (sound file)" "$startup_ms"
sleep 2
printf '%-40s %s\n' "playing sound with its picture" "$(measure "$player_pid" 10)"
xdotool key --window "$player_window" p 2>/dev/null
sleep 1
printf '%-40s %s\n' "sound paused" "$(measure "$player_pid" 10)"
stop_player

start_player "$work/video.ogv"
printf '%-40s %s ms\n' "start to window found (video file)" "$startup_ms"
sleep 2
printf '%-40s %s\n' "playing 640x360 25 fps video into 320x240" "$(measure "$player_pid" 10)"
xdotool key --window "$player_window" p 2>/dev/null
sleep 1
printf '%-40s %s\n' "video paused" "$(measure "$player_pid" 10)"
stop_player

start_player "$work/short.ogg"
sleep 4
printf '%-40s %s\n' "at the end of a sound file" "$(measure "$player_pid" 10)"
stop_player
