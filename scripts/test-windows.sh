#!/usr/bin/env bash
# Cross-builds png2zeq for 64-bit Windows with MinGW-w64 and runs the whole
# test suite under Wine, as CI does. Installs what is missing (through
# scripts/install-deps.sh), builds libpng and libdeflate from Debian's source
# packages and GoogleTest from /usr/src/googletest for the MinGW target (once:
# they are kept under build/windows-deps/), then leaves
# build/windows/bin/png2zeq.exe and zeq2png.exe, linked statically, and the
# release archive build/windows/png2zeq-<version>-win64.zip.
#
#   scripts/test-windows.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

PNG2ZEQ_WITH_WINDOWS=1 scripts/install-deps.sh

triple=x86_64-w64-mingw32
toolchain=$root/cmake/toolchains/$triple.cmake
deps=$root/build/windows-deps
prefix=$deps/prefix
build=$root/build/windows
source scripts/jobs.sh
mkdir -p "$prefix"

# A dependency is built again only when the toolchain file or its sources
# changed; the stamp records both.
stamp_of() { echo "$1 $(sha256sum "$toolchain" | cut -c1-16)"; }
built() { [ "$(cat "$deps/$1.stamp" 2>/dev/null)" = "$(stamp_of "$2")" ]; }
mark_built() { stamp_of "$2" > "$deps/$1.stamp"; }

cross_cmake() {  # source build-dir [cmake options...]
  local source=$1 dir=$2
  shift 2
  cmake -S "$source" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_FIND_ROOT_PATH="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" >/dev/null
  cmake --install "$dir" >/dev/null
}

mapfile -t sources < <(scripts/fetch-debian-source.sh libpng1.6 libdeflate)
libpng_src=${sources[0]}
libdeflate_src=${sources[1]}

libdeflate_version=$(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[[:space:]]*"\(.*\)"/\1/p' "$libdeflate_src/libdeflate.h")
if ! built libdeflate "$libdeflate_version"; then
  echo "Building libdeflate $libdeflate_version for $triple"
  # Its Makefile builds in the source tree; a copy keeps the unpacked one clean.
  rm -rf "$deps/libdeflate" && cp -r "$libdeflate_src" "$deps/libdeflate"
  make -C "$deps/libdeflate" -j "$jobs" CC="$triple-gcc-posix" AR="$triple-ar" \
    libdeflatestatic.lib >/dev/null
  install -D -m 644 "$deps/libdeflate/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  install -D -m 644 "$deps/libdeflate/libdeflate.h" "$prefix/include/libdeflate.h"
  mkdir -p "$prefix/lib/pkgconfig"
  printf 'prefix=%s\nName: libdeflate\nDescription: whole-buffer DEFLATE\nVersion: %s\nLibs: -L${prefix}/lib -ldeflate\nCflags: -I${prefix}/include\n' \
    "$prefix" "$libdeflate_version" > "$prefix/lib/pkgconfig/libdeflate.pc"
  mark_built libdeflate "$libdeflate_version"
fi

libpng_version=$(sed -n 's/^#define PNG_LIBPNG_VER_STRING[[:space:]]*"\(.*\)"/\1/p' "$libpng_src/png.h")
if ! built libpng "$libpng_version"; then
  echo "Building libpng $libpng_version for $triple"
  cross_cmake "$libpng_src" "$deps/libpng" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON
  mark_built libpng "$libpng_version"
fi

gtest_version=$(dpkg-query -W -f='${Version}' googletest)
if ! built googletest "$gtest_version"; then
  echo "Building GoogleTest $gtest_version for $triple"
  cross_cmake /usr/src/googletest "$deps/googletest" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=ON
  mark_built googletest "$gtest_version"
fi

# Wine with a prefix of its own under build/, silent, without the .NET and
# HTML engines it would offer to install. The server is started first, on its
# own, so that it holds none of this script's pipes open after the tests.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX=$root/build/windows-wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine maps names to and from Linux through the locale's character set: only
# UTF-8 carries every name.
export LC_ALL=C.UTF-8
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1 || true  # fails when one already serves this prefix
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true  # creates the prefix on a first run

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_FIND_ROOT_PATH="$prefix" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" -DPNG2ZEQ_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j "$jobs"
for tool in png2zeq zeq2png; do
  # Only Windows' own DLLs: a MinGW runtime or library DLL would show here.
  if "$triple-objdump" -p "$build/bin/$tool.exe" | grep -i 'DLL Name' | grep -iv -E \
      'KERNEL32|USER32|ADVAPI32|SHELL32|msvcrt|api-ms-win-' ; then
    echo "$tool.exe needs a DLL that is not part of Windows" >&2
    exit 1
  fi
done
# Now and then a Wine process dies on its way out, after its work, with
# "Inconsistency detected by ld.so: dl-fini.c"; a failed test runs once more.
ctest --test-dir "$build" -j "$jobs" --output-on-failure --repeat until-pass:2 "$@"
(cd "$build" && cpack -G ZIP >/dev/null)
echo "Windows release archive: $(ls "$build"/png2zeq-*-win64.zip)"
