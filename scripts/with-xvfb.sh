#!/usr/bin/env bash
# Runs a command with DISPLAY set to an Xvfb of its own, which is stopped afterwards.
# Usage: scripts/with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail

fdfile=$(mktemp)
exec 3<>"$fdfile"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
stop_xvfb() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -f "$fdfile"
}
trap stop_xvfb EXIT

for _ in $(seq 1 100); do
  display=$(tr -dc '0-9' <"$fdfile")
  [ -n "$display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -n "${display:-}" ] || { echo "Xvfb gave no display number" >&2; exit 1; }

export DISPLAY=":$display"
set +e
"$@"
status=$?
set -e
exit $status
