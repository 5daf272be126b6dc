#!/usr/bin/env bash
# The cost of sonmill's -verify: CPU time (user + system, /usr/bin/time) of a conversion of
# the 10-minute stereo input with and without the check, run in pairs (plain, checked) so a
# busy moment of the machine weighs on both alike; medians over the pairs. As the reference
# for FLAC, flac's own tools: decoding a file back against encoding it at level 5.
#   bench/run-verify.sh [pairs]     (default 5)
source "$(dirname "$0")/common.sh"
PAIRS="${1:-5}"
[ -s "$WAV10" ] || "$BENCH_DIR/make-inputs.sh"
OUT="$WORK/verify"
mkdir -p "$OUT"

cpu() { # command... -> user+system seconds
  /usr/bin/time -f '%U %S' -o "$OUT/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%.2f\n", $1 + $2 }' "$OUT/time"
}

median() { python3 -c 'import statistics,sys; print("%.2f" % statistics.median(float(x) for x in sys.argv[1:]))' "$@"; }

report="$RESULTS/verify.txt"
: > "$report"
printf '%-8s %10s %10s %8s\n' format plain_s checked_s cost | tee -a "$report"
while read -r name extension options; do
  plain=()
  checked=()
  for _ in $(seq "$PAIRS"); do
    # shellcheck disable=SC2086
    plain+=("$(cpu "$SONMILL" qzv -y -i "$WAV10" $options "$OUT/out.$extension")")
    # shellcheck disable=SC2086
    checked+=("$(cpu "$SONMILL" qzv -y -i "$WAV10" $options -verify "$OUT/out.$extension")")
  done
  p=$(median "${plain[@]}")
  c=$(median "${checked[@]}")
  cost=$(python3 -c "print('%.1f %%' % (100 * ($c - $p) / $p))")
  printf '%-8s %10s %10s %8s   plain: %s  checked: %s\n' "$name" "$p" "$c" "$cost" "${plain[*]}" "${checked[*]}" \
    | tee -a "$report"
done <<'EOF'
mp3 mp3 -acodec libmp3lame -ab 128k
aac m4a -acodec aac -ab 128k
vorbis ogg -acodec vorbis -ab 128k
flac flac -acodec flac
EOF

encode=()
decode=()
for _ in $(seq "$PAIRS"); do
  encode+=("$(cpu flac --silent -5 -f -o "$OUT/ref.flac" "$WAV10")")
  decode+=("$(cpu flac --silent -d -f -o "$OUT/ref.wav" "$OUT/ref.flac")")
done
e=$(median "${encode[@]}")
d=$(median "${decode[@]}")
printf 'flac tool: encode -5 %s s, decode %s s: %s\n' "$e" "$d" \
  "$(python3 -c "print('%.1f %%' % (100 * $d / $e))")" | tee -a "$report"
