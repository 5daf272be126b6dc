#!/usr/bin/env bash
# Our AC-3 encoder on one core: 10 minutes of 48 kHz stereo at 192 kbit/s and of 5.1 at
# 448 kbit/s (hyperfine medians, pinned with taskset), the speed as a multiple of real
# time, and the peak resident memory of each, also for a 2-hour stereo input with --long.
# Run bench/make-inputs.sh first (it makes the stereo input; the 5.1 one is made here).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-5}"
OUT="$WORK/out"
mkdir -p "$OUT"
SURROUND10="$WORK/ten-minutes-5.1-48k.wav"
[ -s "$WAV48" ] || { echo "run bench/make-inputs.sh first" >&2; exit 1; }
[ -s "$SURROUND10" ] || gst-launch-1.0 -q audiotestsrc wave=pink-noise volume=0.25 num-buffers=28125 \
  samplesperbuffer=1024 ! "audio/x-raw,format=S16LE,rate=48000,channels=6,channel-mask=(bitmask)0x3f" \
  ! wavenc ! filesink location="$SURROUND10"

encode() { # input kbps channels output
  echo "$SONMILL qzv -y -i $1 -acodec ac3 -ab $2k -ac $3 $4"
}

speed() { # name seconds command
  local name="$1" seconds="$2" command="$3"
  hyperfine --warmup 1 --runs "$RUNS" -N --export-json "$RESULTS/$name.json" -n "$name" "taskset -c 0 $command" \
    >/dev/null
  python3 -c 'import json,sys
r=json.load(open(sys.argv[1]))["results"][0]
print("%-28s median %.3f s (user %.3f s, system %.3f s)   %.0fx real time" % (sys.argv[2], r["median"],
    r["user"], r["system"], float(sys.argv[3]) / r["median"]))' "$RESULTS/$name.json" "$name" "$seconds"
}

peak() { # label command...
  local label="$1"
  shift
  local kb
  kb=$(/usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1)
  awk -v label="$label" -v kb="$kb" 'BEGIN { printf "%-28s peak %6.1f MiB\n", label, kb / 1024 }'
}

speed ac3-stereo-192k 600 "$(encode "$WAV48" 192 2 "$OUT/s.ac3")"
speed ac3-5.1-448k 600 "$(encode "$SURROUND10" 448 6 "$OUT/s6.ac3")"
peak ac3-stereo-192k $(encode "$WAV48" 192 2 "$OUT/s.ac3")
peak ac3-5.1-448k $(encode "$SURROUND10" 448 6 "$OUT/s6.ac3")
if [ "${1:-}" = "--long" ]; then
  [ -s "$WAV120" ] || { echo "run bench/make-inputs.sh --long first" >&2; exit 1; }
  peak "ac3-stereo-192k, 2 h" $(encode "$WAV120" 192 2 "$OUT/s.ac3")
fi
