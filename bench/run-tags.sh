#!/usr/bin/env bash
# What carrying tags and pictures costs a conversion: the same 10-minute FLAC untagged,
# with every usual field, and with those fields and a 5 MB front cover, each converted to
# MP3 (the window's line) and to FLAC. Tags are written onto copies with mutagen
# (python3-mutagen, a test dependency). Run bench/make-inputs.sh first. RUNS=n sets the
# runs per command (default 5).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-5}"
OUT="$WORK/out"
TAGS="$WORK/tags"
mkdir -p "$OUT" "$TAGS"
JUDGE="$REPO_DIR/tests/sonmill/tagjudge.py"

PLAIN="$TAGS/plain.flac"
TAGGED="$TAGS/tagged.flac"
PICTURED="$TAGS/pictured.flac"
PICTURE="$TAGS/cover.jpg"

if [ ! -s "$PICTURED" ]; then
  cp "$FLAC10" "$PLAIN"
  cp "$FLAC10" "$TAGGED"
  cp "$FLAC10" "$PICTURED"
  { printf '\xff\xd8\xff\xe0'; head -c $((5 * 1024 * 1024)) /dev/urandom; } > "$PICTURE"
  cat > "$TAGS/fields.json" <<JSON
{"fields": {"title": ["Song Title"], "artist": ["Artist One", "Artist Two"], "album": ["An Album"],
 "albumartist": ["Various"], "tracknumber": ["3"], "tracktotal": ["12"], "date": ["2021-05-04"],
 "genre": ["Rock"], "comment": ["A comment"], "composer": ["A Composer"], "lyrics": ["la la la"],
 "musicbrainz_trackid": ["0b6f4c37-1a87-4c4c-9c6c-6a2f2a6a0f01"], "replaygain_track_gain": ["-6.20 dB"],
 "mood": ["Calm"], "studio": ["Studio Nine"]}, "pictures": []}
JSON
  sed 's|"pictures": \[\]|"pictures": [{"type": 3, "mime": "image/jpeg", "desc": "", "file": "'"$PICTURE"'"}]|' \
    "$TAGS/fields.json" > "$TAGS/pictured.json"
  /usr/bin/python3 "$JUDGE" write "$TAGGED" "$TAGS/fields.json"
  /usr/bin/python3 "$JUDGE" write "$PICTURED" "$TAGS/pictured.json"
fi

mp3_line() { # input output
  echo "$SONMILL qzv -y -i $1 -ss 00:00:00 -t 00:10:00 -vol 100 -ar 44100 -acodec libmp3lame -ab 128k -qscale 6 -ac 2 -vn $2"
}
flac_line() { # input output
  echo "$SONMILL qzv -y -i $1 -acodec flac $2"
}

# Mean processor time (user + system) per command: steadier than the wall clock when the
# machine is shared.
cpu_times() {
  python3 -c 'import json,sys
print("  ".join("%.3f" % (r["user"] + r["system"]) for r in json.load(open(sys.argv[1]))["results"]))' "$1"
}

pair() { # name first second
  hyperfine --warmup 1 --runs "$RUNS" --export-json "$RESULTS/$1.json" -N -n untagged "$2" -n tagged "$3" >/dev/null
  printf '%-28s %s x   (%s)  cpu s: %s\n' "$1" "$(ratio "$RESULTS/$1.json")" \
    "$(medians "$RESULTS/$1.json" | awk '{printf "%s s  ", $1}')" "$(cpu_times "$RESULTS/$1.json")"
}

echo "tagged time / untagged time, medians of $RUNS paired runs"
pair tags-mp3 "$(mp3_line "$PLAIN" "$OUT/t0.mp3")" "$(mp3_line "$TAGGED" "$OUT/t1.mp3")"
pair tags-5mb-picture-mp3 "$(mp3_line "$PLAIN" "$OUT/t0.mp3")" "$(mp3_line "$PICTURED" "$OUT/t2.mp3")"
pair tags-5mb-picture-flac "$(flac_line "$PLAIN" "$OUT/t0.flac")" "$(flac_line "$PICTURED" "$OUT/t2.flac")"
# The probe reads the tags too (and writes them into its scratch WAV).
pair tags-5mb-picture-probe "$SONMILL qzv -y -i $PLAIN -t 0.001 $OUT/probe0.wav" \
  "$SONMILL qzv -y -i $PICTURED -t 0.001 $OUT/probe2.wav"
# The least a 5 MB picture can cost: reading it and writing it once.
hyperfine --warmup 1 --runs "$RUNS" --export-json "$RESULTS/tags-picture-copy.json" -N \
  "cp $PICTURE $OUT/picture-copy.jpg" >/dev/null
printf '%-28s %s\n' "copying the picture alone" "$(medians "$RESULTS/tags-picture-copy.json" | awk '{print $1 " s"}')"
