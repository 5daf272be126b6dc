#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the program from the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
program=build/program/tolm-audio-converter
if [ -x "$program" ]; then
  exec "$program" "$@"
fi
echo "Built everything into build/program; the window program itself is not part of the build yet."
