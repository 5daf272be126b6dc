#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, run, test and benchmark.
# Idempotent: when everything is present it prints nothing and changes nothing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # window program
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-image-formats-plugins libgl-dev
  # siblings: GStreamer core with base, good and ugly only, and the codec libraries
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
  # the preview's sound output on desktops with plain ALSA (PulseAudio/PipeWire is in -good)
  gstreamer1.0-alsa
  gstreamer1.0-tools gstreamer1.0-plugins-base-apps
  libmp3lame-dev libtwolame-dev libvorbis-dev libogg-dev libflac-dev libvo-aacenc-dev
  libfaad-dev libsndfile1-dev libsoxr-dev libtag1-dev
  # Opus output: the reference encoder's own library (resampling, Ogg pages, pre-skip)
  libopusenc-dev
  # sonmill's tags: compressed ID3 frames are measured with a bounded inflate before reading
  zlib1g-dev
  # sonmill's loudness: EBU R128 / BS.1770 measurement for ReplayGain and normalisation
  libebur128-dev
  # X11: window search, embedding, keys
  libxcb1-dev libxcb-keysyms1-dev libxcb-icccm4-dev
  # tests: X server, session bus, mocked logind, screenshots
  xvfb xauth x11-utils xdotool dbus dbus-x11 python3-dbusmock imagemagick fonts-dejavu-core
  xdg-utils
  # tests only: a real window manager, so the window's drag is tested the way desktops move it
  openbox
  # tests: outside checks of converted files (format, rate, levels); loudness judged by
  # a meter that is not ours (ebur128 from ebumeter), MP3 decoded by mpg123
  sox file ebumeter mpg123
  # tests: Opus outputs decoded by the reference decoder (opusdec), lengths judged exactly
  opus-tools
  # tests: Apple Lossless in CAF written and read by libsndfile's own tool (sndfile-convert)
  sndfile-programs
  # scripts/fuzz.sh: the parsers' fuzz targets (clang's libFuzzer and sanitizer runtimes)
  clang libclang-rt-14-dev
  # tests: an outside reader of the converted files' tags and pictures
  python3-mutagen
  # tests: the C++ sources' layout checked against .clang-format
  clang-format
  # tests of the install: the desktop entry's and the AppStream metainfo's validators
  desktop-file-utils appstream
  # the Debian package (scripts/package.sh, the package test): dpkg-shlibdeps for its Depends
  # line, lintian to check it (CPack writes the archive itself, as root-owned, so no fakeroot)
  dpkg-dev lintian
  # the package test: hardening-check (in devscripts) on every executable and module it ships
  devscripts
  # tolm-convert --sync: the manual's GNU parallel recipe, run by the shard test
  parallel
  # benchmarks only (bench/): the timing tool, peak memory, and the encoder libraries' own
  # command-line tools the transcoder is compared against; never called by the product
  hyperfine time lame flac vorbis-tools twolame
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing ${#missing[@]} missing packages: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "Packages installed."
