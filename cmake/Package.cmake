# `cpack --config <build>/CPackConfig.cmake` (scripts/package.sh): a Debian binary package
# tolm-audio-converter_<version>_<arch>.deb in <build>/packages, holding what the install rules
# (cmake/Install.cmake) put under /usr.
#
# CPack's DEB generator rather than dpkg-buildpackage: it packages the same install rules that
# `cmake --install` uses and the install test checks, so there is one description of what goes
# where; the version comes from project() with no debian/ tree to keep in step; and it packs an
# already built tree in seconds, where dpkg-buildpackage would configure and build everything
# again (and need debhelper). What dh_* would do for us is done here: dpkg-shlibdeps for the
# Depends line, stripping, gzipped manual pages and changelog, plain permissions.

set(TOLM_PACKAGE_NAME tolm-audio-converter)

# The package's version, its changelog's newest entry and the metainfo's newest release all
# come from project() (cmake/Install.cmake makes the last two from their .in files).
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TOLM_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "TOLM")
set(CPACK_PACKAGE_CONTACT "TOLM Audio Converter developers <packages@tolm.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch audio converter for the desktop")
# Lines of the long description, each short enough for a terminal.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "TOLM Audio Converter converts whole batches of audio files, and the sound"
  "of video files, into one chosen audio format: MP3, MP2, AAC, Ogg Vorbis,"
  "FLAC, WAV, AC-3 and more. Files can be trimmed and their volume changed"
  "before they convert; each file's progress is shown, and the computer is"
  "kept from sleeping while a batch converts."
  ""
  "The package holds the window program, tolm-convert for batch conversion"
  "from a terminal, and the transcoder and preview player they run.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Manual pages and the changelog are compressed in the staging folder, as Debian keeps them,
# while `cmake --install` leaves them plain.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/PackageStaging.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The libraries the executables, modules and plugins link, found by dpkg-shlibdeps ...
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ... and what is loaded at run time without being linked: GStreamer's plugin sets the
# transcoder and the player decode with (core, base, good and ugly: the only sets the siblings load), and
# the SVG plugins Qt draws the window's icons with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "gstreamer1.0-plugins-base (>= 1.22), gstreamer1.0-plugins-good (>= 1.22), gstreamer1.0-plugins-ugly (>= 1.22), libqt6svg6")
# The preview's sound on desktops with plain ALSA; opening folders, help and links.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-alsa, xdg-utils")

include(CPack)
