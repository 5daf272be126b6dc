# Shared by the benchmark scripts: where things are, and the inputs they use.
set -euo pipefail
BENCH_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
REPO_DIR="$(cd "$BENCH_DIR/.." && pwd)"
SONMILL="${SONMILL:-$REPO_DIR/build/program/sonmill}"
WORK="${BENCH_WORK:-$REPO_DIR/build/bench}"
RESULTS="$WORK/results"
mkdir -p "$WORK" "$RESULTS"

WAV10="$WORK/ten-minutes.wav"
MP310="$WORK/ten-minutes.mp3"
FLAC10="$WORK/ten-minutes.flac"
M4A10="$WORK/ten-minutes.m4a"
WAV48="$WORK/ten-minutes-48k.wav"
WAV120="$WORK/two-hours.wav"
M4A120="$WORK/two-hours.m4a"
AACBARE="$WORK/aacbare"

[ -x "$SONMILL" ] || { echo "build sonmill first (cmake --build build --target sonmill)" >&2; exit 1; }
for tool in hyperfine lame flac oggenc twolame gst-launch-1.0 gst-discoverer-1.0 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup-deps.sh" >&2; exit 1; }
done

# Median of a hyperfine JSON export, per command, in seconds.
medians() {
  python3 -c 'import json,sys
for r in json.load(open(sys.argv[1]))["results"]:
    print("%.4f\t%s" % (r["median"], r["command"]))' "$1"
}

# Ratio of the second command's median to the first's.
ratio() {
  python3 -c 'import json,sys
r=json.load(open(sys.argv[1]))["results"]
print("%.3f" % (r[1]["median"]/r[0]["median"]))' "$1"
}
