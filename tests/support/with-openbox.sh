#!/usr/bin/env bash
# Runs a command on an X server of its own under the openbox window manager, the way a
# desktop session has one; both are stopped afterwards. The server is a new one (from
# scripts/with-xvfb.sh), not the one the other tests share: a window manager there would place
# every other test's windows.
# Usage: tests/support/with-openbox.sh COMMAND [ARGS...]
set -euo pipefail

command -v openbox >/dev/null || { echo "openbox is not installed (scripts/setup-deps.sh)" >&2; exit 1; }

# A new server from scripts/with-xvfb.sh first; this script then runs again inside it.
if [ -z "${TOLM_OPENBOX_INNER:-}" ]; then
  export TOLM_OPENBOX_INNER=1
  exec "$(dirname "$0")/../../scripts/with-xvfb.sh" "$0" "$@"
fi
unset TOLM_OPENBOX_INNER

work=$(mktemp -d)
wm_pid=
stop_wm() {
  [ -n "$wm_pid" ] && { kill "$wm_pid" 2>/dev/null || true; wait "$wm_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap stop_wm EXIT

# The window manager's own settings and cache stay out of the user's folders.
XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
# Ready once it names itself on the root window.
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 "$wm_pid" 2>/dev/null || { echo "openbox did not start" >&2; exit 1; }
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || { echo "openbox did not come up" >&2; exit 1; }

set +e
"$@"
status=$?
set -e
exit $status
