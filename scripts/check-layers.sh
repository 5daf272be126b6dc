#!/usr/bin/env bash
# Fails when a file includes a header of a folder above its own: every folder may include only
# its own headers and those of the folders below it. Three trees are checked this way.
#
# src/ (included as "core/...", "engine/...", ...):
#   core                 records, time codes, command lines, fixed texts
#   batch                the rows of a batch and their states (the model)
#   platform             OS, X11, D-Bus and shell services
#   widgets              the control factory and the skin every window builds with
#   profiles             profile files and the profile-to-job step
#   sources              probe, file list, destination names
#   engine               command composition, queue, after-done, log window
#   playback             preview, trim and effect
#   mainwindow, cli      the window; the command-line front end (side by side)
#   app                  main()
#
# siblings/ (included as "protocol/...", "media/...", "sonmill/...", "mirplay/..."):
#   protocol             sonmill's command line and console lines, shared with the window
#   media                GStreamer set-up and the decoders both siblings use
#   sonmill, mirplay     the two programs (side by side)
#
# siblings/sonmill/ (included as "sonmill/<part>/..."):
#   base                 failures, output formats, the encoder interface, module loading
#   containers, ac3,     the MP4 writer; our AC-3 encoder; channel mixing and resampling;
#   audio, loudness      true peak, loudness and limiter (side by side)
#   encoders, source,    the encoders; decoding the input; the tag table, readers and writers
#   tags                 (side by side)
#   cli                  the options and the console lines
#   run                  a conversion, a stream copy, a check, a loudness scan
#   (main.cpp)           main() at the top of the folder itself
set -euo pipefail
cd "$(dirname "$0")/.."

srcRank() {
  case "$1" in
    core) echo 0 ;;
    batch) echo 1 ;;
    platform) echo 2 ;;
    widgets) echo 3 ;;
    profiles) echo 4 ;;
    sources) echo 5 ;;
    engine) echo 6 ;;
    playback) echo 7 ;;
    mainwindow | cli) echo 8 ;;
    app) echo 9 ;;
    *) echo unknown ;;
  esac
}

siblingsRank() {
  case "$1" in
    protocol) echo 0 ;;
    media) echo 1 ;;
    sonmill | mirplay) echo 2 ;;
    *) echo unknown ;;
  esac
}

sonmillRank() {
  case "$1" in
    base) echo 0 ;;
    containers | ac3 | audio | loudness) echo 1 ;;
    encoders | source | tags) echo 2 ;;
    cli) echo 3 ;;
    run) echo 4 ;;
    .) echo 5 ;; # main.cpp, in the folder itself
    *) echo unknown ;;
  esac
}

status=0

# check ROOT PREFIX RANK: every file under ROOT (its folder taken below ROOT) against the
# includes that begin with PREFIX (their folder taken after PREFIX).
check() {
  local root=$1 prefix=$2 rankOf=$3 file folder own line number included target theirs
  while IFS= read -r -d '' file; do
    folder=${file#"$root"/}
    [[ $folder == */* ]] && folder=${folder%%/*} || folder=.
    own=$($rankOf "$folder")
    if [ "$own" = unknown ]; then
      echo "$file: folder '$folder' has no layer; add it to scripts/check-layers.sh"
      status=1
      continue
    fi
    while IFS= read -r line; do
      number=${line%%:*}
      included=${line#*\"}
      included=${included%%\"*}
      [[ $included == "$prefix"* ]] || continue
      included=${included#"$prefix"}
      [[ $included == */* ]] || continue
      target=${included%%/*}
      theirs=$($rankOf "$target")
      [ "$theirs" = unknown ] && continue # not one of this tree's folders
      if [ "$target" != "$folder" ] && [ "$theirs" -ge "$own" ]; then
        echo "$file:$number: includes $prefix$included, which is not below $folder"
        status=1
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
  done < <(find "$root" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
}

check src "" srcRank
check siblings "" siblingsRank
check siblings/sonmill sonmill/ sonmillRank

[ $status -eq 0 ] && echo "layers: every include runs downward"
exit $status
