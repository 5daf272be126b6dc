#!/usr/bin/env bash
# Fails when a file under src/ includes a header of a folder above its own: every folder may
# include only its own headers and those of the folders below it.
#
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
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
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

status=0
while IFS= read -r -d '' file; do
  folder=${file#src/}
  folder=${folder%%/*}
  own=$(rank "$folder")
  if [ "$own" = unknown ]; then
    echo "$file: folder '$folder' has no layer; add it to scripts/check-layers.sh"
    status=1
    continue
  fi
  while IFS= read -r line; do
    number=${line%%:*}
    included=${line#*\"}
    included=${included%%\"*}
    [[ $included == */* ]] || continue
    target=${included%%/*}
    theirs=$(rank "$target")
    [ "$theirs" = unknown ] && continue # not one of our folders
    if [ "$target" != "$folder" ] && { [ "$theirs" -ge "$own" ]; }; then
      echo "$file:$number: includes $included, which is not below $folder"
      status=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

[ $status -eq 0 ] && echo "layers: every include runs downward"
exit $status
