#!/usr/bin/env bash
# tolm-convert's parallel jobs: eight ten-minute WAV files to MP3 with -j 2 against -j 1, and
# -j 1 against the same sonmill commands run one after another by a shell script (what the
# front end adds: probes, its event loop, the progress). Runs bench/make-inputs.sh when the
# ten-minute WAV is missing. RUNS=n sets the runs per command (default 3), WARMUP=n the runs
# not counted (default 1).
source "$(dirname "$0")/common.sh"
RUNS="${RUNS:-3}"
WARMUP="${WARMUP:-1}"
CONVERT="${CONVERT:-$REPO_DIR/build/program/tolm-convert}"
[ -x "$CONVERT" ] || { echo "build tolm-convert first (cmake --build build --target tolm-convert)" >&2; exit 1; }
[ -s "$WAV10" ] || "$BENCH_DIR/make-inputs.sh"

IN="$WORK/cli-in"
OUT="$WORK/cli-out"
mkdir -p "$IN" "$OUT"
for i in 1 2 3 4 5 6 7 8; do
  ln -f "$WAV10" "$IN/music-$i.wav"
done
# A home of its own, so the user's working folders are not touched.
export HOME="$WORK/cli-home"
mkdir -p "$HOME"

run_cli() { # jobs
  echo "$CONVERT -j $1 --quiet --overwrite -p mp3 -o $OUT $IN"
}

# The very commands tolm-convert runs, as its dry run prints them, one after another.
SEQUENTIAL="$WORK/cli-sequential.sh"
"$CONVERT" --dry-run --overwrite -p mp3 -o "$OUT" "$IN" | sed "s|^sonmill |\"$SONMILL\" |" >"$SEQUENTIAL"
[ "$(grep -c libmp3lame "$SEQUENTIAL")" = 8 ] || { echo "unexpected dry run:"; cat "$SEQUENTIAL"; exit 1; }

compare() { # name, then hyperfine's -n NAME COMMAND pairs
  local name="$1"
  shift
  hyperfine --warmup "$WARMUP" --runs "$RUNS" --export-json "$RESULTS/$name.json" "$@" >/dev/null
  medians "$RESULTS/$name.json"
  printf '%s: second / first = %s\n' "$name" "$(ratio "$RESULTS/$name.json")"
}

echo "medians of $RUNS runs, seconds"
# Target: -j 1 takes at least 1.7 times as long as -j 2 on two free cores.
compare cli-jobs -N -n "jobs 2" "$(run_cli 2)" -n "jobs 1" "$(run_cli 1)"
# Target: -j 1 within 3 % of the bare sonmill commands (ratio at most 1.03).
compare cli-overhead -N -n "sonmill one after another" "bash $SEQUENTIAL" -n "jobs 1" "$(run_cli 1)"
