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
  install(FILES README.md DESTINATION .)
  install(DIRECTORY docs man DESTINATION .)
endif()
include(CPack)
