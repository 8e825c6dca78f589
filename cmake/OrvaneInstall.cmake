# What `cmake --install` puts under the prefix, and the Debian package made from it
# (scripts/build-deb.sh runs cpack in a build folder configured for /usr, so that the hook
# library lands in the multi-arch folder).
#
#   bin/OrvaneScreen                             finds the hook library through its RUNPATH
#   <libdir>/orvane-screen/libTilletHook.so.1
#   share/orvane-screen/help/                    the help pages (found by HelpLocation)
#   share/applications/OrvaneScreen.desktop
#   share/metainfo/example.orvane.OrvaneScreen.metainfo.xml
#   share/icons/hicolor/<size>/apps/OrvaneScreen.{png,svg}
#   share/doc/orvane-screen/{copyright,changelog.gz}
# The capture sound is compiled into the program.

set_target_properties(OrvaneScreen PROPERTIES INSTALL_RPATH "$ORIGIN/${ORVANE_LIB_FROM_PROGRAM}")
install(TARGETS OrvaneScreen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Only the run-time name: nothing links against the library but the program.
install(TARGETS TilletHook LIBRARY DESTINATION ${ORVANE_INSTALL_LIBDIR} NAMELINK_SKIP)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help DESTINATION ${ORVANE_INSTALL_DATADIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/install/OrvaneScreen.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/install/example.orvane.OrvaneScreen.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${ORVANE_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The copyright and the changelog, where Debian's tools look for them.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/resources/install/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/install/changelog)
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/resources/install/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvane-screen)

set(CPACK_PACKAGE_NAME orvane-screen)
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "Orvane <support@orvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen capture tool with an image editor")
set(CPACK_PACKAGE_DESCRIPTION "Orvane Screen waits in the notification area and captures, at a hotkey,
windows, controls, menus, the desktop, and rectangles, squares, circles,
ellipses and polygons drawn on the screen. Each capture goes to its image
editor, the clipboard, a numbered file or the printer. It needs an X11
session.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.orvane.example/screen/")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY orvane-screen)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program and the hook library link (Qt with its X11 platform plugin, Xlib,
# the image libraries, the sound service's client), as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without the tool the pictures folder is ~/Pictures, whatever the user's desktop calls it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs")
set(CPACK_STRIP_FILES ON)
include(CPack)
