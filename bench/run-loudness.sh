#!/usr/bin/env bash
# The loudness work's costs, as its targets state them:
#   - the measuring pass (-measure: decode and measure, integrated loudness, range and true
#     peak) against a whole WAV -> MP3 conversion of the window's line: at most 25 %;
#   - ReplayGain tagging alone (-replaygain track, one pass) against the same conversion
#     without it: at most 5 % more;
#   - normalising (two passes) against the plain conversion, for the record;
#   - peak resident memory of -measure, and of FLAC conversions plain, tagged and
#     normalised, on 10 minutes and on 2 hours: flat.
# Run bench/make-inputs.sh (--long for the 2-hour file) first. RUNS=n sets the runs per command (default 5).
# Both wall-clock medians and CPU time (user + system, means) are given: on a busy shared
# machine the CPU figures are the steadier.
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-5}"
OUT="$WORK/out"
mkdir -p "$OUT"

mp3_line() { # input output [extra options]
  echo "$SONMILL qzv -y -i $1 -ss 00:00:00 -t 03:00:00 -vol 100 -ar 44100 -acodec libmp3lame -ab 128k -qscale 6 -ac 2 -vn ${3:-} $2"
}

# Median wall time and mean CPU time of each command, and the second's share of the first.
report() { # name json
  python3 - "$2" "$1" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
cpu = [x["user"] + x["system"] for x in r]
print("%-30s wall %.2f s -> %.2f s (%.1f %%)   cpu %.2f s -> %.2f s (%.1f %%)" % (
    sys.argv[2], r[0]["median"], r[1]["median"], 100 * r[1]["median"] / r[0]["median"],
    cpu[0], cpu[1], 100 * cpu[1] / cpu[0]))
PY
}

pair() { # name first second
  hyperfine --warmup 1 --runs "$RUNS" -N --export-json "$RESULTS/$1.json" -n first "$2" -n second "$3" >/dev/null
  report "$1" "$RESULTS/$1.json"
}

echo "ten minutes of stereo 44.1 kHz; second command's time as a share of the first's"
pair measure-vs-mp3 "$(mp3_line "$WAV10" "$OUT/l.mp3")" "$SONMILL qzv -measure -i $WAV10"
pair replaygain-vs-mp3 "$(mp3_line "$WAV10" "$OUT/l.mp3")" "$(mp3_line "$WAV10" "$OUT/r.mp3" "-replaygain track")"
pair normalize-vs-mp3 "$(mp3_line "$WAV10" "$OUT/l.mp3")" "$(mp3_line "$WAV10" "$OUT/n.mp3" "-normalize -16")"

echo
echo "peak resident memory (kB)"
peak() { # label command...
  local label="$1"
  shift
  /usr/bin/time -f '%M' -o "$OUT/peak.txt" "$@" >/dev/null 2>&1
  printf '%-34s %s\n' "$label" "$(tail -1 "$OUT/peak.txt")"
}
inputs=("$WAV10")
[ -s "$WAV120" ] && inputs+=("$WAV120")
for input in "${inputs[@]}"; do
  name=$(basename "$input" .wav)
  peak "measure $name" "$SONMILL" qzv -measure -i "$input"
  peak "flac $name" "$SONMILL" qzv -y -i "$input" -acodec flac "$OUT/m.flac"
  peak "flac, replaygain $name" "$SONMILL" qzv -y -i "$input" -acodec flac -replaygain track "$OUT/m.flac"
  peak "flac, normalize $name" "$SONMILL" qzv -y -i "$input" -acodec flac -normalize -16 "$OUT/m.flac"
done
