#!/usr/bin/env bash
# tolm-convert --sync:
#  1. a sync that finds nothing to do over a copy of 10,000 files in 100 album folders (target
#     at most 2 s): one album is synced for real, the other 99 are copies of it, their sources
#     and outputs cloned and entered in the manifest as a sync would have entered them;
#  2. 100 FLAC files of 15 s whose titles all changed: the tags-only sync against converting
#     the 100 files again (target: at most 5 % of it).
# RUNS=n sets the runs per command (default 5).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-5}"
CONVERT="${CONVERT:-$REPO_DIR/build/program/tolm-convert}"
[ -x "$CONVERT" ] || { echo "build tolm-convert first (cmake --build build --target tolm-convert)" >&2; exit 1; }
command -v metaflac >/dev/null || { echo "missing metaflac: run scripts/setup-deps.sh" >&2; exit 1; }
export HOME="$WORK/sync-home"
mkdir -p "$HOME"

# 1. No change over 10,000 files.
LIB="$WORK/sync-lib"
COPY="$WORK/sync-copy"
rm -rf "$LIB" "$COPY"
mkdir -p "$LIB/Album 000"
gst-launch-1.0 -q audiotestsrc num-buffers=5 samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=2 ! \
  wavenc ! filesink location="$WORK/sync-tiny.wav"
for t in $(seq -w 0 99); do cp "$WORK/sync-tiny.wav" "$LIB/Album 000/$t.wav"; done
"$CONVERT" --sync --quiet -r -p mp3 -o "$COPY" "$LIB" >/dev/null
python3 - "$LIB" "$COPY" <<'PY'
import json, os, shutil, sys
lib, copy = sys.argv[1], sys.argv[2]
path = os.path.join(copy, ".tolm-sync.json")
manifest = json.load(open(path))
template = manifest["files"]
root = os.path.basename(lib)
for album in range(1, 100):
    name = "Album %03d" % album
    shutil.copytree(os.path.join(lib, "Album 000"), os.path.join(lib, name))
    shutil.copytree(os.path.join(copy, root, "Album 000"), os.path.join(copy, root, name))
    for entry in template[:100]:
        source = entry["key"].replace("/Album 000/", "/%s/" % name)
        st = os.stat(source)
        manifest["files"].append(dict(entry, key=source,
            stamp="%d:%d.%d" % (st.st_size, st.st_mtime_ns // 10**9, st.st_mtime_ns % 10**9),
            output=entry["output"].replace("/Album 000/", "/%s/" % name),
            album=entry["album"].replace("/Album 000", "/" + name)))
json.dump(manifest, open(path, "w"))
PY
NOCHANGE="$CONVERT --sync --quiet -r -p mp3 -o '$COPY' --results '$WORK/sync-nochange.jsonl' '$LIB'"
eval "$NOCHANGE"
kept=$(grep -c '"action":"keep"' "$WORK/sync-nochange.jsonl")
[ "$kept" = 10000 ] || { echo "expected 10000 unchanged files, the sync kept $kept"; exit 1; }
hyperfine --warmup 1 --runs "$RUNS" --export-json "$RESULTS/sync-nochange.json" -n "no-change sync, 10000 files" \
  "$NOCHANGE" >/dev/null
medians "$RESULTS/sync-nochange.json"

# 2. Tags only against converting again.
TAGLIB="$WORK/sync-tags-lib"
TAGCOPY="$WORK/sync-tags-copy"
FRESH="$WORK/sync-tags-fresh"
rm -rf "$TAGLIB" "$TAGCOPY" "$FRESH"
mkdir -p "$TAGLIB/Album"
gst-launch-1.0 -q audiotestsrc wave=pink-noise num-buffers=150 samplesperbuffer=4410 ! \
  audio/x-raw,rate=44100,channels=2 ! wavenc ! filesink location="$WORK/sync-15s.wav"
"$SONMILL" qzv -y -i "$WORK/sync-15s.wav" -acodec flac "$WORK/sync-15s.flac" >/dev/null
for t in $(seq -w 1 100); do
  cp "$WORK/sync-15s.flac" "$TAGLIB/Album/$t.flac"
  metaflac --set-tag="TITLE=Track $t" "$TAGLIB/Album/$t.flac"
done
"$CONVERT" --sync --quiet -r -p mp3 -o "$TAGCOPY" "$TAGLIB" >/dev/null
RETAG="$CONVERT --sync --quiet -r -p mp3 -o '$TAGCOPY' --results '$WORK/sync-tags.jsonl' '$TAGLIB'"
REENCODE="$CONVERT --quiet --overwrite -r -p mp3 -o '$FRESH' '$TAGLIB'"
hyperfine --runs "$RUNS" --export-json "$RESULTS/sync-tags.json" \
  --prepare "for f in '$TAGLIB'/Album/*.flac; do metaflac --remove-tag=TITLE --set-tag=\"TITLE=\$(date +%s%N)\" \"\$f\"; done" \
  -n "re-encode 100 files" "$REENCODE" -n "tags-only sync of 100 files" "$RETAG" >/dev/null
tagged=$(grep -c '"action":"tags"' "$WORK/sync-tags.jsonl")
[ "$tagged" = 100 ] || { echo "expected 100 tags-only steps, the sync did $tagged"; exit 1; }
medians "$RESULTS/sync-tags.json"
printf 'tags-only sync / re-encoding = %s\n' "$(ratio "$RESULTS/sync-tags.json")"
