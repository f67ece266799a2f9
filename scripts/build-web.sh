#!/usr/bin/env bash
# Builds png2zeq for the browser and for Node with Emscripten and leaves the
# page in build/web/dist/: index.html with its script and WebAssembly (opens
# from file:// or any static server), png2zeq.cjs and zeq2png.cjs (the tools
# as Node programs on the real file system), and the archive
# build/web/png2zeq-<version>-web.zip. Installs what is missing (through
# scripts/install-deps.sh) and builds zlib, libpng and libdeflate from
# Debian's source packages for WebAssembly once, under build/web-deps/, and
# the page's zip library (fflate) with npm under build/web-npm/.
#
#   scripts/build-web.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

PNG2ZEQ_WITH_WEB=1 scripts/install-deps.sh
# emcc runs its JavaScript tools with the first node on PATH, which finds
# Debian's acorn module only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

deps=$root/build/web-deps
prefix=$deps/prefix
build=$root/build/web
source scripts/jobs.sh
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"

# A library is built again only when its sources or the compiler changed.
compiler=$(emcc --version | head -n 1)
stamp_of() { echo "$1 $compiler"; }
built() { [ "$(cat "$deps/$1.stamp" 2>/dev/null)" = "$(stamp_of "$2")" ]; }
mark_built() { stamp_of "$2" > "$deps/$1.stamp"; }

# Compiles the C files given after the name and include flags into
# $prefix/lib/lib<name>.a.
static_library() {  # name "include flags" sources...
  local name=$1 includes=$2 objects=$deps/$1-objects
  shift 2
  rm -rf "$objects" && mkdir -p "$objects"
  printf '%s\n' "$@" | xargs -P "$jobs" -I{} sh -c \
    'emcc -O2 '"$includes"' -c "$1" -o "$2/$(basename "$1" .c).o"' _ {} "$objects"
  rm -f "$prefix/lib/lib$name.a"
  emar rcs "$prefix/lib/lib$name.a" "$objects"/*.o
}

mapfile -t sources < <(scripts/fetch-debian-source.sh zlib libpng1.6 libdeflate)
zlib_src=${sources[0]}
libpng_src=${sources[1]}
libdeflate_src=${sources[2]}

zlib_version=$(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$zlib_src/zlib.h")
# UNALIGNED_OK: deflate compares two bytes at a time, which WebAssembly does
# unaligned at no cost; the streams are the same.
if ! built zlib "$zlib_version UNALIGNED_OK"; then
  echo "Building zlib $zlib_version for WebAssembly"
  static_library z "-DUNALIGNED_OK" $(ls "$zlib_src"/*.c | grep -v '/gz')
  cp "$zlib_src/zlib.h" "$zlib_src/zconf.h" "$prefix/include/"
  mark_built zlib "$zlib_version UNALIGNED_OK"
fi

libpng_version=$(sed -n 's/^#define PNG_LIBPNG_VER_STRING[[:space:]]*"\(.*\)"/\1/p' "$libpng_src/png.h")
if ! built libpng "$libpng_version"; then
  echo "Building libpng $libpng_version for WebAssembly"
  cp "$libpng_src/scripts/pnglibconf.h.prebuilt" "$prefix/include/pnglibconf.h"
  cp "$libpng_src/png.h" "$libpng_src/pngconf.h" "$prefix/include/"
  static_library png "-I$prefix/include -DPNG_ARM_NEON_OPT=0" \
    $(ls "$libpng_src"/png*.c | grep -v -E 'pngtest|example')
  mark_built libpng "$libpng_version"
fi

libdeflate_version=$(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[[:space:]]*"\(.*\)"/\1/p' "$libdeflate_src/libdeflate.h")
if ! built libdeflate "$libdeflate_version"; then
  echo "Building libdeflate $libdeflate_version for WebAssembly"
  static_library deflate "-I$libdeflate_src" "$libdeflate_src"/lib/*.c
  cp "$libdeflate_src/libdeflate.h" "$prefix/include/"
  # CMake's pkg_check_modules finds it only through a .pc file of its own.
  printf 'prefix=%s\nName: libdeflate\nDescription: whole-buffer DEFLATE\nVersion: %s\nLibs: -L${prefix}/lib -ldeflate\nCflags: -I${prefix}/include\n' \
    "$prefix" "$libdeflate_version" > "$prefix/lib/pkgconfig/libdeflate.pc"
  mark_built libdeflate "$libdeflate_version"
fi

# The page's zip library, from the npm registry at the version web/package-lock.json
# pins (checked against its hash), installed again only when the lock changes.
npm_dir=$root/build/web-npm
if ! cmp -s web/package-lock.json "$npm_dir/package-lock.json" || [ ! -d "$npm_dir/node_modules" ]; then
  rm -rf "$npm_dir" && mkdir -p "$npm_dir"
  cp web/package.json web/package-lock.json "$npm_dir/"
  (cd "$npm_dir" && npm ci --no-audit --no-fund --ignore-scripts >/dev/null)
fi

PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig emcmake cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release -DPNG2ZEQ_GENERIC_POSIX=ON -DPNG2ZEQ_BUILD_TESTS=OFF \
  -DPNG2ZEQ_INSTALL=OFF -DCMAKE_FIND_ROOT_PATH="$prefix" \
  -DZLIB_ROOT="$prefix" -DPNG_PNG_INCLUDE_DIR="$prefix/include" \
  -DPNG_LIBRARY="$prefix/lib/libpng.a" -DPNG2ZEQ_WEB_NPM_DIR="$npm_dir/node_modules" >/dev/null
nice -n 10 cmake --build "$build" -j "$jobs"
cmake --build "$build" --target png2zeq_web_zip >/dev/null
echo "Page: $build/dist/index.html"
echo "Archive: $(ls "$build"/png2zeq-*-web.zip)"
