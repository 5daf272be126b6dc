#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite. Tests that
# need an X server get an Xvfb that this script starts and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
scripts/with-xvfb.sh ctest --test-dir build --output-on-failure -j2 "$@"
