#!/usr/bin/env bash
# Packs the built tree with CPack into a temporary folder, as scripts/package.sh does, and
# checks the Debian package: its name and control fields, its Depends line (dpkg-shlibdeps'
# libraries with their versions, the GStreamer plugin sets, nothing we may not use) and its
# contents list (Debian's places, owners, modes, compressed manual pages, stripped binaries),
# the hardening of every executable and module it ships (hardening-check) and lintian's
# verdict (no error, no warning, no hardening tag). Nothing is installed on the machine. Exits 77 (skipped) where dpkg's tools are missing.
# Usage: package-check.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps dpkg-parsechangelog file readelf hardening-check lintian; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack"; }
arch=$(dpkg --print-architecture)
deb=$work/out/tolm-audio-converter_${version}_${arch}.deb
[ -f "$deb" ] || { ls "$work/out" >&2; fail "no package named $(basename "$deb")"; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tolm-audio-converter ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = sound ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] && [ -n "$(field Installed-Size)" ] || fail "Maintainer or Installed-Size missing"
[ "$(field Description | wc -l)" -gt 2 ] || fail "no long description"
# Lists are read whole before grep -q looks: an early exit would fail the pipe (pipefail).
dpkg-deb --ctrl-tarfile "$deb" | tar -t >"$work/control"
grep -qx './md5sums' "$work/control" || fail "no md5sums"

# Depends: one name per line, versions and alternatives kept apart.
field Depends | tr ',' '\n' | sed 's/^ *//; s/ *$//' >"$work/depends"
name_of() { sed 's/ .*//; s/:.*//' <<<"$1"; }
depends_on() { grep -q "^$1\( \|$\)" "$work/depends"; }
# Linked libraries, as dpkg-shlibdeps names them: with the lowest version whose symbols we
# use where the library's package records one.
for lib in libc6 libstdc++6 libglib2.0-0 libgstreamer1.0-0 libgstreamer-plugins-base1.0-0 \
  libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libqt6network6 libxcb1 \
  libmp3lame0 libtwolame0 libvorbisenc2 libogg0 libflac12 libvo-aacenc0 libfaad2 libsndfile1 \
  libsoxr0 libtag1v5; do
  depends_on "$lib" || fail "Depends lacks $lib: $(field Depends)"
done
for lib in libc6 libqt6core6 libgstreamer1.0-0 libmp3lame0; do
  grep -q "^$lib (>= [^)]*)$" "$work/depends" || fail "Depends has no version for $lib: $(field Depends)"
done
# Loaded at run time, so no shared-library tool can see them.
for pkg in gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly libqt6svg6; do
  depends_on "$pkg" || fail "Depends lacks $pkg: $(field Depends)"
done
if grep -Eq '^(gstreamer1\.0-(plugins-bad|libav)|libgstreamer-plugins-bad|libav|ffmpeg)' "$work/depends"; then
  fail "Depends names a media package we may not use: $(field Depends)"
fi
if [ "$(sort -u "$work/depends" | wc -l)" -ne "$(wc -l <"$work/depends")" ]; then
  fail "Depends names a package twice"
fi

# The contents list: permissions, owner, path (and a link's target).
dpkg-deb -c "$deb" | awk '{ $3 = $4 = $5 = ""; print }' | sed 's/   */ /g' >"$work/contents"
awk '$2 != "root/root"' "$work/contents" | grep . && fail "entries not owned by root"
awk '{ print $3 }' "$work/contents" | grep -v '^\./$' | grep -v '^\./usr/' && fail "entries outside /usr"
grep -E ' \./usr/local/| \./usr/lib/tolm-audio-converter/tst_|/_CPack_Packages/' "$work/contents" && fail "stray entries"
awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"' "$work/contents" | grep . && fail "directories with other modes"
awk '$1 ~ /^-/ && $1 != "-rwxr-xr-x" && $1 != "-rw-r--r--"' "$work/contents" | grep . && fail "files with other modes"
grep -E ' \./usr/share/man/.*\.[0-9]$' "$work/contents" && fail "uncompressed manual pages"

app=org.tolm.AudioConverter
folder=./usr/lib/tolm-audio-converter
expect() { grep -qxF -- "$1" "$work/contents" || fail "the package lacks: $1"; }
expect "-rwxr-xr-x root/root ./usr/bin/tolm-audio-converter"
expect "lrwxrwxrwx root/root ./usr/bin/tolm-convert -> ../lib/tolm-audio-converter/tolm-convert"
for exe in tolm-audio-converter tolm-convert sonmill mirplay; do
  expect "-rwxr-xr-x root/root $folder/$exe"
