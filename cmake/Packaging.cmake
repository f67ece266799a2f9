# `cpack -G DEB` in the build directory makes png2zeq_<version>_<arch>.deb:
# both tools, their manual pages, the CMake package and the loader. The
# dependencies come from the libraries the tools actually link
# (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_PACKAGE_NAME png2zeq)
set(CPACK_PACKAGE_VENDOR "png2zeq contributors")
set(CPACK_PACKAGE_CONTACT "png2zeq contributors <png2zeq@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PNG to ZEQ image converter for embedded displays")
set(CPACK_PACKAGE_DESCRIPTION
  "png2zeq converts PNG images into ZEQ files (a 24-byte header and raw or zlib-compressed
pixels, optionally reduced to RGB565 with dithering) for device firmware; zeq2png checks
and previews them. Includes a CMake package with png2zeq_add_images() that converts and
embeds images in a firmware build, and the device-side loader.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Using the loader library or the CMake package needs these; the tools do not.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cmake (>= 3.20), zlib1g-dev")

# `cpack -G ZIP` in a Windows build makes png2zeq-<version>-win64.zip instead:
# both tools, the CMake package (its png2zeq_add_images() runs png2zeq.exe),
# the loader, and the README with the pages it links to (docs/, man/) where
# its links find them, under one top directory.
if(WIN32)
  math(EXPR pointer_bits "${CMAKE_SIZEOF_VOID_P} * 8")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win${pointer_bits}")
  set(CPACK_PACKAGING_INSTALL_PREFIX "")
  set(CPACK_GENERATOR ZIP)
  install(FILES README.md CHANGELOG.md LICENSE DESTINATION .)
  install(DIRECTORY docs man DESTINATION .)
else()
  # Debian's place for the licence: /usr/share/doc/png2zeq/copyright, in the
  # machine-readable format, its text taken from LICENSE.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" holders "${licence}")
  set(holders "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
  string(REGEX REPLACE "\n([^\n])" "\n \\1" licence " ${licence}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: png2zeq\n\nFiles: *\nCopyright: ${holders}\n"
    "License: MIT\n${licence}")
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
include(CPack)

# `cmake --build <build> --target png2zeq_loader_zip` makes
# png2zeq-loader-<version>.zip here: the loader as an Arduino and PlatformIO
# library (docs/arduino.md).
add_custom_target(png2zeq_loader_zip
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-loader-zip.sh ${PROJECT_BINARY_DIR} VERBATIM)
