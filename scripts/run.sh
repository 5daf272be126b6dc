#!/usr/bin/env bash
# Installs what is missing, builds what the program needs (the window program, sonmill,
# mirplay, their modules, plugins and data; no tests) and starts it from the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh tolm_program
exec build/program/tolm-audio-converter "$@"
