#!/bin/sh
# Starts TOLM Audio Converter from its program folder, where it finds its siblings and data.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/tolm-audio-converter/tolm-audio-converter" "$@"
