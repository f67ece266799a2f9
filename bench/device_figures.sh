#!/usr/bin/env bash
# The device loader's figures (not part of CI):
#  - its RAM on this host: the workspace zeq_decode and a stream need, from
#    zeq_workspace_size built against the host's zlib;
#  - its code size for a Cortex-M4 at -Os, when arm-none-eabi-g++ is present
#    (apt-get install gcc-arm-none-eabi libnewlib-arm-none-eabi): compile
#    only, the host's zlib.h serving for the declarations, and
#    arm-none-eabi-size of the object.
#    zlib's inflate comes on top and depends on the firmware's zlib build.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/figures.c" <<'PROGRAM'
#include <stdio.h>
#include "zeq_loader.h"
int main(void) {
  unsigned bits;
  for (bits = 15; bits >= 9; bits -= 6) {
    zeq_info info = {0x0888, 1024, 768, 3, 1024 * 768 * 3, 1000, 0};
    info.window_bits = bits;
    printf("window bits %2u: zeq_decode %zu bytes, stream %zu bytes\n", bits,
           zeq_workspace_size(&info, 0), zeq_workspace_size(&info, 1));
  }
  return 0;
}
PROGRAM
g++ -std=c++11 -O2 -fno-exceptions -fno-rtti -c loader/zeq_loader.cpp -o "$work/host.o"
gcc -std=c99 -Iloader "$work/figures.c" "$work/host.o" -lz -o "$work/figures"
echo "== workspace on this host ($(uname -m)) =="
"$work/figures"

if ! command -v arm-none-eabi-g++ >/dev/null; then
  echo "no arm-none-eabi-g++ (apt-get install gcc-arm-none-eabi libnewlib-arm-none-eabi)"
  exit 0
fi
# Only zlib's own headers: the rest comes from the cross toolchain's C library.
mkdir "$work/zlib"
cp /usr/include/zlib.h /usr/include/zconf.h "$work/zlib/"
arm-none-eabi-g++ -mcpu=cortex-m4 -mthumb -Os -std=c++11 -fno-exceptions -fno-rtti \
  -ffunction-sections -fdata-sections -Wall -Wextra -isystem "$work/zlib" \
  -c loader/zeq_loader.cpp -o "$work/zeq_loader.o"
echo "== Cortex-M4, -Os ($(arm-none-eabi-g++ -dumpversion)) =="
arm-none-eabi-size "$work/zeq_loader.o"
