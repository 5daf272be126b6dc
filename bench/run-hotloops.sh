#!/usr/bin/env bash
# The transcoder's CPU time against the encoders' own tools, paired run by run: the window's
# line for the OGG and MP3 profiles at their normal quality (128 kbit/s) against
# `oggenc -b 128` and `lame -b 128`, plain (no loudness work) and with ReplayGain tags (the
# meter and its true peak); and with SONMILL_BEFORE=<another sonmill>, that build
# against this one on the same lines and on AC-3 (the transform's loops).
# Run bench/make-inputs.sh first. PAIRS=n sets the pairs per comparison (default 5).
# Each pair runs the two commands one right after the other, in turns, and sums user + system
# time: on a shared machine that is steadier than wall time, and load that comes and goes
# falls on both alike.
source "$(dirname "$0")/common.sh"
PAIRS="${PAIRS:-5}"
OUT="$WORK/out"
mkdir -p "$OUT"

# The window's command lines for the two profiles at normal quality (tests/engine's texts).
ogg_line() { # sonmill input output [extra options]
  echo "$1 qzv -y -i $2 -ss 00:00:00 -t 00:10:00 -vol 100 -ar 44100 -acodec vorbis -ab 128k -qscale 6 -ac 2 -vn ${4:-} $3"
}
mp3_line() { # sonmill input output [extra options]
  echo "$1 qzv -y -i $2 -ss 00:00:00 -t 00:10:00 -vol 100 -ar 44100 -acodec libmp3lame -ab 128k -qscale 6 -ac 2 -vn ${4:-} $3"
}

cpu() { # command...: user + system seconds
  /usr/bin/time -f '%U %S' -o "$OUT/cpu.txt" "$@" >/dev/null 2>&1
  awk '{ printf "%.3f\n", $1 + $2 }' "$OUT/cpu.txt"
}

# Sums of both commands' CPU over the pairs, their ratio, and the spread of the pairs' ratios.
pair() { # name first second
  local name="$1" first="$2" second="$3" a b
  : >"$RESULTS/$name.cpu"
  for _ in $(seq "$PAIRS"); do
    # shellcheck disable=SC2086 # the lines are word lists
    a=$(cpu $first)
    # shellcheck disable=SC2086
    b=$(cpu $second)
    echo "$a $b" >>"$RESULTS/$name.cpu"
  done
  awk -v name="$name" '{ sa += $1; sb += $2; r = $2 / $1; if (NR == 1 || r < lo) lo = r; if (NR == 1 || r > hi) hi = r }
    END { printf "%-30s %.3f x   (%.2f s vs %.2f s of CPU per run; pairs %.3f to %.3f)\n",
          name, sb / sa, sa / NR, sb / NR, lo, hi }' "$RESULTS/$name.cpu"
}

echo "second command's CPU time / first's, $PAIRS pairs, ten minutes of stereo 44.1 kHz"
pair ogg-vs-oggenc "oggenc -Q -b 128 -o $OUT/ref.ogg $WAV10" "$(ogg_line "$SONMILL" "$WAV10" "$OUT/s.ogg")"
pair ogg-replaygain-vs-oggenc "oggenc -Q -b 128 -o $OUT/ref.ogg $WAV10" \
  "$(ogg_line "$SONMILL" "$WAV10" "$OUT/s.ogg" "-replaygain track")"
pair mp3-vs-lame "lame --quiet --noreplaygain -b 128 $WAV10 $OUT/ref.mp3" "$(mp3_line "$SONMILL" "$WAV10" "$OUT/s.mp3")"
pair mp3-replaygain-vs-lame "lame --quiet --noreplaygain -b 128 $WAV10 $OUT/ref.mp3" \
  "$(mp3_line "$SONMILL" "$WAV10" "$OUT/s.mp3" "-replaygain track")"

if [ -n "${SONMILL_BEFORE:-}" ]; then
  echo
  echo "this sonmill's CPU time / $SONMILL_BEFORE's"
  pair ogg-after-vs-before "$(ogg_line "$SONMILL_BEFORE" "$WAV10" "$OUT/b.ogg")" "$(ogg_line "$SONMILL" "$WAV10" "$OUT/s.ogg")"
  pair mp3-after-vs-before "$(mp3_line "$SONMILL_BEFORE" "$WAV10" "$OUT/b.mp3")" "$(mp3_line "$SONMILL" "$WAV10" "$OUT/s.mp3")"
  if [ -s "$WAV48" ]; then
    pair ac3-after-vs-before "$SONMILL_BEFORE qzv -y -i $WAV48 -acodec ac3 -ab 192k -ac 2 $OUT/b.ac3" \
      "$SONMILL qzv -y -i $WAV48 -acodec ac3 -ab 192k -ac 2 $OUT/s.ac3"
  fi
fi
