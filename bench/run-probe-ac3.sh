#!/usr/bin/env bash
# The probe on a bare 10-minute 5.1 AC-3 file (448 kbps, written by the tests' ac3make,
# since nothing allowed encodes AC-3) against gst-discoverer-1.0. Such a file states no
# length: the probe walks its frame headers. RUNS=n sets the runs per command (default 40).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-40}"
AC3MAKE="$REPO_DIR/build/tests/ac3make"
[ -x "$AC3MAKE" ] || { echo "build ac3make first (cmake --build build --target ac3make)" >&2; exit 1; }
AC310="$WORK/ten-minutes-5.1.ac3"
OUT="$WORK/out"
mkdir -p "$OUT"
# 18750 frames of 1536 samples at 48 kHz: 600 s.
[ -s "$AC310" ] || "$AC3MAKE" "$AC310" 48000 7 1 18750 448 7 8 9 10 11
name="probe-ten-minutes-5-1-ac3"
hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$RESULTS/$name.json" \
  -n discoverer "gst-discoverer-1.0 $AC310" \
  -n sonmill "$SONMILL qzv -y -i $AC310 -t 0.001 $OUT/inadd.wav" >/dev/null
printf '%-28s %s   %s x\n' "$(basename "$AC310")" \
  "$(medians "$RESULTS/$name.json" | awk '{printf "%.1f ms  ", $1 * 1000}')" "$(ratio "$RESULTS/$name.json")"
