#!/usr/bin/env bash
# Drives the bash completion of tolm-convert as bash would: options, qualities and the
# profiles the program itself lists.
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
echo "completion offers options, qualities and profiles"
