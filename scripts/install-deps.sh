#!/usr/bin/env bash
# Installs the build and test dependencies that are missing, with apt-get
# (through sudo when not root). Does nothing when everything is present.
set -euo pipefail

packages=(cmake ninja-build make g++ pkg-config libpng-dev zlib1g-dev libdeflate-dev libgtest-dev groff-base zopfli)
if [ "${PNG2ZEQ_WITH_FUZZ:-0}" = 1 ]; then packages+=(clang libclang-rt-14-dev); fi
if [ "${PNG2ZEQ_WITH_BENCH:-0}" = 1 ]; then packages+=(libbenchmark-dev); fi
if [ "${PNG2ZEQ_WITH_LINT:-0}" = 1 ]; then packages+=(clang-tidy); fi
if [ "${PNG2ZEQ_WITH_VALGRIND:-0}" = 1 ]; then packages+=(valgrind); fi
# The device tests: the loader on a Cortex-M4 under QEMU and on a big-endian
# PowerPC under qemu-user, compiled for an 8-bit AVR, the package in a cross
# build, the Arduino example on an ATmega2560 under simavr.
if [ "${PNG2ZEQ_WITH_DEVICE:-0}" = 1 ]; then
  packages+=(gcc-arm-none-eabi libnewlib-arm-none-eabi qemu-system-arm)
  packages+=(g++-powerpc-linux-gnu libc6-dev-powerpc-cross qemu-user gcc-avr avr-libc)
  packages+=(arduino-builder arduino-core-avr simavr)
fi
# The Windows cross build and its test run under Wine (scripts/test-windows.sh).
if [ "${PNG2ZEQ_WITH_WINDOWS:-0}" = 1 ]; then
  packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 googletest make)
fi
# The page and the Node programs built with Emscripten (scripts/build-web.sh)
# and their test in headless Chromium.
if [ "${PNG2ZEQ_WITH_WEB:-0}" = 1 ]; then
  packages+=(emscripten nodejs chromium chromium-driver python3-selenium)
  # npm installs the page's zip library; a Node.js from elsewhere brings its own.
  command -v npm >/dev/null || packages+=(npm)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
