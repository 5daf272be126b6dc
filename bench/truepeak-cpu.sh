#!/usr/bin/env bash
# The true-peak detector's cost, in CPU time (user + system, means of RUNS runs; steadier than
# wall time on a shared machine), on the 10-minute WAV of make-inputs.sh:
#   - the encoder's own tool against sonmill writing the same format with the detector at work
#     (flac -5 against -normalize -16 to FLAC, lame -b 128 against -replaygain track to MP3);
#   - with OLD_SONMILL=path, the measuring pass (-measure) and normalising of that build
#     against this one: the detector's share of the change.
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-3}"
OUT="$WORK/out"
mkdir -p "$OUT"

cpu() { # name first second
  hyperfine --warmup 1 --runs "$RUNS" -N --export-json "$RESULTS/$1.json" -n first "$2" -n second "$3" >/dev/null
  python3 - "$RESULTS/$1.json" "$1" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
cpu = [x["user"] + x["system"] for x in r]
print("%-28s cpu %.2f s -> %.2f s (%.0f %%)" % (sys.argv[2], cpu[0], cpu[1], 100 * cpu[1] / cpu[0]))
PY
}

cpu flac-vs-normalize "flac --silent -5 -f -o $OUT/t.flac $WAV10" \
  "$SONMILL qzv -y -i $WAV10 -acodec flac -normalize -16 $OUT/n.flac"
cpu lame-vs-replaygain "lame --quiet --noreplaygain -b 128 $WAV10 $OUT/t.mp3" \
  "$SONMILL qzv -y -i $WAV10 -acodec libmp3lame -ab 128k -replaygain track $OUT/r.mp3"
if [ -n "${OLD_SONMILL:-}" ]; then
  cpu measure-old-vs-new "$OLD_SONMILL qzv -measure -i $WAV10" "$SONMILL qzv -measure -i $WAV10"
  cpu normalize-old-vs-new "$OLD_SONMILL qzv -y -i $WAV10 -acodec flac -normalize -16 $OUT/o.flac" \
    "$SONMILL qzv -y -i $WAV10 -acodec flac -normalize -16 $OUT/n.flac"
fi
