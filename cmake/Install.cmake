# What `cmake --install` puts under the prefix, and the Debian package that
# cpack builds from the same rules:
#   bin/tornyx, bin/tornyx-machine
#   share/tornyx/help/                    the manual; its folder also marks the
#                                         layout as installed (settings then go
#                                         to $XDG_CONFIG_HOME/tornyx)
#   share/applications/<id>.desktop, share/metainfo/<id>.metainfo.xml
#   share/mime/packages/<id>.xml          the NC file types
#   share/icons/hicolor/{scalable,NxN}/apps/<id>.{svg,png}
#   share/man/man1/tornyx.1.gz, tornyx-machine.1.gz
# The desktop caches (MIME, desktop entries, icons) are refreshed by the
# triggers of the packages that own them, so the package needs no scripts.

set(data ${TORNYX_DATA_OUT})
install(TARGETS tornyx tornyx-machine RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tornyx/help)
install(FILES ${data}/${TORNYX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${TORNYX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/${TORNYX_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${data}/icons/${TORNYX_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${TORNYX_ICON_SIZES})
    install(FILES ${data}/icons/${size}x${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${TORNYX_APP_ID}.png)
endforeach()
install(FILES ${data}/man/tornyx.1.gz ${data}/man/tornyx-machine.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# cpack -G DEB
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tornyx)
set(CPACK_PACKAGE_VENDOR "Tornyx developers")
set(CPACK_PACKAGE_CONTACT "Tornyx developers <tornyx@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Tornyx moves NC part programs between a PC and the controller of a CNC
machine tool over an RS-232 line or a serial device server: it sends the
program in its editor, receives the programs a machine punches out, and
drip-feeds long programs in DNC operation. The user interface is Japanese.

tornyx-machine, a simulated NC controller on a pseudo-terminal, is included
for trying the program without a machine.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries come from dpkg-shlibdeps (Qt's X11 platform plugin and the
# input-method plugin come with libqt6gui6). What it cannot see is
# recommended: a Japanese font for the window's texts, xdg-open for the help
# and the web page, the native Wayland plugin.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic, xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ser2net")
include(CPack)
