#!/usr/bin/env bash
# The device loader's figures, for examples/cortex-m/README.md, docs/loader.md
# and docs/panel-layouts.md (not part of CI):
#  - the workspace zeq_decode and a stream need on this host;
#  - on a Cortex-M4, from examples/cortex-m built against an install of
#    BUILD_DIR (arm-none-eabi-gcc -Os; with PNG2ZEQ_LOADER_USE_ZLIB=ON,
#    zlib's inflate with NO_GZIP and MY_ZCALLOC): the code size of the loader
#    (its panel layouts apart) and of zlib's inflate from the linker map; the
#    workspace the device reports; each entry point's worst-case
#    stack from -fcallgraph-info=su (GCC's stack usage and call graph); and
#    the instructions per decode under `qemu-system-arm -icount shift=0`,
#    with newlib's memcpy and with the example's own for TRAP_UNALIGNED;
#  - per panel layout (over a background and onto the destination) each
#    whole decode's instructions against the stored pixels;
#  - the example's 320 x 240 RGB565 panel at windows 15, 12 and 9: its file,
#    the stream workspace on the device against ZEQ_STREAM_WORKSPACE_BOUND,
#    and the instructions of a stream.
# Needs gcc-arm-none-eabi, libnewlib-arm-none-eabi and qemu-system-arm
# (PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh).
#
# Usage: [PNG2ZEQ_LOADER_USE_ZLIB=ON | PNG2ZEQ_LOADER_FAST_INFLATE=ON] bench/device_figures.sh BUILD_DIR
# (the loader's own inflater by default; zlib's, or the own with its fast loop, with ON)
set -euo pipefail
use_zlib=${PNG2ZEQ_LOADER_USE_ZLIB:-OFF}
use_fast=${PNG2ZEQ_LOADER_FAST_INFLATE:-OFF}
build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
work=$(mktemp -d /tmp/png2zeq-device-XXXXXX)
trap 'rm -rf "$work"' EXIT

