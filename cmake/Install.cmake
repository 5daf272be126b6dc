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
# The loadable encoder modules and our GStreamer plugins, as the build made them.
install(DIRECTORY ${TOLM_PROGRAM_DIR}/sonmill-modules ${TOLM_PROGRAM_DIR}/gst-plugins
  DESTINATION ${TOLM_INSTALL_PROGRAM_DIR} USE_SOURCE_PERMISSIONS)
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
install(FILES ${CMAKE_BINARY_DIR}/man/tolm-convert.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/src/cli/tolm-convert.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tolm-convert)
install(FILES ${TOLM_DESKTOP_DATA}/${TOLM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TOLM_DESKTOP_DATA}/${TOLM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/logo.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${TOLM_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${TOLM_DESKTOP_DATA}/icons/${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${TOLM_APP_ID}.png)
endforeach()
install(FILES ${TOLM_DESKTOP_DATA}/screenshot-main.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tolm-audio-converter/screenshots RENAME main.png)
