#!/usr/bin/env bash
# Probes of files that hold no audio, many at once: each must be refused at once with
# "Unsupported", never after the stall limit. PROBES (default 600) probes per file in
# STREAMS (default 3) parallel streams; prints per file how many were refused, how many
# stalled or gave anything else, and the slowest and median probe.
source "$(dirname "$0")/common.sh"
PROBES="${PROBES:-600}"
STREAMS="${STREAMS:-3}"
OUT="$WORK/refusals"
mkdir -p "$OUT"

make_video() { # pipeline tail, file
  [ -s "$2" ] && return
  gst-launch-1.0 -q videotestsrc num-buffers=20 ! video/x-raw,width=64,height=48 ! jpegenc ! $1 ! \
    filesink location="$2" >/dev/null
}
make_video avimux "$OUT/video-only.avi"
make_video matroskamux "$OUT/video-only.mkv"
make_video qtmux "$OUT/video-only.mov"

# One stream: probes its share, one line per probe: start, end, exit code, the error line.
stream() { # input, count, stream number
  local input=$1 count=$2 n=$3 i start end code output line
  for ((i = 0; i < count; i++)); do
    start=$(date +%s.%N)
    output=$("$SONMILL" qzv -y -i "$input" -t 0.001 "$OUT/inadd-$n.wav" 2>&1) && code=0 || code=$?
    end=$(date +%s.%N)
    line=$(grep -m1 '^Error: ' <<<"$output" || true)
    printf '%s\t%s\t%s\t%s\n' "$start" "$end" "$code" "$line"
  done
}

printf '%-16s %7s %8s %7s %10s %10s\n' file probes refused other "median s" "slowest s"
for input in "$OUT/video-only.avi" "$OUT/video-only.mkv" "$OUT/video-only.mov"; do
  log="$OUT/$(basename "$input").tsv"
  : >"$log"
  per=$(((PROBES + STREAMS - 1) / STREAMS))
  for ((s = 0; s < STREAMS; s++)); do
    stream "$input" "$per" "$s" >>"$log" &
  done
  wait
  python3 - "$log" "$(basename "$input")" <<'PY'
import sys, statistics
rows = [l.rstrip('\n').split('\t') for l in open(sys.argv[1]) if l.strip()]
rows = [[float(r[1]) - float(r[0])] + r[2:] for r in rows]
times = [r[0] for r in rows]
refused = sum(1 for r in rows if len(r) > 2 and r[2].startswith('Error: Unsupported'))
print('%-16s %7d %8d %7d %10.3f %10.3f' % (sys.argv[2], len(rows), refused, len(rows) - refused,
      statistics.median(times), max(times)))
for r in rows:
    if not (len(r) > 2 and r[2].startswith('Error: Unsupported')):
        print('   not refused: %.3f s, exit %s, %s' % (r[0], r[1], r[2] if len(r) > 2 else ''))
PY
done
