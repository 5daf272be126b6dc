#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/: everything, or only the
# targets given (scripts/run.sh asks for tolm_program, the window program with what it runs).
# The program folder is build/program. ccache is used when the machine has it.
# Usage: scripts/build.sh [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build build "${targets[@]}"
