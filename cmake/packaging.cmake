# Installing and packing: `cmake --install <build> [--prefix P]` puts the
# program in P/bin and its manual page in P/share/man/man1; `cpack -G DEB`
# in a Release build folder makes a Debian package of the same files, whose
# dependencies dpkg-shlibdeps (dpkg-dev) finds from the shared libraries the
# program is linked with.
include(GNUInstallDirs)
install(FILES ${CMAKE_SOURCE_DIR}/docs/vistamere.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistamere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vistamere developers <vistamere@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ballpark picture with the fielders' labels, in the terminal")
# CPack indents the lines after the first.
set(CPACK_PACKAGE_DESCRIPTION
    "Vistamere shows a picture of a ballpark in the terminal and prints the
labels of the nine fielding positions over it, where an observer would see
each fielder. Single keys move and turn the observer, and the labels follow.
Pictures: BMP, JPEG, PNG, GIF, WebP and TIFF.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # vistamere_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
