#!/usr/bin/env bash
# Peak resident memory (/usr/bin/time's maximum resident set size) of probes and
# conversions. With --long, also the 2-hour input (made by make-inputs.sh --long).
source "$(dirname "$0")/common.sh"
OUT="$WORK/out"
mkdir -p "$OUT"

peak() { # label command...
  local label="$1"
  shift
  local kb
  kb=$(/usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1)
  awk -v label="$label" -v kb="$kb" 'BEGIN { printf "%-36s %6.1f MiB\n", label, kb / 1024 }'
}

for input in "$WAV10" "$MP310" "$FLAC10" "$M4A10"; do
  peak "probe $(basename "$input")" "$SONMILL" qzv -y -i "$input" -t 0.001 "$OUT/inadd.wav"
done
mp3() { echo -ss 00:00:00 -t "$1" -vol 100 -ar 44100 -acodec libmp3lame -ab 128k -qscale 6 -ac 2 -vn; }
peak "WAV to MP3, 10 min" "$SONMILL" qzv -y -i "$WAV10" $(mp3 00:10:00) "$OUT/s.mp3"
peak "FLAC to MP3, 10 min" "$SONMILL" qzv -y -i "$FLAC10" $(mp3 00:10:00) "$OUT/s.mp3"
peak "MP3 to MP3, 10 min" "$SONMILL" qzv -y -i "$MP310" $(mp3 00:10:00) "$OUT/s.mp3"
peak "M4A to MP3, 10 min" "$SONMILL" qzv -y -i "$M4A10" $(mp3 00:10:00) "$OUT/s.mp3"
# The same through GStreamer's MP4 reader instead of our own, for comparison.
peak "M4A to MP3, 10 min, qtdemux" env TOLM_OWN_DEMUXERS=0 "$SONMILL" qzv -y -i "$M4A10" $(mp3 00:10:00) "$OUT/s.mp3"
peak "WAV to MP3 at 48 kHz, 10 min" "$SONMILL" qzv -y -i "$WAV10" $(mp3 00:10:00 | sed 's/44100/48000/') "$OUT/s.mp3"
peak "WAV to FLAC, 10 min" "$SONMILL" qzv -y -i "$WAV10" -acodec flac "$OUT/s.flac"
peak "WAV to Vorbis, 10 min" "$SONMILL" qzv -y -i "$WAV10" -acodec vorbis -ab 128k "$OUT/s.ogg"
peak "WAV to MP2, 10 min" "$SONMILL" qzv -y -i "$WAV10" -acodec mp2 -ab 192k "$OUT/s.mp2"
peak "WAV to M4A, 10 min" "$SONMILL" qzv -y -i "$WAV10" -acodec aac -ab 128k "$OUT/s.m4a"
peak "WAV to WAV, 10 min" "$SONMILL" qzv -y -i "$WAV10" -acodec pcm16le "$OUT/s.wav"
if [ "${1:-}" = "--long" ]; then
  peak "probe two-hours.wav" "$SONMILL" qzv -y -i "$WAV120" -t 0.001 "$OUT/inadd.wav"
  peak "WAV to MP3, 2 h" "$SONMILL" qzv -y -i "$WAV120" $(mp3 02:00:00) "$OUT/s.mp3"
  peak "WAV to M4A, 2 h" "$SONMILL" qzv -y -i "$WAV120" -acodec aac -ab 128k "$OUT/s.m4a"
  peak "MP3 to MP3, 2 h" "$SONMILL" qzv -y -i "$OUT/s.mp3" $(mp3 02:00:00) "$OUT/s2.mp3"
  peak "probe two-hours.m4a" "$SONMILL" qzv -y -i "$M4A120" -t 0.001 "$OUT/inadd.wav"
  peak "M4A to MP3, 2 h" "$SONMILL" qzv -y -i "$M4A120" $(mp3 02:00:00) "$OUT/s.mp3"
  peak "M4A to MP3, 2 h, qtdemux" env TOLM_OWN_DEMUXERS=0 "$SONMILL" qzv -y -i "$M4A120" $(mp3 02:00:00) "$OUT/s.mp3"
fi
