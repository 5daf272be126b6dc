#!/usr/bin/env bash
# The same batch converted by two builds: every output must be the same, byte for byte.
# A change to how rows are kept, named or started must not change what is written.
#
#   bench/same-outputs.sh OTHER_BUILD [THIS_BUILD]    e.g. an older checkout's build/
set -euo pipefail
cd "$(dirname "$0")/.."
other=$(cd "$1" && pwd)
this=$(cd "${2:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in/Album/CD2" "$work/home/Documents"
export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
for n in 1 2 3; do
  gst-launch-1.0 -q audiotestsrc num-buffers=$((100 * n)) wave=$n freq=$((300 * n)) \
    ! audio/x-raw,rate=44100,channels=2,format=S16LE ! wavenc ! filesink location="$work/in/Album/0$n track.wav"
done
cp "$work/in/Album/01 track.wav" "$work/in/Album/CD2/image.wav"
printf 'TITLE "Image"\nFILE "image.wav" WAVE\n  TRACK 01 AUDIO\n    TITLE "One"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE "Two"\n    INDEX 01 00:01:00\n' \
  > "$work/in/Album/CD2/image.cue"
status=0
for profile in mp3 flac ogg m4a "WAV - Waveform Audio"; do
  for build in "$other" "$this"; do
    out="$work/out-$(basename "$(dirname "$build")")-${profile%% *}"
    "$build/program/tolm-convert" -r --quiet -j 1 -p "$profile" -o "$out" "$work/in/Album" >/dev/null
  done
  a="$work/out-$(basename "$(dirname "$other")")-${profile%% *}"
  b="$work/out-$(basename "$(dirname "$this")")-${profile%% *}"
  # Ogg streams carry a random serial number (as oggenc's do): their audio and tags are compared.
  same=1
  while IFS= read -r file; do
    if [[ $file == *.ogg ]]; then
      cmp -s <(oggdec -Q -o - "$a/$file") <(oggdec -Q -o - "$b/$file") \
        && cmp -s <(vorbiscomment -l "$a/$file") <(vorbiscomment -l "$b/$file") || same=0
    else
      cmp -s "$a/$file" "$b/$file" || same=0
    fi
  done < <(cd "$a" && find . -type f)
  [ "$(cd "$a" && find . -type f | sort)" = "$(cd "$b" && find . -type f | sort)" ] || same=0
  if [ $same = 1 ]; then
    echo "$profile: $(find "$b" -type f | wc -l) outputs, identical"
  else
    echo "$profile: DIFFERENT"; status=1
  fi
done
exit $status
