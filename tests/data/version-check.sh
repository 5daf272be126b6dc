#!/usr/bin/env bash
# The version is written once, in project() of the top CMakeLists.txt. Fails when another
# source file states it, or when something built from it (the generated header the About box
# and the session guard read, the metainfo, the package's changelog and version, the manual
# page, tolm-convert --version) says another one: so changing project()'s version alone
# changes them all.
#
#   version-check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
fail() {
  echo "version: $*" >&2
  exit 1
}

version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")
[ -n "$version" ] || fail "no version in project()"

# Stated nowhere else in the source.
stated=$(cd "$source_dir" && git ls-files -z 2>/dev/null | xargs -0 grep -lF -- "$version" 2>/dev/null \
  | grep -v -x CMakeLists.txt || true)
[ -z "$stated" ] || fail "$version is written in $stated; take it from project() instead"

grep -qx "#define TOLM_PROGRAM_VERSION \"$version\"" "$build_dir/generated/core/programversion.h" \
  || fail "core/programversion.h does not say $version"
grep -q "<release version=\"$version\"" "$build_dir/desktop/org.tolm.AudioConverter.metainfo.xml" \
  || fail "the metainfo's newest release is not $version"
head -n 1 "$build_dir/package/changelog" | grep -qF "tolm-audio-converter ($version) " \
  || fail "the changelog's newest entry is not $version"
grep -qF "set(CPACK_PACKAGE_VERSION \"$version\")" "$build_dir/CPackConfig.cmake" \
  || fail "the package's version is not $version"
grep -qF "$version" "$build_dir/man/tolm-audio-converter.1" || fail "the manual page does not say $version"
"$build_dir/program/tolm-convert" --version | head -n 1 | grep -qF " $version" \
  || fail "tolm-convert --version does not say $version"
echo "version: $version everywhere"