cat >"$work/host.c" <<'PROGRAM'
#include <stdio.h>
#include "zeq_loader.h"
int main(void) {
  zeq_info info = {ZEQ_FORMAT_RGB565, 320, 240, 2, 320 * 240 * 2, 1, 15};
  printf("zeq_decode %zu, stream (window bits 15) %zu, ", zeq_workspace_size(&info, 0),
         zeq_workspace_size(&info, 1));
  info.window_bits = 12;
  printf("stream (window bits 12) %zu, ", zeq_workspace_size(&info, 1));
  info.window_bits = 9;
  printf("stream (window bits 9) %zu bytes\n", zeq_workspace_size(&info, 1));
  return 0;
}
PROGRAM
if [[ $use_zlib == ON ]]; then
  cc -std=c99 -O2 -DZEQ_USE_ZLIB -Iloader "$work/host.c" loader/*.c -lz -o "$work/host"
  inflater="zlib $(pkg-config --modversion zlib)"
else
  cc -std=c99 -O2 -Iloader "$work/host.c" loader/*.c -o "$work/host"
  inflater="the loader's own inflater"
fi
echo "== workspace on this host ($(uname -m), $inflater) =="
"$work/host"

for tool in arm-none-eabi-gcc qemu-system-arm; do
  command -v $tool >/dev/null ||
    { echo "no $tool (PNG2ZEQ_WITH_DEVICE=1 scripts/install-deps.sh)"; exit 1; }
done
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
package_dir=$(dirname "$(find "$work/prefix" -name png2zeqConfig.cmake)")
for trap_unaligned in OFF ON; do
  # CFLAGS joins the toolchain file's flags (-DCMAKE_C_FLAGS would replace them).
  CFLAGS=-fcallgraph-info=su cmake -S examples/cortex-m -B "$work/$trap_unaligned" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/arm-none-eabi.cmake" \
    -Dpng2zeq_DIR="$package_dir" -DTRAP_UNALIGNED=$trap_unaligned \
    -DPNG2ZEQ_LOADER_USE_ZLIB="$use_zlib" -DPNG2ZEQ_LOADER_FAST_INFLATE="$use_fast" >/dev/null
  cmake --build "$work/$trap_unaligned" >/dev/null
  qemu-system-arm -M mps2-an386 -nographic -semihosting-config enable=on,target=native \
    -icount shift=0 -kernel "$work/$trap_unaligned/firmware.elf" >"$work/$trap_unaligned.out" 2>&1
done
firmware=$work/OFF

echo "== Cortex-M4, -Os ($(arm-none-eabi-gcc -dumpversion)): bytes linked =="
# Input sections of the linker map after --gc-sections, by the archive they
# come from; a long section name puts address, size and file on the next line.
awk '
  function hex(text,   value, i) {
    value = 0
    for (i = 3; i <= length(text); ++i)
      value = value * 16 + index("0123456789abcdef", substr(tolower(text), i, 1)) - 1
    return value
  }
  function add(section, size, file,   part, kind) {
    if (file ~ /libzeq_loader\.a\(zeq_panel/) part = "panel layouts"
    else if (file ~ /libzeq_loader\.a/) part = "loader"
    else if (file ~ /libzlib_inflate\.a/) part = "zlib inflate"
    else if (file ~ /libc\.a\(lib_a-mem(cpy|set)\.o\)/) part = "memcpy+memset"
    else return
    if (section ~ /^\.text/) kind = "text"
    else if (section ~ /^\.rodata/) kind = "rodata"
    else if (section ~ /^\.data/) kind = "data"
    else if (section ~ /^(\.bss|COMMON)/) kind = "bss"
    else return
    bytes[part, kind] += hex(size)
  }
  /^Linker script and memory map/ { mapped = 1; next }
  !mapped { next }
  /^ [.A-Z]/ && NF == 1 { pending = $1; next }
  /^ [.A-Z]/ && NF == 4 && $3 ~ /^0x/ { add($1, $3, $4); pending = ""; next }
  pending != "" && NF == 3 && $2 ~ /^0x/ { add(pending, $2, $3) }
  { pending = "" }
  END {
    printf "%-13s %6s %7s %5s %5s\n", "", "text", "rodata", "data", "bss"
    split("loader|panel layouts|zlib inflate|memcpy+memset", parts, "|")
    for (i = 1; i <= 4; ++i) printf "%-13s %6d %7d %5d %5d\n", parts[i], bytes[parts[i], "text"],
      bytes[parts[i], "rodata"], bytes[parts[i], "data"], bytes[parts[i], "bss"]
  }' "$firmware/firmware.map"

echo "== Cortex-M4: workspace =="
grep '^workspace' "$firmware.out"

echo "== Cortex-M4: worst-case stack, bytes (the deepest path) =="
# The C library's functions come without call-graph files: their frames from
# the disassembly, the registers pushed and the room taken at their start.
arm-none-eabi-objdump -d "$firmware/firmware.elf" | awk '
  /^[0-9a-f]+ <[^>]+>:$/ { name = substr($2, 2, length($2) - 3); frame[name] = 0; at = 0; next }
  name == "" || ++at > 4 { next }
  /\tpush\t\{/ {
    registers = $0; sub(/.*\{/, "", registers); frame[name] += 4 * split(registers, list, ",")
  }
  /\tsub\tsp, #[0-9]+/ { room = $0; sub(/.*#/, "", room); frame[name] += room + 0 }
  END { for (name in frame) print "disassembly", name, frame[name] }' >"$work/library_frames"
# Nodes carry a function's own frame, edges its calls. zlib calls the
# loader's allocator and the loader the caller's read function through
# pointers; an indirect call counts as the deepest of those.
find "$firmware" -name '*.ci' -exec cat {} + | awk '
  FNR == NR { library[$2] = $3; next }
  /^node:/ && /bytes \(/ {
    match($0, /title: "[^"]*"/); title = substr($0, RSTART + 8, RLENGTH - 9)
    match($0, /[0-9]+ bytes \(/); frame[title] = substr($0, RSTART, RLENGTH - 8) + 0
    if ($0 ~ /dynamic/) dynamic[title] = 1
  }
  /^edge:/ {
    match($0, /sourcename: "[^"]*"/); source = substr($0, RSTART + 13, RLENGTH - 14)
    match($0, /targetname: "[^"]*"/); target = substr($0, RSTART + 13, RLENGTH - 14)
    if (!((source, target) in seen)) {
      seen[source, target] = 1; calls[source] = calls[source] SUBSEP target
    }
  }
  function short(title) { sub(/.*:/, "", title); return title }
  function deepest(title,   best, path, n, list, i, depth, t) {
    if (title in memo) return memo[title]
    if (title == "__indirect_call") {
      for (t in frame) if (short(t) ~ /^(arena_alloc|arena_free|record_request|read_one_byte|read_memory)$/) {
        depth = deepest(t); if (depth > best) { best = depth; path = route[t] }
      }
      route[title] = "(indirect) " path; return memo[title] = best
    }
    if (!(title in frame) && title in library) {
      frame[title] = library[title]; disassembled[title] = 1
    }
    if (!(title in frame)) unknown[title] = 1
    n = split(calls[title], list, SUBSEP)
    for (i = 2; i <= n; ++i) {
      depth = deepest(list[i])
      if (depth > best || path == "") { best = depth; path = route[list[i]] }
    }
    route[title] = short(title) (path == "" ? "" : " > " path)
    return memo[title] = frame[title] + best
  }
  END {
    n = split("zeq_parse_header zeq_workspace_size zeq_decode zeq_stream_open zeq_stream_rows " \
              "zeq_stream_finish zeq_decode_to zeq_stream_rows_to", entries, " ")
    for (i = 1; i <= n; ++i)
      printf "%-19s %4d  %s\n", entries[i], deepest(entries[i]), route[entries[i]]
    for (name in disassembled) printf "(%s: %d bytes, from the disassembly)\n", name, frame[name]
    for (name in unknown) print "(" name ": unknown, not counted)"
    for (name in dynamic) print "(" name ": dynamic stack)"
  }' "$work/library_frames" -

echo "== Cortex-M4: instructions per decode (qemu -icount shift=0; streams read 1 byte per call) =="
printf '%-10s %7s %-14s %-10s %14s %16s\n' image bytes output method "newlib memcpy" \
  "TRAP_UNALIGNED"
# Lines "<image> <output> <method> checksum <hex> instructions <count>", side by side.
paste -d' ' "$work/OFF.out" "$work/ON.out" |
while read -r image output method word _ _ instructions _ _ _ _ _ _ trapped; do
  [[ $word == checksum ]] || continue
  size=$(stat -c %s "$firmware/png2zeq/firmware/$image.zeq")
  printf '%-10s %7d %-14s %-10s %14d %16d\n' "$image" "$size" "$output" "$method" \
    "$instructions" "$trapped"
done

echo "== Cortex-M4: the 320 x 240 RGB565 panel by window =="
kind=OWN
[[ $use_zlib == ON ]] && kind=ZLIB
overhead=$(awk -v name="ZEQ_${kind}_STREAM_WORKSPACE_OVERHEAD" '$2 == name { print $3 + 0 }' loader/zeq_loader.h)
printf '%-11s %7s %9s %9s %14s %14s\n' "window bits" bytes workspace bound "rows1 instr." "rows7 instr."
for bits in 15 12 9; do
  image=panel
  [[ $bits == 15 ]] || image=panel_w$bits
  size=$(stat -c %s "$firmware/png2zeq/firmware/$image.zeq")
  workspace=$(grep -o "stream$bits [0-9]*" "$firmware.out" | cut -d' ' -f2)
  instructions() { awk -v image="$image" -v method="$1" '$1 == image && $2 == "stored" && $3 == method { print $7 }' "$firmware.out"; }
  printf '%-11d %7d %9d %9d %14d %14d\n' "$bits" "$size" "$workspace" $(( overhead + (1 << bits) )) \
    "$(instructions rows1)" "$(instructions rows7)"
done
echo "== Cortex-M4: whole decodes (word-aligned framebuffer, newlib memcpy) against stored =="
awk '$3 == "decode" && $4 == "checksum" {
    cost[$1 " " $2] = $7; if ($2 == "stored") stored[$1] = $7
  }
  END {
    for (key in cost) {
      split(key, part, " ")
      printf "%-10s %-14s %9d %+7.1f %%\n", part[1], part[2], cost[key],
        100 * (cost[key] / stored[part[1]] - 1)
    }
  }' "$work/OFF.out" | sort
