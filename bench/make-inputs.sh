#!/usr/bin/env bash
# Makes the benchmark inputs once: a 10-minute stereo 44.1 kHz WAV of music-like noise and
# an MP3, a FLAC and an M4A made from it, the same at 48 kHz, and (with --long) a 2-hour
# WAV and an M4A made from it for the memory comparison. Also builds the bare vo-aacenc
# reference encoder.
source "$(dirname "$0")/common.sh"

noise_wav() { # seconds rate file
  local buffers=$(( $1 * $2 / 1024 ))
  gst-launch-1.0 -q audiotestsrc wave=pink-noise volume=0.25 num-buffers="$buffers" samplesperbuffer=1024 \
    ! "audio/x-raw,format=S16LE,rate=$2,channels=2" ! wavenc ! filesink location="$3"
}

[ -s "$WAV10" ] || noise_wav 600 44100 "$WAV10"
[ -s "$WAV48" ] || noise_wav 600 48000 "$WAV48"
[ -s "$MP310" ] || lame --quiet --noreplaygain -b 128 "$WAV10" "$MP310"
[ -s "$FLAC10" ] || flac --silent -5 -f -o "$FLAC10" "$WAV10"
[ -s "$M4A10" ] || "$SONMILL" qzv -y -i "$WAV10" -acodec aac -ab 128k "$M4A10" >/dev/null 2>&1
if [ "${1:-}" = "--long" ] && [ ! -s "$WAV120" ]; then
  noise_wav 7200 44100 "$WAV120"
fi
if [ "${1:-}" = "--long" ] && [ ! -s "$M4A120" ]; then
  "$SONMILL" qzv -y -i "$WAV120" -acodec aac -ab 128k "$M4A120" >/dev/null 2>&1
fi
[ -x "$AACBARE" ] || cc -O2 -o "$AACBARE" "$BENCH_DIR/tools/aacbare.c" -lvo-aacenc
ls -la "$WORK" | grep -v results
