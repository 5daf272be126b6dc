#!/usr/bin/env bash
# Apple Lossless: our encoder on one core (pinned with taskset) on 10 minutes of CD audio,
# as a multiple of real time (hyperfine medians), and the size of its files against FLAC
# level 5 (flac -5) on music-like test signals: tones under a slow swell with a little
# noise and quiet passages (sox), a 24-bit version of it, and the pink noise of
# make-inputs.sh. Decoding speed (ALAC to WAV through our reader) is given beside it.
# Run bench/make-inputs.sh first. RUNS=n sets the runs per command (default 5).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-5}"
OUT="$WORK/out"
mkdir -p "$OUT"
command -v sox >/dev/null || { echo "missing sox: run scripts/setup-deps.sh" >&2; exit 1; }
[ -s "$WAV10" ] || { echo "run bench/make-inputs.sh first" >&2; exit 1; }

MUSIC="$WORK/ten-minutes-music.wav"
MUSIC24="$WORK/ten-minutes-music-24.wav"
music() { # bits file
  sox -q -n -r 44100 -b "$1" -c 2 "$2" synth 600 sine 110-880 sine 1318 pluck 196 pinknoise \
    remix 1,2v0.7,3v0.6,4v0.02 1v0.8,2,3v0.5,4v0.02 tremolo 0.3 60 gain -8
}
[ -s "$MUSIC" ] || music 16 "$MUSIC"
[ -s "$MUSIC24" ] || music 24 "$MUSIC24"

speed() { # name command
  hyperfine -N --warmup 1 --runs "$RUNS" --export-json "$RESULTS/$1.json" -n "$1" "taskset -c 0 $2" >/dev/null
  python3 -c 'import json,sys
r=json.load(open(sys.argv[1]))["results"][0]
print("%-28s median %.3f s (user %.3f s, system %.3f s)   %.0fx real time" % (sys.argv[2], r["median"],
    r["user"], r["system"], 600 / r["median"]))' "$RESULTS/$1.json" "$1"
}

size() { # label input
  "$SONMILL" qzv -y -i "$2" -acodec alac "$OUT/size.m4a" >/dev/null 2>&1
  flac --silent -5 -f -o "$OUT/size.flac" "$2"
  local ours theirs
  ours=$(stat -c %s "$OUT/size.m4a")
  theirs=$(stat -c %s "$OUT/size.flac")
  awk -v l="$1" -v a="$ours" -v f="$theirs" 'BEGIN { printf "%-28s ALAC %d bytes, FLAC -5 %d bytes: %.3f x\n", l, a, f, a / f }'
}

echo "ALAC encoding on one core, 10 minutes of 44.1 kHz stereo (target >= 150x real time)"
speed alac-encode-music "$SONMILL qzv -y -i $MUSIC -acodec alac $OUT/s.m4a"
speed alac-encode-pink-noise "$SONMILL qzv -y -i $WAV10 -acodec alac $OUT/n.m4a"
speed flac-5-encode-music "flac --silent -5 -f -o $OUT/s.flac $MUSIC"
speed alac-decode-music "$SONMILL qzv -y -i $OUT/s.m4a -acodec pcm16le $OUT/back.wav"
echo "Size against FLAC level 5 (target within 5 %)"
size music-16-bit "$MUSIC"
size music-24-bit "$MUSIC24"
size pink-noise "$WAV10"
