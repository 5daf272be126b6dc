#!/usr/bin/env bash
# Drives the bash completion of tolm-convert as bash would: options, the words a value may be,
# folders, files and the profiles the program itself lists.
set -euo pipefail
completion=$1
program=$2
export HOME=$(mktemp -d)
trap 'rm -rf "$HOME"' EXIT
source "$completion"

complete_words() { # the words typed, the last one being completed
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _tolm_convert
  printf '%s\n' "${COMPREPLY[@]}"
}

expect() { # what is offered, a word that must be among it
  grep -qx -- "$2" <<<"$1" || { echo "expected '$2' among:"; echo "$1"; exit 1; }
}
refuse() {
  ! grep -qx -- "$2" <<<"$1" || { echo "did not expect '$2' among:"; echo "$1"; exit 1; }
}

offered=$(complete_words --ov)
expect "$offered" --overwrite
offered=$(complete_words -q h)
expect "$offered" high
offered=$(complete_words -p m)
expect "$offered" mp3
expect "$offered" m4a
refuse "$offered" flac
offered=$(complete_words --profile "")
expect "$offered" flac
expect "$offered" au
offered=$(complete_words --channels "")
expect "$offered" 6
offered=$(complete_words --replaygain "")
expect "$offered" album
expect "$offered" track
[ -z "$(complete_words --jobs "")" ] || { echo "a number was completed"; exit 1; }

# Values that are paths: a folder for -o, files (and folders) for the sources.
mkdir -p "$HOME/work/albums"
: >"$HOME/work/a.wav"
cd "$HOME/work"
offered=$(complete_words -o "")
expect "$offered" albums
refuse "$offered" a.wav
offered=$(complete_words -q high "")
expect "$offered" a.wav
expect "$offered" albums

# Every option the help lists is offered, under each of its names.
offered=$(complete_words -)
names=$("$program" --help | sed -n -e 's/^  \(-[^ ,]*\)\(, \(--[^ ]*\)\)\?.*$/\1\n\3/p' | grep .)
[ "$(wc -l <<<"$names")" -gt 20 ] || { echo "too few options in --help:"; echo "$names"; exit 1; }
while read -r name; do expect "$offered" "$name"; done <<<"$names"
echo "completion offers options, value words, folders, files and profiles"
