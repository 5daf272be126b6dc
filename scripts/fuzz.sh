#!/usr/bin/env bash
# Builds the parsers' fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, makes their seed corpora from media made here
# (GStreamer's test sources and allowed encoders, sndfile-convert, mutagen, and the built
# transcoder where build/program/sonmill exists), and runs them one after another.
# Usage: scripts/fuzz.sh [TARGET] [SECONDS]      (default: every target, 1800 s each)
#        scripts/fuzz.sh --list
# Each target runs with a limit of 1 s (FUZZ_TIMEOUT) and 256 MiB per input; what it finds lands in
# build-fuzz/findings/<target>/, the corpus it grows in build-fuzz/corpus/<target>/. A finding,
# once mended, goes into tests/fuzz/<target>/, which the ordinary suite reads (tst_fuzzfindings).
# It runs at the lowest priority: the machine is shared.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
targets=(cuesheet transcodertext settings history handover tags mp4demux wavaiff)
if [ "${1:-}" = "--list" ]; then printf '%s\n' "${targets[@]}"; exit 0; fi
only=${1:-}
seconds=${2:-1800}
if [ -n "$only" ] && [[ ! " ${targets[*]} " =~ " $only " ]]; then
  echo "No fuzz target $only (scripts/fuzz.sh --list)" >&2
  exit 2
fi