done
for file in gst-plugins/libgsttolmaac.so gst-plugins/libgsttolmsndfile.so gst-plugins/libgsttolmmp4.so \
  sonmill-modules/libsonmill-lame.so sonmill-modules/libsonmill-aac.so sonmill-modules/libsonmill-ac3.so \
  sonmill-modules/libsonmill-opus.so Config/opus.lib sonmill-modules/libsonmill-alac.so Config/alac.lib \
  gst-plugins/libgsttolmalac.so Config/config.ini skin/start-a.bmp icons/logo.svg doc/index.html; do
  expect "-rw-r--r-- root/root $folder/$file"
done
for file in applications/$app.desktop metainfo/$app.metainfo.xml icons/hicolor/scalable/apps/$app.svg \
  icons/hicolor/16x16/apps/$app.png icons/hicolor/256x256/apps/$app.png \
  man/man1/tolm-audio-converter.1.gz man/man1/tolm-convert.1.gz bash-completion/completions/tolm-convert \
  doc/tolm-audio-converter/copyright doc/tolm-audio-converter/changelog.gz; do
  expect "-rw-r--r-- root/root ./usr/share/$file"
done

# hardening-check on one binary. Its fortify line fails a binary that calls a fortifiable
# function but has no call left to check at run time (every size known when compiled); there
# the calls are judged by lintian's list, which leaves memcpy, memmove and memset aside as such
# false positives, and only the two cases the package's lintian overrides name are let through:
# the window program's one read() of one byte, and in each sonmill module the calls of the C++
# runtime linked into it (-static-libstdc++: those that Debian's libstdc++.a itself makes).
hardened() { # file
  local f=$1 name=${1#"$work/root"} allowed extra
  hardening-check --nocfprotection "$f" >"$work/hardening" 2>&1 && return
  case $name in
    /usr/lib/tolm-audio-converter/tolm-audio-converter) allowed="read" ;;
    /usr/lib/tolm-audio-converter/sonmill-modules/*.so)
      allowed=$(nm -u "$(g++ -print-file-name=libstdc++.a)" 2>/dev/null | awk '{ print $2 }' | sort -u | paste -sd' ') ;;
    *) allowed="" ;;
  esac
  hardening-check --nocfprotection --nofortify "$f" >"$work/hardening" 2>&1 \
    || { cat "$work/hardening" >&2; fail "not hardened: $name"; }
  grep -v '^#' /usr/share/lintian/data/binaries/hardened-functions | grep . | sort -u >"$work/fortifiable"
  nm -D --undefined-only "$f" | awk '{ sub(/@.*/, "", $2); print $2 }' | sort -u >"$work/imports"
  extra=$(comm -12 "$work/fortifiable" "$work/imports" | comm -23 - <(tr ' ' '\n' <<<"$allowed" | sort))
  [ -z "$extra" ] || fail "unfortified calls in $name: $extra"
}

# What the files hold: stripped binaries that look for nothing in the build tree, gzipped
# documents, a changelog for this version, and a licence for every library linked.
dpkg-deb -x "$deb" "$work/root"
find "$work/root" -type f -print0 | while IFS= read -r -d '' f; do
  info=$(file -b "$f")
  case $info in
    ELF*)
      [[ $info == *", stripped"* ]] || fail "not stripped: ${f#"$work/root"}"
      readelf -d "$f" >"$work/dynamic"
      if grep -Eq 'R(UN)?PATH' "$work/dynamic"; then fail "a library search path in ${f#"$work/root"}"; fi
      # Built as Debian builds: PIE, stack protector, fortified calls, relro and bind now.
      # Not the control-flow marker, which no program linked on Debian 12 keeps (its C start
      # files have none; Debian's own lame and oggenc fail that line too).
      hardened "$f" ;;
  esac
done
for gz in "$work"/root/usr/share/man/man1/*.gz "$work/root/usr/share/doc/tolm-audio-converter/changelog.gz"; do
  gzip -t "$gz" || fail "$gz is not gzip"
done
gzip -dc "$work/root/usr/share/doc/tolm-audio-converter/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] || fail "the changelog's newest entry is not $version"
copyright=$work/root/usr/share/doc/tolm-audio-converter/copyright
while read -r entry; do
  lib=$(name_of "$entry")
  case $lib in gstreamer1.0-*) continue ;; esac
  grep -qw -- "$lib" "$copyright" || fail "the copyright file does not name $lib, which the package depends on"
done <"$work/depends"

# lintian as scripts/package.sh runs it: nothing above an informational tag, and no
# hardening tag of any kind.
lintian --fail-on error,warning --display-level ">=info" "$deb" >"$work/lintian" 2>&1 \
  || { cat "$work/lintian" >&2; fail "lintian reported an error or a warning"; }
if grep -i 'hardening' "$work/lintian" >&2; then fail "lintian reported a hardening tag"; fi
echo "PASS: $(basename "$deb"): fields, Depends and $(wc -l <"$work/contents") entries"
