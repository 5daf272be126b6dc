#!/usr/bin/env bash
# Start-up time of the window program: from exec to the first turn of its event loop (the
# "ready" line its test hooks print), fresh home each run, under an Xvfb of its own. Also the
# peak memory of one start (GNU time). Usage: bench/startup.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
program=build/program/tolm-audio-converter
[ -x "$program" ] || { echo "Build first: $program is missing" >&2; exit 1; }
if [ -z "${TOLM_BENCH_INNER:-}" ]; then
  export TOLM_BENCH_INNER=1
  exec scripts/with-xvfb.sh "$0" "$runs"
fi

one_start() { # prints milliseconds to "ready"
  local home; home=$(mktemp -d)
  mkdir -m 700 "$home/run"
  local start end line
  start=$(date +%s%N)
  coproc APP { env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run" \
    QT_QPA_PLATFORM=xcb TOLM_TEST_HOOKS=report "$program" 2>/dev/null; }
  local pid=$APP_PID
  while read -r line <&"${APP[0]}"; do
    [ "$line" = ready ] && break
  done
  end=$(date +%s%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$home"
  echo $(( (end - start) / 1000000 ))
}

times=()
for _ in $(seq 1 "$runs"); do times+=("$(one_start)"); done
printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1; s += $1 } END {
  printf "start-up to ready: runs %d, min %d ms, median %d ms, max %d ms, mean %.1f ms\n", NR, a[1], a[int((NR + 1) / 2)], a[NR], s / NR }'

home=$(mktemp -d); mkdir -m 700 "$home/run"
# One run of three seconds, ended by timeout (which ends only the child it started).
/usr/bin/time -f 'peak memory of one start: %M KiB' timeout -s TERM 3 env HOME="$home" \
  XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=xcb "$program" 2>&1 >/dev/null \
  | grep 'peak memory' || true
rm -rf "$home"
