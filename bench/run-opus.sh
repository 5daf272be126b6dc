#!/usr/bin/env bash
# Opus: sonmill against opusenc (opus-tools, on the same libopusenc) on the same file and bit
# rate, paired hyperfine runs; the figure is CPU time (user + system, means), the steadier
# one on a shared machine, with the wall-clock medians beside it. Both 44.1 kHz (the library
# resamples) and 48 kHz inputs, the bare command and the window's Opus-profile line.
# Run bench/make-inputs.sh first. RUNS=n sets the runs per command (default 5).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-5}"
OUT="$WORK/out"
mkdir -p "$OUT"
command -v opusenc >/dev/null || { echo "missing opusenc: run scripts/setup-deps.sh" >&2; exit 1; }
[ -s "$WAV10" ] && [ -s "$WAV48" ] || { echo "run bench/make-inputs.sh first" >&2; exit 1; }
# SECONDS_OF=n takes the first n seconds of the inputs (opusenc's complexity 10 is slow; a
# shorter excerpt keeps the paired runs within reach on a busy machine).
if [ -n "${SECONDS_OF:-}" ]; then
  for wav in WAV10 WAV48; do
    cut="$WORK/opus-$SECONDS_OF-s-$(basename "${!wav}")"
    [ -s "$cut" ] || sox "${!wav}" "$cut" trim 0 "$SECONDS_OF"
    printf -v "$wav" '%s' "$cut"
  done
fi

# The line the window program composes for the Opus profile at normal quality.
window_line() { # input output
  echo "$SONMILL qzv -y -i $1 -ss 00:00:00 -t 00:10:00 -vol 100 -acodec opus -ab 128k -qscale 6 -ac 2 -vn $2"
}

pair() { # name reference candidate
  local name="$1" reference="$2" candidate="$3"
  hyperfine -N --warmup 1 --runs "$RUNS" --export-json "$RESULTS/$name.json" -n reference "$reference" \
    -n sonmill "$candidate" >/dev/null
  python3 -c 'import json,sys
ref, ours = json.load(open(sys.argv[1]))["results"]
cpu = lambda r: r["user"] + r["system"]
print("%-30s CPU %.3f x (%.2f s vs %.2f s)   wall %.3f x (%.2f s vs %.2f s)" % (sys.argv[2],
    cpu(ours) / cpu(ref), cpu(ours), cpu(ref), ours["median"] / ref["median"], ours["median"], ref["median"]))' \
    "$RESULTS/$name.json" "$name"
}

echo "sonmill / opusenc, $RUNS paired runs each (target: CPU time <= 1.05 x)"
pair opus-128k-44k "opusenc --quiet --bitrate 128 --vbr $WAV10 $OUT/ref.opus" \
  "$SONMILL qzv -y -i $WAV10 -acodec opus -ab 128k $OUT/s.opus"
pair opus-128k-48k "opusenc --quiet --bitrate 128 --vbr $WAV48 $OUT/ref48.opus" \
  "$SONMILL qzv -y -i $WAV48 -acodec opus -ab 128k $OUT/s48.opus"
pair opus-128k-44k-window-line "opusenc --quiet --bitrate 128 --vbr $WAV10 $OUT/ref.opus" \
  "$(window_line "$WAV10" "$OUT/w.opus")"
pair opus-128k-44k-one-core "taskset -c 0 opusenc --quiet --bitrate 128 --vbr $WAV10 $OUT/ref.opus" \
  "taskset -c 0 $SONMILL qzv -y -i $WAV10 -acodec opus -ab 128k $OUT/s.opus"
