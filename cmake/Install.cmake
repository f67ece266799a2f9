# Install rules beyond the executables: the CMake package that gives
# find_package(png2zeq) its imported tools and png2zeq_add_images(), and the
# manual pages.
include(CMakePackageConfigHelpers)

set(PNG2ZEQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/png2zeq)
set(PNG2ZEQ_LOADER_SOURCE_DIR ${CMAKE_INSTALL_DATADIR}/png2zeq/loader)

install(EXPORT png2zeqTargets NAMESPACE png2zeq:: DESTINATION ${PNG2ZEQ_CMAKE_DIR})

configure_package_config_file(cmake/png2zeqConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/png2zeqConfig.cmake
  INSTALL_DESTINATION ${PNG2ZEQ_CMAKE_DIR}
  PATH_VARS PNG2ZEQ_LOADER_SOURCE_DIR)
# The package holds host tools, so a firmware build for a 32-bit target must
# accept it although it was built for 64 bits (ARCH_INDEPENDENT). Before 1.0
# a minor release may change the interface, hence SameMinorVersion:
# find_package(png2zeq 0.3) accepts any 0.3.x.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/png2zeqConfigVersion.cmake
  COMPATIBILITY SameMinorVersion ARCH_INDEPENDENT)

install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/png2zeqConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/png2zeqConfigVersion.cmake
  cmake/png2zeqFunctions.cmake
  cmake/png2zeqConvert.cmake
  cmake/png2zeqManifest.cmake
  cmake/png2zeqEmbed.c.in
  cmake/png2zeqImages.h.in
  cmake/png2zeqConstants.h.in
  DESTINATION ${PNG2ZEQ_CMAKE_DIR})

install(FILES man/png2zeq.1 man/zeq2png.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
