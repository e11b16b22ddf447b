# Installing like a native Linux program (cmake --install, or the .deb CPack makes from it): the two
# executables in bin/, the help pages, the desktop entry with its icons, the AppStream metadata and the
# man pages under share/.
include(GNUInstallDirs)

set(tessaly_data ${PROJECT_SOURCE_DIR}/data)
set(tessaly_share ${CMAKE_INSTALL_DATADIR})

# They link the project's libraries statically and Qt from the system: no RPATH (qt_standard_project_setup
# would ask for $ORIGIN/../lib, which the build's executables have no room for).
set_target_properties(tessaly tessaly-cli PROPERTIES INSTALL_RPATH "")
install(TARGETS tessaly tessaly-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The program looks for them in ../share/tessaly/help from its own folder (ui/StartupAddress.cpp).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/app/gui/help/ DESTINATION ${tessaly_share}/tessaly/help)

install(FILES ${tessaly_data}/tessaly.desktop DESTINATION ${tessaly_share}/applications)
install(FILES ${tessaly_data}/icons/tessaly.svg DESTINATION ${tessaly_share}/icons/hicolor/scalable/apps)
# The PNGs are the SVG rendered once with rsvg-convert (librsvg2-bin): rsvg-convert -w N -h N.
foreach(size 16 32 48 64 128 256)
    install(FILES ${tessaly_data}/icons/tessaly-${size}.png
        DESTINATION ${tessaly_share}/icons/hicolor/${size}x${size}/apps RENAME tessaly.png)
endforeach()

# The version comes from project() alone.
configure_file(${tessaly_data}/org.tessaly.Client.metainfo.xml.in
    ${PROJECT_BINARY_DIR}/data/org.tessaly.Client.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/org.tessaly.Client.metainfo.xml DESTINATION ${tessaly_share}/metainfo)
# The window the GUI tests take a picture of (tests/gui/StartupAddressTest.cpp), when they have run.
install(FILES ${PROJECT_BINARY_DIR}/screenshots/main-window.png
    DESTINATION ${tessaly_share}/tessaly/screenshots OPTIONAL)

foreach(page tessaly tessaly-cli)
    configure_file(${tessaly_data}/man/${page}.1 ${PROJECT_BINARY_DIR}/data/man/${page}.1 @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/data/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# cpack -G DEB: a Debian package whose dependencies dpkg-shlibdeps works out from the executables.
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessaly Client developers")
set(CPACK_PACKAGE_CONTACT "Tessaly Client developers <tessaly@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop FTP client for Linux, with a command-line twin")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tessaly Client shows the files of this computer beside those of an FTP server, downloads and\n"
    "uploads files and whole directories, resumes transfers that were cut short and changes files on\n"
    "the server. It connects directly or through a SOCKS, HTTP or FTP proxy, keeps saved sites and\n"
    "opens ftp:// links.\n"
    "\n"
    "tessaly-cli runs the same engine from scripts and terminals.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_GENERATOR DEB)
include(CPack)
