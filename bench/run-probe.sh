#!/usr/bin/env bash
# The probe (one process per file, as the program starts it) against gst-discoverer-1.0
# on the same file. RUNS=n sets the runs per command (default 40).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-40}"
OUT="$WORK/out"
mkdir -p "$OUT"
echo "probe medians: gst-discoverer-1.0, sonmill, ratio"
for input in "$WAV10" "$MP310" "$FLAC10" "$M4A10"; do
  name="probe-$(basename "$input" | tr . -)"
  hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$RESULTS/$name.json" \
    -n discoverer "gst-discoverer-1.0 $input" \
    -n sonmill "$SONMILL qzv -y -i $input -t 0.001 $OUT/inadd.wav" >/dev/null
  printf '%-28s %s   %s x\n' "$(basename "$input")" \
    "$(medians "$RESULTS/$name.json" | awk '{printf "%.1f ms  ", $1 * 1000}')" "$(ratio "$RESULTS/$name.json")"
done
