# The Debian package of the client: `cmake --build build --target package` makes
# build/kavro-upload-client_<version>_amd64.deb. It holds exactly what `cmake --install`
# installs (the executable, the upload library, themes/, translations/, cacert.pem) under
# /opt/kavro-upload-client, plus a launcher in /usr/bin and a desktop entry. The update
# service offers it to Linux clients, which hand it to the package installer.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavro-upload-client)
set(CPACK_PACKAGE_VENDOR Kavro)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Kavro Upload Client: upload videos to the Kavro platform")
set(CPACK_PACKAGE_CONTACT "Kavro <support@kavro.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/kavro-upload-client)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt5core5a (>= 5.15), libqt5gui5, libqt5widgets5, libqt5sql5-sqlite, libqt5svg5, libqt5dbus5, libqt5concurrent5, libcurl4, libssl3, libjansson4")
# Updates are installed through pkexec (docs: PackageInstaller).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS pkexec)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_SOURCE_DIR}/cmake/deb/postinst;${CMAKE_SOURCE_DIR}/cmake/deb/prerm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
install(FILES "${CMAKE_SOURCE_DIR}/cmake/deb/kavro-upload-client.desktop" DESTINATION share)
include(CPack)