scripts/setup-deps.sh
if [ ! -f build-fuzz/build.ninja ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLM_FUZZ=ON \
    -DTOLM_HARDENING=OFF "${launcher[@]}" >/dev/null
fi
if [ -n "$only" ]; then
  nice -n 19 cmake --build build-fuzz -j2 --target "fuzz_$only"
else
  nice -n 19 cmake --build build-fuzz -j2 --target fuzz_all
fi

# --- seed corpora ---------------------------------------------------------------------------
seeds=$root/build-fuzz/seeds
make_seeds() {
  local work=$root/build-fuzz/seedwork
  rm -rf "$seeds" "$work"
  mkdir -p "$work" "$seeds"/{cuesheet,transcodertext,settings,history,handover,tags,mp4demux,wavaiff}
  export GST_PLUGIN_LOADING_WHITELIST=gstreamer:gst-plugins-base:gst-plugins-good:gst-plugins-ugly
  export GST_REGISTRY_1_0=$work/registry.bin
  local tone="audiotestsrc wave=sine num-buffers=8 samplesperbuffer=1024 ! audio/x-raw,rate=44100,channels=2"
  local tags='taginject tags="title=Tone,artist=Someone,album=Album,genre=Test,comment=c"'
  gst-launch-1.0 -q $tone ! $tags ! wavenc ! filesink location="$work/tone.wav"
  gst-launch-1.0 -q $tone ! lamemp3enc ! $tags ! id3v2mux ! filesink location="$work/tone.mp3"
  gst-launch-1.0 -q $tone ! flacenc ! $tags ! flactag ! filesink location="$work/tone.flac"
  gst-launch-1.0 -q $tone ! audioconvert ! vorbisenc ! $tags ! oggmux ! filesink location="$work/tone.ogg"
  gst-launch-1.0 -q $tone ! audioresample ! opusenc ! $tags ! oggmux ! filesink location="$work/tone.opus"
  gst-launch-1.0 -q $tone ! lamemp3enc ! mpegaudioparse ! $tags ! mp4mux ! filesink location="$work/mp3.m4a"
  sndfile-convert "$work/tone.wav" "$work/tone.aiff" >/dev/null
  sndfile-convert "$work/tone.wav" "$work/tone.caf" >/dev/null
  sndfile-convert "$work/tone.wav" "$work/tone.w64" >/dev/null
  cp "$work/tone.mp3" "$work/ape.mp3"
  /usr/bin/python3 -c 'import sys; from mutagen.apev2 import APEv2
t = APEv2(); t["Title"] = "Tone"; t["Artist"] = "Someone"; t.save(sys.argv[1])' "$work/ape.mp3"
  if [ -x build/program/sonmill ]; then
    # The transcoder's own outputs (AAC and Apple Lossless in MPEG-4, AIFF with its tags) and
    # its console text, good and failed.
    build/program/sonmill qzv -y -i "$work/tone.wav" -acodec aac "$work/aac.m4a" >"$seeds/transcodertext/aac.txt" 2>&1 || true
    build/program/sonmill qzv -y -i "$work/tone.wav" -acodec alac "$work/alac.m4a" >/dev/null 2>&1 || true
    build/program/sonmill qzv -y -i "$work/tone.wav" "$work/sonmill.aiff" >/dev/null 2>&1 || true
    build/program/sonmill qzv -y -i "$work/tone.wav" "$work/sonmill.mp3" >"$seeds/transcodertext/mp3.txt" 2>&1 || true
    build/program/sonmill qzv -y -i "$work/missing.wav" "$work/x.mp3" >"$seeds/transcodertext/missing.txt" 2>&1 || true
  else
    echo "No build/program/sonmill: the seeds leave out its MPEG-4 and AIFF outputs and its text"
  fi
  # tags: the first byte picks the suffix the reader is given (fuzz_tags.cpp's list).
  local -A suffix=([mp3]=0 [flac]=1 [ogg]=2 [opus]=3 [m4a]=4 [wav]=5 [aiff]=6)
  local f name ext
  for f in "$work"/*.{mp3,flac,ogg,opus,m4a,wav,aiff}; do
    [ -f "$f" ] || continue
    name=$(basename "$f"); ext=${name##*.}
    { printf "\\x$(printf %02x "${suffix[$ext]}")"; cat "$f"; } >"$seeds/tags/$name"
  done
  { printf '\x07'; cat "$work/ape.mp3"; } >"$seeds/tags/ape.ape"
  for f in "$work"/*.m4a; do [ -f "$f" ] && cp "$f" "$seeds/mp4demux/"; done
  # wavaiff: an even first byte for the WAV reader, an odd one for the other.
  { printf '\x00'; cat "$work/tone.wav"; } >"$seeds/wavaiff/tone.wav"
  { printf '\x00'; cat "$work/tone.wav"; printf 'x'; } >"$seeds/wavaiff/stray.wav"
  for f in "$work"/*.{aiff,caf,w64}; do
    [ -f "$f" ] && { printf '\x01'; cat "$f"; } >"$seeds/wavaiff/$(basename "$f")"
  done
  cp data/Config/*.ini data/Config/*.lib "$seeds/settings/"
  printf '/home/someone/Music\n/media/disk/Out\n\n/tmp/a b\n' >"$seeds/history/three"
  printf '\x10open file:///tmp\nopen file:///home\nrestore\n' >"$seeds/handover/two"
  printf '\x00restore\n' >"$seeds/handover/restore"
  printf '\x05open file:///tmp/%%20x\nrestore\n' >"$seeds/handover/escaped"
  printf '\x07Duration: 00:00:01.50\nsize= time=0.50 bitrate= 128kbit/s\rtime=1.00 bitrate=\nglobal\n' \
    >"$seeds/transcodertext/progress"
  printf '\x02Error: Unable to open\n' >"$seeds/transcodertext/error"
  cat >"$seeds/cuesheet/album.cue" <<'CUE'
REM GENRE Test
REM DATE 2001
PERFORMER "Someone"
TITLE "Album"
FILE "one.wav" WAVE
  TRACK 01 AUDIO
    TITLE "First"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Second"
    PREGAP 00:02:00
    INDEX 00 00:10:00
    INDEX 01 00:12:30
FILE "two.flac" WAVE
  TRACK 03 MODE1/2352
    INDEX 01 00:00:00
  TRACK 04 AUDIO
    ISRC ABCDE1234567
    FLAGS DCP
    INDEX 01 01:00:00
CUE
  { printf '\xef\xbb\xbf'; cat "$seeds/cuesheet/album.cue"; } >"$seeds/cuesheet/bom.cue"
  iconv -f UTF-8 -t UTF-16 "$seeds/cuesheet/album.cue" >"$seeds/cuesheet/utf16.cue"
  # Every kept finding is a seed too.
  for t in "${targets[@]}"; do
    [ -d "tests/fuzz/$t" ] && cp tests/fuzz/"$t"/* "$seeds/$t/" 2>/dev/null || true
  done
  rm -rf "$work"
}
make_seeds

# --- runs -----------------------------------------------------------------------------------
# ASan's quarantine of freed memory counts in the RSS limit: kept small, so the limit measures
# what an input takes.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=32
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$root/scripts/sanitize-leaks.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
  [ -z "$only" ] || [ "$t" = "$only" ] || continue
  mkdir -p "build-fuzz/corpus/$t" "build-fuzz/findings/$t"
  echo "== $t: $seconds s"
  : >"build-fuzz/findings/$t/run.log"
  end=$(($(date +%s) + seconds))
  execs=0
  # libFuzzer's limit is wall-clock time, and at the lowest priority on a busy machine a run
  # can wait seconds for the processor; FUZZ_TIMEOUT (seconds, default 1) sets it higher there,
  # and the slowest input's time in the report then shows whether all stayed under a second
  # (wall-clock time is never less than processor time). An input it calls slow is run
  # again at normal priority: under a second of processor time it was the machine, and the
  # run goes on from its corpus; otherwise it is a finding.
  while [ "$(date +%s)" -lt "$end" ]; do
    rc=0
    nice -n 19 "build-fuzz/fuzz/fuzz_$t" -timeout="${FUZZ_TIMEOUT:-1}" -rss_limit_mb=256 -malloc_limit_mb=256 \
      -max_total_time=$((end - $(date +%s))) -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$t/" \
      "build-fuzz/corpus/$t" "$seeds/$t" >"build-fuzz/findings/$t/last.log" 2>&1 || rc=$?
    cat "build-fuzz/findings/$t/last.log" >>"build-fuzz/findings/$t/run.log"
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/findings/$t/last.log")
    execs=$((execs + ${n:-0}))
    [ "$rc" -eq 0 ] && break
    starved=0
    for slow in "build-fuzz/findings/$t"/timeout-*; do
      [ -f "$slow" ] || continue
      /usr/bin/time -o "build-fuzz/findings/$t/cpu" -f '%U %S' "build-fuzz/fuzz/fuzz_$t" "$slow" >/dev/null 2>&1 || true
      cpu=$(tail -1 "build-fuzz/findings/$t/cpu")
      if awk -v c="$cpu" 'BEGIN { split(c, a, " "); exit !(a[1] + a[2] < 1) }'; then
        echo "  $(basename "$slow"): $cpu s of processor time when run again: the machine was busy"
        rm -f "$slow"
        starved=1
      fi
    done
    if [ "$starved" -eq 0 ]; then
      grep -E 'ERROR|SUMMARY' "build-fuzz/findings/$t/last.log" || true
      status=1
      break
    fi
  done
  grep -E '^stat::(average_exec_per_sec|slowest_unit_time_sec|peak_rss_mb)' "build-fuzz/findings/$t/last.log" || true
  echo "executions: $execs; corpus: $(ls "build-fuzz/corpus/$t" | wc -l) inputs;" \
    "findings: $(ls "build-fuzz/findings/$t" | grep -cvE '^(run\.log|last\.log|cpu)$' || true)"
done
exit $status
