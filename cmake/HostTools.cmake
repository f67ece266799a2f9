# A cross-compiling build cannot make the tools with its compilers (nor find
# libpng for the device): like an SDK's host tools, they are built for the
# build machine by an ExternalProject of this same source tree, with the
# machine's default compilers. png2zeq_add_images() runs those executables as
# png2zeq::png2zeq and png2zeq::zeq2png (for MIN_PSNR), each built when a
# build step needs it. PNG2ZEQ_HOST_CMAKE_ARGS passes extra arguments to that
# build (-DCMAKE_CXX_COMPILER=..., say).
include(ExternalProject)

set(host_binary_dir ${CMAKE_CURRENT_BINARY_DIR}/host-tools)
set(host_tools_dir ${host_binary_dir}/bin)
get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
if(multi_config)
  string(APPEND host_tools_dir /Release)
endif()
set(host_suffix "")
if(CMAKE_HOST_WIN32)
  set(host_suffix .exe)
endif()

ExternalProject_Add(png2zeq_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${host_binary_dir}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DPNG2ZEQ_BUILD_TESTS=OFF -DPNG2ZEQ_INSTALL=OFF
    ${PNG2ZEQ_HOST_CMAKE_ARGS}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target png2zeq --config Release
  BUILD_BYPRODUCTS ${host_tools_dir}/png2zeq${host_suffix}
  INSTALL_COMMAND ""
  EXCLUDE_FROM_ALL TRUE)
# zeq2png only when something runs it.
ExternalProject_Add_Step(png2zeq_host_tools zeq2png
  COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target zeq2png --config Release
  DEPENDEES build
  BYPRODUCTS ${host_tools_dir}/zeq2png${host_suffix}
  EXCLUDE_FROM_MAIN TRUE)
# The inner build runs again when a source changes (new files count after the
# next configuration), and otherwise not at all, so a no-op build stays one.
file(GLOB_RECURSE host_sources ${PROJECT_SOURCE_DIR}/src/* ${PROJECT_SOURCE_DIR}/tools/*
  ${PROJECT_SOURCE_DIR}/cmake/*)
ExternalProject_Add_StepDependencies(png2zeq_host_tools build
  ${PROJECT_SOURCE_DIR}/CMakeLists.txt ${host_sources})
# Only now: once a step has a target of its own, its dependencies are taken
# for targets rather than files.
ExternalProject_Add_StepTargets(png2zeq_host_tools zeq2png)

set(tools png2zeq zeq2png)
set(steps png2zeq_host_tools png2zeq_host_tools-zeq2png)
foreach(tool step IN ZIP_LISTS tools steps)
  add_executable(png2zeq::${tool} IMPORTED GLOBAL)
  set_target_properties(png2zeq::${tool} PROPERTIES IMPORTED_LOCATION ${host_tools_dir}/${tool}${host_suffix})
  add_dependencies(png2zeq::${tool} ${step})
endforeach()
