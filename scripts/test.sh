#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite. Tests that
# need an X server get an Xvfb that this script starts and stops.
# Usage: scripts/test.sh [--sanitize] [ctest arguments...]
#   --sanitize  builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer in
#               build-sanitize/ and runs it there; any report fails the test it came from. The
#               package test is left out: a sanitized build is not what ships.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != "--sanitize" ]; then
  scripts/build.sh
  exec scripts/with-xvfb.sh ctest --test-dir build --output-on-failure -j2 "$@"
fi
shift
scripts/setup-deps.sh
if [ ! -f build-sanitize/build.ninja ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLM_SANITIZE=ON \
    -DTOLM_HARDENING=OFF "${launcher[@]}" >/dev/null
fi
cmake --build build-sanitize -j2
# Every report ends the process with a failure, so the test that met it fails. Leaks are
# looked for in our code only: the libraries below keep what they allocate once for the
# life of the process (type systems, font caches, the plugin registry).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# GStreamer's plugin scanner is not instrumented and cannot load our sanitized plugins: the
# sanitized programs scan them themselves.
export GST_REGISTRY_FORK=no
export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitize-leaks.supp:print_suppressions=0"
exec scripts/with-xvfb.sh ctest --test-dir build-sanitize --output-on-failure -j2 -LE package "$@"
