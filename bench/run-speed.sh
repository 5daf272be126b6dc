#!/usr/bin/env bash
# Paired speed comparisons with hyperfine (medians), as the transcoder's targets state
# them. Run bench/make-inputs.sh first. RUNS=n sets the runs per command (default 5).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-5}"
OUT="$WORK/out"
mkdir -p "$OUT"

# The line the window program composes for the MP3 profile at normal quality.
mp3_line() { # input output
  echo "$SONMILL qzv -y -i $1 -ss 00:00:00 -t 00:10:00 -vol 100 -ar 44100 -acodec libmp3lame -ab 128k -qscale 6 -ac 2 -vn $2"
}
LAME_REF="lame --quiet --noreplaygain -b 128 $WAV10 $OUT/ref.mp3"

pair() { # name reference candidate [hyperfine options...]
  local name="$1" reference="$2" candidate="$3"
  shift 3
  hyperfine --warmup 1 --runs "$RUNS" --export-json "$RESULTS/$name.json" "$@" -n reference "$reference" \
    -n sonmill "$candidate" >/dev/null
  printf '%-34s %s x   (%s)\n' "$name" "$(ratio "$RESULTS/$name.json")" \
    "$(medians "$RESULTS/$name.json" | awk '{printf "%s s  ", $1}')"
}

echo "sonmill time / reference time, medians of $RUNS paired runs"
pair mp3-from-wav "$LAME_REF" "$(mp3_line "$WAV10" "$OUT/s.mp3")" -N
pair mp3-from-flac "$LAME_REF" "$(mp3_line "$FLAC10" "$OUT/s.mp3")" -N
pair mp3-from-mp3 "$LAME_REF" "$(mp3_line "$MP310" "$OUT/s.mp3")" -N
pair mp3-from-flac-one-core "taskset -c 0 $LAME_REF" "taskset -c 0 $(mp3_line "$FLAC10" "$OUT/s.mp3")" -N
# An M4A input through our own MP4 reader against GStreamer's (qtdemux).
pair mp3-from-m4a-vs-qtdemux "env TOLM_OWN_DEMUXERS=0 $(mp3_line "$M4A10" "$OUT/ref.mp3")" \
  "$(mp3_line "$M4A10" "$OUT/s.mp3")" -N
pair mp3-from-mp3-one-core "taskset -c 0 $LAME_REF" "taskset -c 0 $(mp3_line "$MP310" "$OUT/s.mp3")" -N
pair flac "flac --silent -5 -f -o $OUT/ref.flac $WAV10" "$SONMILL qzv -y -i $WAV10 -acodec flac $OUT/s.flac" -N
pair flac-one-core "taskset -c 0 flac --silent -5 -f -o $OUT/ref.flac $WAV10" \
  "taskset -c 0 $SONMILL qzv -y -i $WAV10 -acodec flac $OUT/s.flac" -N
pair vorbis "oggenc -Q -b 128 -o $OUT/ref.ogg $WAV10" \
  "$SONMILL qzv -y -i $WAV10 -acodec vorbis -ab 128k $OUT/s.ogg" -N
pair mp2 "twolame --quiet -b 192 $WAV10 $OUT/ref.mp2" "$SONMILL qzv -y -i $WAV10 -acodec mp2 -ab 192k $OUT/s.mp2" -N
pair aac-adts "$AACBARE $WAV10 $OUT/ref.aac 128" "$SONMILL qzv -y -i $WAV10 -acodec aac -ab 128k $OUT/s.aac" -N
pair aac-m4a "$AACBARE $WAV10 $OUT/ref.aac 128" "$SONMILL qzv -y -i $WAV10 -acodec aac -ab 128k $OUT/s.m4a" -N
# Decoding and encoding against the reference decoder piped into lame (a shell runs both).
pair mp3-from-flac-vs-pipe "flac --silent -d -c $FLAC10 | lame --quiet --noreplaygain -b 128 - $OUT/ref.mp3" \
  "$(mp3_line "$FLAC10" "$OUT/s.mp3")"
pair mp3-from-mp3-vs-pipe "lame --quiet --decode $MP310 - | lame --quiet --noreplaygain -b 128 - $OUT/ref.mp3" \
  "$(mp3_line "$MP310" "$OUT/s.mp3")"
# A sample-rate change against the same job without it, and against a 48 kHz source
# (the same encoding work, no resampling).
pair resample-44-to-48 "$(mp3_line "$WAV10" "$OUT/s.mp3")" \
  "$(mp3_line "$WAV10" "$OUT/s48.mp3" | sed 's/-ar 44100/-ar 48000/')" -N
pair resample-vs-48k-source "$(mp3_line "$WAV48" "$OUT/s.mp3" | sed 's/-ar 44100/-ar 48000/')" \
  "$(mp3_line "$WAV10" "$OUT/s48.mp3" | sed 's/-ar 44100/-ar 48000/')" -N
