#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what a desktop expects there with the
# desktop's own validators, then starts the installed program from its launcher under the
# X server the test script provides and converts a file with the installed transcoder.
# Usage: install-check.sh BUILD_DIR
set -euo pipefail
build=$1
[ -n "${DISPLAY:-}" ] || { echo "SKIP: needs the X server the test script starts"; exit 0; }

root=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$root/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

app=org.tolm.AudioConverter
folder=$prefix/lib/tolm-audio-converter
for f in bin/tolm-audio-converter lib/tolm-audio-converter/tolm-audio-converter lib/tolm-audio-converter/sonmill \
  lib/tolm-audio-converter/mirplay; do
  [ -x "$prefix/$f" ] || fail "$f is missing or not executable"
done
for f in Config/config.ini skin/start-a.bmp skin/start-e.bmp icons/logo.svg gst-plugins/libgsttolmaac.so \
  sonmill-modules/libsonmill-lame.so; do
  [ -f "$folder/$f" ] || fail "program folder lacks $f"
done
if ls "$folder" | grep -q '^tst_'; then fail "test programs were installed"; fi
[ -f "$prefix/share/icons/hicolor/scalable/apps/$app.svg" ] || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$app.png
  [ -f "$icon" ] || fail "no ${size}px icon"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "the ${size}px icon has another size"
done
[ -f "$prefix/share/tolm-audio-converter/screenshots/main.png" ] || fail "no screenshot"
desktop-file-validate "$prefix/share/applications/$app.desktop" || fail "desktop entry"
grep -q '^MimeType=.*audio/mpeg;.*video/mp4;' "$prefix/share/applications/$app.desktop" || fail "MIME types"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml" >"$root/appstream.txt" \
  || { cat "$root/appstream.txt"; fail "AppStream metainfo"; }

# Five minutes of a tone, opened with the installed program from another folder; no bus of
# the machine is reached (no lock is taken, no notification shown).
gst-launch-1.0 -q audiotestsrc num-buffers=13000 ! audio/x-raw,rate=44100,channels=1 ! wavenc \
  ! filesink location="$root/tone.wav"
home=$root/home
mkdir -p "$home/run" && chmod 700 "$home/run"
cd "$root"
# The background start opens these only once it runs: the loop below may look first.
: >"$root/out.txt"
: >"$root/err.txt"
env DBUS_SESSION_BUS_ADDRESS="unix:path=$root/no-bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$root/no-bus" \
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
  XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=xcb TOLM_TEST_HOOKS=report,start PATH="$prefix/bin:/usr/bin:/bin" \
  tolm-audio-converter tone.wav >"$root/out.txt" 2>"$root/err.txt" &
pid=$!
transcoder=
for _ in $(seq 1 600); do
  if [ -z "$transcoder" ]; then
    transcoder=$(sed -n 's/^row-started 0 //p' "$root/out.txt")
    if [ -n "$transcoder" ]; then
      exe=$(readlink "/proc/$transcoder/exe" || true)
      [ -z "$exe" ] || [ "$exe" = "$folder/sonmill" ] || fail "the transcoder ran from $exe"
    fi
  fi
  grep -q '^queue-finished' "$root/out.txt" && break
  kill -0 "$pid" 2>/dev/null || { cat "$root/err.txt" >&2; fail "the installed program ended"; }
  sleep 0.1
done
grep -q '^row-ended 0 100%$' "$root/out.txt" || { cat "$root/out.txt" "$root/err.txt" >&2; fail "no conversion"; }
[ -s "$home/TOLM/tone.aac" ] || fail "no converted file"
kill -TERM "$pid"
wait "$pid" || fail "the program did not end cleanly on SIGTERM"
pid=
[ -f "$home/Documents/TOLM/TOLM Audio Converter/profile/destination.ini" ] || fail "no destination.ini"
echo "PASS: installed into a temporary prefix, validated, started and converted"
