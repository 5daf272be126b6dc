#!/usr/bin/env bash
# Draws the start button's two disabled pictures into data/skin (172 x 98, and @2x for high
# DPI screens): start-a.bmp while nothing can be started, start-e.bmp while a conversion runs.
# Run it after changing skinpictures.cpp and commit the .bmp files.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# shellcheck disable=SC2046
g++ -std=c++20 -fPIC -O1 scripts/skinpictures.cpp -o "$tmp/skinpictures" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$tmp/skinpictures" data/skin
echo "Wrote data/skin/start-a.bmp, data/skin/start-e.bmp and their @2x pictures."
