#!/usr/bin/env bash
# Renders data/icons/logo.svg into data/desktop/icons/<size>.png, the PNG sizes of the hicolor
# icon theme that the install puts beside the SVG. Run it after changing the logo and commit
# the PNG files.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p data/desktop/icons
# shellcheck disable=SC2046
g++ -std=c++20 -fPIC -O1 scripts/desktopicons.cpp -o "$tmp/desktopicons" $(pkg-config --cflags --libs Qt6Gui Qt6Svg)
QT_QPA_PLATFORM=offscreen "$tmp/desktopicons" data/icons/logo.svg data/desktop/icons
echo "Wrote data/desktop/icons/{16,22,24,32,48,64,128,256}.png."
