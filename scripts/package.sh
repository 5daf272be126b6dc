#!/usr/bin/env bash
# Builds the Debian package build/packages/tolm-audio-converter_<version>_<arch>.deb: installs
# what is missing, builds what the package holds in build/ (configured as scripts/build.sh
# does), packs what the install rules put under /usr with CPack (cmake/Package.cmake) and has
# lintian check it; a lintian error or warning fails.
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target tolm_shipped

out=build/packages
mkdir -p "$out"
rm -f "$out"/tolm-audio-converter_*.deb
if ! cpack --config build/CPackConfig.cmake -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "cpack failed" >&2
  exit 1
fi
deb=$(ls "$out"/tolm-audio-converter_*.deb)

# An error or a warning fails the package; informational tags are shown.
lintian --fail-on error,warning --display-level ">=info" "$deb" || {
  echo "lintian reported an error or a warning on $deb" >&2
  exit 1
}
echo "Package: $deb"
