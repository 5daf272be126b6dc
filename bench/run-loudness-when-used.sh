#!/usr/bin/env bash
# What loudness costs when nothing uses it, and how exact normalising is after encoding.
#
# 1. Paired CPU time on one core (taskset -c 0), user + system, the two commands in turns:
#    the MP3 profile's line at its normal bit rate (128 kbit/s) against `lame -b 128`, a FLAC
#    conversion against `flac -5`, and AC-3 at 192 kbit/s as a multiple of real time (CPU time
#    and wall time). With SONMILL_BEFORE=<another build's sonmill> the same for that build.
# 2. `tolm-convert --normalize -16` from a loud (-13 LUFS) and a quiet (-35 LUFS, peaks far
#    above its loudness) source to the MP3, AAC, OGG, OPUS and FLAC profiles at their normal
#    quality: the decoded outputs measured by ebur128 (ebumeter), not by our own meter, and the
#    CPU time the normalising run took against a plain one.
#
# PAIRS=n pairs per comparison (default 5); SECONDS_LONG=n the inputs' length (default 120);
# CPU_ONLY=1 leaves out the second part.
source "$(dirname "$0")/common.sh"
PAIRS="${PAIRS:-5}"
LENGTH="${SECONDS_LONG:-120}"
OUT="$WORK/out-loudness-when-used"
mkdir -p "$OUT"
command -v ebur128 >/dev/null || { echo "missing ebur128: run scripts/setup-deps.sh" >&2; exit 1; }

WAV44="$WORK/loudness-$LENGTH-44k.wav"
WAV48="$WORK/loudness-$LENGTH-48k.wav"
for spec in "44100 $WAV44" "48000 $WAV48"; do
  set -- $spec
  [ -s "$2" ] || gst-launch-1.0 -q audiotestsrc wave=pink-noise volume=0.25 num-buffers=$((LENGTH * $1 / 1024)) \
    samplesperbuffer=1024 ! "audio/x-raw,format=S16LE,rate=$1,channels=2" ! wavenc ! filesink location="$2"
done

# The window's command lines (tests/engine's texts): MP3 at normal quality, FLAC lossless.
mp3_line() { echo "$1 qzv -y -i $2 -ss 00:00:00 -t 00:10:00 -vol 100 -ar 44100 -acodec libmp3lame -ab 128k -qscale 6 -ac 2 -vn $3"; }
flac_line() { echo "$1 qzv -y -i $2 -acodec flac $3"; }
ac3_line() { echo "$1 qzv -y -i $2 -acodec ac3 -ab 192k -ac 2 $3"; }

cpu() { # command...: user + system seconds, on core 0
  /usr/bin/time -f '%U %S %e' -o "$OUT/cpu.txt" taskset -c 0 "$@" >/dev/null 2>&1
  awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }' "$OUT/cpu.txt"
}

pair() { # name first second: the second's CPU over the first's
  local name="$1" first="$2" second="$3" a b
  : >"$RESULTS/$name.cpu"
  for _ in $(seq "$PAIRS"); do
    # shellcheck disable=SC2086 # the lines are word lists
    a=$(cpu $first | cut -d' ' -f1)
    # shellcheck disable=SC2086
    b=$(cpu $second | cut -d' ' -f1)
    echo "$a $b" >>"$RESULTS/$name.cpu"
  done
  awk -v name="$name" '{ sa += $1; sb += $2; r = $2 / $1; if (NR == 1 || r < lo) lo = r; if (NR == 1 || r > hi) hi = r }
    END { printf "%-34s %.3f x   (%.2f s vs %.2f s of CPU per run; pairs %.3f to %.3f)\n",
          name, sb / sa, sa / NR, sb / NR, lo, hi }' "$RESULTS/$name.cpu"
}

