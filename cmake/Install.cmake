# `cmake --install <build> --prefix <P>`: the program folder, whole, under
# <P>/lib/tolm-audio-converter (the program finds its siblings, plugins and data beside its own
# executable, as in the build tree), a launcher in <P>/bin, and what a desktop expects under
# <P>/share: the desktop entry, the icon in the hicolor theme and the AppStream metainfo.
include(GNUInstallDirs)

set(TOLM_APP_ID org.tolm.AudioConverter)
# Fixed, not the multiarch library folder: the launcher finds it from bin/ as ../lib/.
set(TOLM_INSTALL_PROGRAM_DIR lib/tolm-audio-converter)
set(TOLM_DESKTOP_DATA ${CMAKE_SOURCE_DIR}/data/desktop)

install(TARGETS tolm-audio-converter tolm-convert sonmill mirplay RUNTIME DESTINATION ${TOLM_INSTALL_PROGRAM_DIR})
# The loadable encoder modules and our GStreamer plugins, by target: a file left in the build
# tree's folders by an older build is never shipped, and a stripping install strips them too.
# They are loaded, never run, so they are not executable (as the system's own plugins).
get_property(TOLM_SONMILL_MODULES GLOBAL PROPERTY TOLM_SONMILL_MODULES)
get_property(TOLM_GST_PLUGINS GLOBAL PROPERTY TOLM_GST_PLUGINS)
set(TOLM_LOADED_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(TARGETS ${TOLM_SONMILL_MODULES}
  LIBRARY DESTINATION ${TOLM_INSTALL_PROGRAM_DIR}/sonmill-modules PERMISSIONS ${TOLM_LOADED_PERMISSIONS})
install(TARGETS ${TOLM_GST_PLUGINS}
  LIBRARY DESTINATION ${TOLM_INSTALL_PROGRAM_DIR}/gst-plugins PERMISSIONS ${TOLM_LOADED_PERMISSIONS})
foreach(dir Config skin icons doc)
  if(EXISTS ${CMAKE_SOURCE_DIR}/data/${dir})
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/${dir} DESTINATION ${TOLM_INSTALL_PROGRAM_DIR})
  endif()
endforeach()

install(PROGRAMS ${TOLM_DESKTOP_DATA}/launcher.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME tolm-audio-converter)
# tolm-convert beside the launcher: a link, through which it still finds its program folder.
install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${TOLM_INSTALL_PROGRAM_DIR}/tolm-convert
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tolm-convert\" SYMBOLIC)")
configure_file(${TOLM_DESKTOP_DATA}/tolm-audio-converter.1.in ${CMAKE_BINARY_DIR}/man/tolm-audio-converter.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/man/tolm-convert.1 ${CMAKE_BINARY_DIR}/man/tolm-audio-converter.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/bash-completion/tolm-convert
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${TOLM_DESKTOP_DATA}/${TOLM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The metainfo's newest release and the changelog's newest entry carry project()'s version.
configure_file(${TOLM_DESKTOP_DATA}/${TOLM_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/desktop/${TOLM_APP_ID}.metainfo.xml
  @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/data/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${TOLM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/logo.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${TOLM_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${TOLM_DESKTOP_DATA}/icons/${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${TOLM_APP_ID}.png)
endforeach()
install(FILES ${TOLM_DESKTOP_DATA}/screenshot-main.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tolm-audio-converter/screenshots RENAME main.png)
# What the window program needs to run from the build tree: itself, its two siblings, their
# modules and plugins, and the data beside them (scripts/run.sh builds only this).
add_custom_target(tolm_program)
add_dependencies(tolm_program tolm-audio-converter sonmill mirplay ${TOLM_SONMILL_MODULES} ${TOLM_GST_PLUGINS}
  tolm_data)
# Everything the install rules take from the build, so a package can be made without building
# the tests and benchmarks (scripts/package.sh).
add_custom_target(tolm_shipped)
add_dependencies(tolm_shipped tolm_program tolm-convert tolm_convert_docs)
# The licences of what the program links, and its release history.
install(FILES ${CMAKE_SOURCE_DIR}/data/package/copyright ${CMAKE_BINARY_DIR}/package/changelog
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolm-audio-converter)
# lintian's hardening tags it cannot judge from the binaries (the file says why).
install(FILES ${CMAKE_SOURCE_DIR}/data/package/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tolm-audio-converter)
