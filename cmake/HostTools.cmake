# A cross-compiling build cannot make the converter with its compilers (nor
# find libpng for the device): like an SDK's host tools, the converter is
# built for the build machine by an ExternalProject of this same source tree,
# with the machine's default compilers, and png2zeq_add_images() runs that
# executable as png2zeq::png2zeq, built when a conversion needs it.
# PNG2ZEQ_HOST_CMAKE_ARGS passes extra arguments to that build
# (-DCMAKE_CXX_COMPILER=..., say).
include(ExternalProject)

set(host_binary_dir ${CMAKE_CURRENT_BINARY_DIR}/host-tools)
set(host_converter ${host_binary_dir}/bin)
get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(multi_config)
  string(APPEND host_converter /Release)
endif()
string(APPEND host_converter /png2zeq)
if(CMAKE_HOST_WIN32)
  string(APPEND host_converter .exe)
endif()

ExternalProject_Add(png2zeq_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${host_binary_dir}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DPNG2ZEQ_BUILD_TESTS=OFF -DPNG2ZEQ_INSTALL=OFF
    ${PNG2ZEQ_HOST_CMAKE_ARGS}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target png2zeq --config Release
  BUILD_BYPRODUCTS ${host_converter}
  INSTALL_COMMAND ""
  EXCLUDE_FROM_ALL TRUE)
# The inner build runs again when a source changes (new files count after the
# next configuration), and otherwise not at all, so a no-op build stays one.
file(GLOB_RECURSE host_sources ${PROJECT_SOURCE_DIR}/src/* ${PROJECT_SOURCE_DIR}/cmake/*)
ExternalProject_Add_StepDependencies(png2zeq_host_tools build
  ${PROJECT_SOURCE_DIR}/CMakeLists.txt ${host_sources})

add_executable(png2zeq::png2zeq IMPORTED GLOBAL)
set_target_properties(png2zeq::png2zeq PROPERTIES IMPORTED_LOCATION ${host_converter})
add_dependencies(png2zeq::png2zeq png2zeq_host_tools)
