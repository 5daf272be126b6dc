#!/usr/bin/env bash
# Fails when the executable needs Qt Widgets, directly or through a library it loads.
set -euo pipefail
program=$1
direct=$(readelf -d "$program" | grep NEEDED || true)
loaded=$(ldd "$program")
echo "$direct"
if grep -q 'libQt6Widgets' <<<"$direct$loaded"; then
  echo "$program needs Qt Widgets"
  exit 1
fi
grep -q 'libQt6Core' <<<"$direct" || { echo "readelf shows no Qt at all: wrong file?"; exit 1; }
echo "no widget library needed"
