#!/usr/bin/env bash
# Installs what is missing, then configures and builds everything into build/.
# The program folder is build/program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build
