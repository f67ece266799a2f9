# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX
# threading flavour, which has std::thread). Libraries are searched under
# the MinGW root and under any prefix given in CMAKE_FIND_ROOT_PATH (where
# scripts/test-windows.sh installs libpng, libdeflate and GoogleTest); pkg-config
# looks only there. Executables are linked statically, so they need no DLL
# beyond Windows' own.
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake \
#         -DCMAKE_FIND_ROOT_PATH=<prefix> -DCMAKE_CROSSCOMPILING_EMULATOR=wine64
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PNG2ZEQ_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PNG2ZEQ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PNG2ZEQ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PNG2ZEQ_MINGW_TRIPLE}-windres)

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${PNG2ZEQ_MINGW_TRIPLE})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
# Try-compile projects read this file too, and must see the same roots.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host's pkg-config, reading only the target's .pc files.
set(pkg_config_dirs)
foreach(root IN LISTS CMAKE_FIND_ROOT_PATH)
  list(APPEND pkg_config_dirs ${root}/lib/pkgconfig)
endforeach()
string(REPLACE ";" ":" pkg_config_dirs "${pkg_config_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${pkg_config_dirs}")
set(ENV{PKG_CONFIG_PATH} "")
unset(pkg_config_dirs)

# Static C and C++ runtimes and static libraries (zlib's libz.a, not the
# libz.dll.a import library beside it).
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(ZLIB_USE_STATIC_LIBS ON)