realtime() { # name command: x real time by CPU time and by wall time (medians)
  local name="$1" command="$2"
  : >"$RESULTS/$name.rt"
  for _ in $(seq "$PAIRS"); do
    # shellcheck disable=SC2086
    cpu $command >>"$RESULTS/$name.rt"
  done
  local c w
  c=$(cut -d' ' -f1 "$RESULTS/$name.rt" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  w=$(cut -d' ' -f2 "$RESULTS/$name.rt" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  awk -v name="$name" -v len="$LENGTH" -v c="$c" -v w="$w" \
    'BEGIN { printf "%-34s %.0fx real time by CPU (%.2f s), %.0fx by wall (%.2f s), medians\n", name, len / c, c, len / w, w }'
}

echo "== CPU on core 0, $PAIRS pairs, $LENGTH s of stereo pink noise"
builds=("$SONMILL")
[ -n "${SONMILL_BEFORE:-}" ] && builds=("$SONMILL_BEFORE" "$SONMILL")
for build in "${builds[@]}"; do
  echo "-- $build"
  pair mp3-128k-vs-lame "lame --quiet --noreplaygain -b 128 $WAV44 $OUT/ref.mp3" "$(mp3_line "$build" "$WAV44" "$OUT/s.mp3")"
  pair flac-vs-flac-5 "flac --silent -f -5 -o $OUT/ref.flac $WAV44" "$(flac_line "$build" "$WAV44" "$OUT/s.flac")"
  realtime ac3-192k "$(ac3_line "$build" "$WAV48" "$OUT/s.ac3")"
done

[ -n "${CPU_ONLY:-}" ] && exit 0
echo
echo "== --normalize -16 at each profile's normal quality, decoded outputs by ebur128"
make_source() { # file target-lufs dense|punchy: 20 s, the tests' two programmes (tests/support)
  local raw="$OUT/raw-$3.wav" measured
  python3 - "$raw" "$3" <<'PY'
import math, struct, sys, wave
path, kind = sys.argv[1], sys.argv[2]
rate, frames = 44100, 20 * 44100
out = bytearray()
for f in range(frames):
    t = f / rate
    for c in range(2):
        seed = ((f * 2 + c) * 2654435761) & 0xffffffff
        seed ^= seed >> 13; seed = (seed * 0x5bd1e995) & 0xffffffff; seed ^= seed >> 15
        noise = (seed % 20001) / 10000.0 - 1.0
        if kind == "dense":
            swell = 0.75 + 0.25 * math.sin(2 * math.pi * 0.4 * t)
            v = swell * (0.35 * math.sin(2 * math.pi * 110 * t + 0.2 * c) + 0.25 * math.sin(2 * math.pi * 440 * t)
                + 0.15 * math.sin(2 * math.pi * 2500 * t + 0.1 * c) + 0.12 * math.sin(2 * math.pi * 4100 * t)
                + 0.04 * math.sin(2 * math.pi * 11025 * t + math.pi / 4) + 0.05 * noise)
        else:  # hits twice a second: a sharp attack, a fast decay, peaks far above the loudness
            since = math.fmod(t, 0.5)
            hit = math.exp(-since * 30) * math.sin(2 * math.pi * 80 * since + 0.3) \
                + math.exp(-since * 200) * math.sin(2 * math.pi * 11025 * t + math.pi / 4)
            v = 0.9 * hit + 0.06 * math.sin(2 * math.pi * 330 * t + c) + 0.02 * noise
        out += struct.pack("<h", max(-32768, min(32767, int(round(v * 0.5 * 32767)))))
w = wave.open(path, "wb"); w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate); w.writeframes(bytes(out)); w.close()
PY
  measured=$(ebur128 --lufs "$raw" | awk '/Integrated loudness/ { print $3 }')
  sox -q "$raw" "$1" gain "$(awk -v t="$2" -v m="$measured" 'BEGIN { printf "%.2f", t - m }')"
}
[ -s "$OUT/loud.wav" ] || make_source "$OUT/loud.wav" -13 dense
[ -s "$OUT/quiet.wav" ] || make_source "$OUT/quiet.wav" -35 punchy
for source in loud quiet; do
  printf "%-6s source: %s\n" "$source" "$(ebur128 --lufs "$OUT/$source.wav" | awk '/Integrated loudness/ { i = $3 } /Peak level/ { p = $3 } END { printf "%s LUFS, %s dBTP", i, p }')"
done
decoded() { # output file -> a WAV as a player decodes it
  case "$1" in
    *.mp3) mpg123 -q -w "$OUT/decoded.wav" "$1" ;;
    *.flac) cp "$1" "$OUT/decoded.flac"; echo "$OUT/decoded.flac"; return ;;
    # GStreamer's AAC decoders lie outside the plugin sets the program uses: ours decodes it.
    *.aac) "$SONMILL" qzv -y -i "$1" -acodec pcm16le "$OUT/decoded.wav" >/dev/null 2>&1 ;;
    *) gst-launch-1.0 -q filesrc location="$1" ! decodebin ! audioconvert ! audio/x-raw,format=S16LE \
      ! wavenc ! filesink location="$OUT/decoded.wav" ;;
  esac
  echo "$OUT/decoded.wav"
}
for build in "${builds[@]}"; do
  echo "-- $(dirname "$build")/tolm-convert"
  printf "%-14s %12s %12s %10s %10s   (CPU of a plain and of the normalising run)\n" "" "integrated" "true peak" "plain" "normalize"
  for profile in mp3 aac ogg opus flac; do
    for source in loud quiet; do
      rm -rf "$OUT/n" "$OUT/p"
      /usr/bin/time -f '%U %S' -o "$OUT/t.txt" "$(dirname "$build")/tolm-convert" -j 1 -p "$profile" -o "$OUT/p" \
        "$OUT/$source.wav" >/dev/null 2>&1
      plain=$(awk '{ print $1 + $2 }' "$OUT/t.txt")
      /usr/bin/time -f '%U %S' -o "$OUT/t.txt" "$(dirname "$build")/tolm-convert" -j 1 -p "$profile" --normalize -16 \
        -o "$OUT/n" "$OUT/$source.wav" >/dev/null 2>&1
      norm=$(awk '{ print $1 + $2 }' "$OUT/t.txt")
      file=$(ls "$OUT/n"/*)
      ebur128 --lufs "$(decoded "$file")" | awk -v name="$source to $profile" -v plain="$plain" -v norm="$norm" \
        '/Integrated loudness/ { i = $3 } /Peak level/ { p = $3 } END { printf "%-14s %7s LUFS %7s dBTP %8.2f s %8.2f s\n", name, i, p, plain, norm }'
    done
  done
done
