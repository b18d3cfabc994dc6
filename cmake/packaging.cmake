# The Debian package of pcxconv, built by CPack from the normal build:
#   cpack --config build/CPackConfig.cmake -G DEB
# It holds whatever `cmake --install` installs, under /usr; its dependencies come from the shared
# libraries that the programs link (dpkg-shlibdeps). Debian's own files (copyright, changelog) and
# the compressed manual pages are added to the staged tree by deb_staging.cmake.
set(CPACK_PACKAGE_NAME pcxconv)
set(CPACK_PACKAGE_VENDOR Korvale)
set(CPACK_PACKAGE_CONTACT "Korvale <korvale@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "LOD PCX picture converter: window and command-line tool")
set(CPACK_PACKAGE_DESCRIPTION "\
pcxconv (Korvale PCX Converter) turns the LOD PCX pictures taken out of
a game's LOD archive (a 12-byte header of data size, width and height,
raw 8-bit or 24-bit rows) into standard uncompressed BMP files. Its
window browses directories, previews and views a picture, saves it, or
converts every picture of a directory at once. lodpcx2bmp converts
pictures on the command line.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window asks for Arial; Liberation Sans stands in with the same metrics.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(PCXCONV_DEB_CHANGELOG_DATE "Tue, 08 Dec 2026 00:00:00 +0000")
configure_file(${CMAKE_CURRENT_LIST_DIR}/deb/changelog.in ${CMAKE_BINARY_DIR}/deb/changelog @ONLY)
set(PCXCONV_DEB_DIR ${CMAKE_BINARY_DIR}/deb)
set(PCXCONV_DEB_COPYRIGHT ${CMAKE_CURRENT_LIST_DIR}/deb/copyright)
configure_file(${CMAKE_CURRENT_LIST_DIR}/deb_staging.cmake.in ${CMAKE_BINARY_DIR}/deb/staging.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/deb/staging.cmake)

include(CPack)
