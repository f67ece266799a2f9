#!/usr/bin/env bash
# Build times of png2zeq_add_images() on 200 generated 32 x 32 icons, converted
# to RGB565 and embedded in one executable through the installed package:
# a build from clean with -j1 and with -j2, a no-op rebuild, and a rebuild
# after touching one icon. Each figure is the best of REPEAT runs (default 3),
# since build machines are shared. Not a test: it asserts nothing.
#
# Usage: [EMBED=0] [BUDGETS=1] bench/add_images_build.sh BUILD_DIR [REPEAT]
#   BUILD_DIR  a built png2zeq tree; it is installed into a scratch prefix.
#   EMBED=0    convert only, into a custom target (no compiling, no linking).
#   BUDGETS=1  with a window, every budget (MIN_PSNR runs zeq2png per icon)
#              and a manifest.
set -euo pipefail
build_dir=$(cd "$1" && pwd)
repeat=${2:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
icons=200

cmake --install "$build_dir" --prefix "$work/prefix" > /dev/null
mkdir -p "$work/project/icons"
for i in $(seq -w 1 $icons); do
  ZEQ2PNG="$work/prefix/bin/zeq2png" "$here/bench/synth-png.sh" 32 32 rgba "$i" "$work/project/icons/icon $i.png"
done
{
  echo 'cmake_minimum_required(VERSION 3.20)'
  echo 'project(icons C)'
  echo 'find_package(png2zeq 0.3 REQUIRED)'
  if [ "${EMBED:-1}" = 1 ]; then echo 'add_executable(icons main.c)'; else echo 'add_custom_target(icons ALL)'; fi
  echo 'png2zeq_add_images(icons IMAGES'
  for i in $(seq -w 1 $icons); do echo "  \"icons/icon $i.png\""; done
  if [ "${BUDGETS:-0}" = 1 ]; then
    echo '  WINDOW 12 MAX_BYTES 4096 MAX_TOTAL_BYTES 819200 MAX_STREAM_RAM 16384 MIN_PSNR 30 MANIFEST icons.json'
  fi
  if [ "${EMBED:-1}" = 1 ]; then echo '  DEPTH 565 EMBED)'; else echo '  DEPTH 565)'; fi
} > "$work/project/CMakeLists.txt"
{
  echo '#include "icons_images.h"'
  echo 'int main(void) { return zeq_icon_001_size > 24 && zeq_icon_200[0] == 0x5E ? 0 : 1; }'
} > "$work/project/main.c"

# Prints the wall time of one build in seconds.
timed_build() {
  local start end
  start=$(date +%s.%N)
  cmake --build "$work/build" "$@" > "$work/last.log"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

# Prints the smallest of the arguments.
best() { printf '%s\n' "$@" | sort -g | head -1; }

cmake -S "$work/project" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_BUILD_TYPE=Release > /dev/null
clean_j1=() clean_j2=() noop=() touched=()
for _ in $(seq "$repeat"); do
  cmake --build "$work/build" --target clean > /dev/null
  clean_j1+=("$(timed_build -j1)")
  cmake --build "$work/build" --target clean > /dev/null
  clean_j2+=("$(timed_build -j2)")
  noop+=("$(timed_build -j2)")
  grep -q "no work to do" "$work/last.log" || { echo "no-op rebuild did work" >&2; exit 1; }
  touch "$work/project/icons/icon 042.png"
  touched+=("$(timed_build -j2)")
  steps=$(grep -c '^\[' "$work/last.log")
done
if [ "${EMBED:-1}" = 1 ]; then "$work/build/icons"; fi

printf '%-34s %8s\n' "build ($icons icons, best of $repeat)" "seconds"
printf '%-34s %8.2f\n' "from clean, -j1" "$(best "${clean_j1[@]}")"
printf '%-34s %8.2f\n' "from clean, -j2" "$(best "${clean_j2[@]}")"
printf '%-34s %8.2f\n' "no-op rebuild" "$(best "${noop[@]}")"
printf '%-34s %8.2f  (%s steps)\n' "after touching one icon" "$(best "${touched[@]}")" "$steps"
