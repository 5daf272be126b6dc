#!/usr/bin/env bash
# Lists the C++ files under src/, siblings/ and tests/ that .clang-format would change, and
# fails when there is one. With --fix it formats them in place instead.
# Usage: scripts/check-format.sh [--fix] [FILE...]
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 2; }
fix=0
if [ "${1:-}" = --fix ]; then
  fix=1
  shift
fi
if [ $# -gt 0 ]; then
  files=("$@")
else
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- 'src/*.cpp' 'src/*.h' 'siblings/*.cpp' \
      'siblings/*.h' 'tests/*.cpp' 'tests/*.h' 'scripts/*.cpp' 'fuzz/*.cpp' 'fuzz/*.h')
  else # an unpacked source tree
    mapfile -t files < <(find src siblings tests scripts fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
  fi
fi

if [ "$fix" = 1 ]; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi
# One run over every file: it names each place that would change.
if ! report=$(clang-format --style=file --dry-run -Werror "${files[@]}" 2>&1); then
  printf '%s\n' "$report" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u
  exit 1
fi
exit 0
