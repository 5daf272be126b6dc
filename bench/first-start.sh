#!/usr/bin/env bash
# A newcomer's first start: clones this checkout's HEAD into a new folder, runs
# ./scripts/run.sh there under an Xvfb of its own with a fresh home, and times it from the
# command to the window's first turn of its event loop (the "ready" line of its test hooks).
# Then it counts the build steps and the test programs that were built (none should be) and
# ends the program it started. The clone is left for a look and removed by the next run.
# Usage: bench/first-start.sh [PARENT]   (the clone goes to PARENT/first-start, by default
# beside this checkout, so ccache's base_dir covers it). With CCACHE_DISABLE=1 in the
# environment nothing comes from the compiler cache: a machine that never built the program.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
parent=$(realpath -m "${1:-$repo/..}")
if [ -z "${TOLM_BENCH_INNER:-}" ]; then
  export TOLM_BENCH_INNER=1
  exec "$repo/scripts/with-xvfb.sh" "$0" "$parent"
fi

clone="$parent/first-start"
rm -rf "$clone"
git clone -q --no-hardlinks "$repo" "$clone"
home=$(mktemp -d)
mkdir -m 700 "$home/run"
log="$home/run.log"

start=$(date +%s%N)
coproc APP { cd "$clone" && env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run" \
  QT_QPA_PLATFORM=xcb TOLM_TEST_HOOKS=report ./scripts/run.sh 2>&1; }
pid=$APP_PID # run.sh execs the window program: the same process
ready=
while read -r line <&"${APP[0]}"; do
  echo "$line" >>"$log"
  if [ "$line" = ready ]; then
    ready=1
    break
  fi
done
end=$(date +%s%N)
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true

[ -n "$ready" ] || { tail -20 "$log" >&2; echo "the window never came up" >&2; exit 1; }
steps=$(grep -o '^\[[0-9]*/[0-9]*\]' "$log" | tail -1 || true)
tests=$(find "$clone/build/tests" -type f -name 'tst_*' -perm -u+x 2>/dev/null | wc -l)
pending=$(ninja -C "$clone/build" -n 2>/dev/null | grep -o '^\[[0-9]*/[0-9]*\]' | tail -1 || true)
cache=on
[ -z "${CCACHE_DISABLE:-}" ] || cache=disabled
awk -v ns=$((end - start)) -v cache="$cache" -v cores="$(nproc)" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
  'BEGIN { printf "fresh clone to the window: %.1f s (ccache %s; %s cores, load average %s)\n", ns / 1e9, cache, cores, load }'
echo "build steps run: ${steps:-none}; test programs built: $tests; steps a whole build would still run: ${pending:-none}"
rm -rf "$home"
