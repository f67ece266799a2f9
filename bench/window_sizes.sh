#!/usr/bin/env bash
# File sizes and conversion times at each -window from 9 to 15, with
# -depth 565 (the pixels a small MCU streams to its panel): the two
# photographs, the three user-interface images drawn by bench/ui_images.cpp
# and the Cortex-M4 example's 320 x 240 panel. Prints one table of sizes
# (and each size against window 15's), one of median CPU times in ms of a
# whole run, and the totals for the photographs and for ui_images.cpp's
# screens.
#
# Usage: bench/window_sizes.sh BUILD_DIR [RUNS]   (RUNS defaults to 3)
set -euo pipefail

bench_name=window-sizes
# shellcheck source=bench/size_images.sh
source "$(dirname "$0")/size_images.sh"
cp "$here/../examples/cortex-m/images/panel.png" "$work/ui-panel-320x240.png"

# Median CPU time (user + system) in ms of RUNS conversions of $1 with the
# options after it, steadier than wall time on a shared machine; leaves the
# output in $work/out.zeq.
median_ms() {
  local input=$1
  shift
  for ((i = 0; i < runs; i++)); do
    local TIMEFORMAT='%3U %3S'
    { time "$converter" "$@" -output "$work/out.zeq" "$input" > /dev/null; } 2>&1
  done | awk '{ print ($1 + $2) * 1000 }' | sort -n |
    awk '{ v[NR] = $1 } END { printf "%.0f", v[int((NR + 1) / 2)] }'
}

windows=(15 14 13 12 11 10 9)
declare -A bytes total ms
names=()
for input in "$photos"/*.png "$work"/ui-*.png; do
  name=$(basename "$input" .png)
  names+=("$name")
  kind=photographs
  [[ $input == "$work"/* ]] && kind="UI screens"
  [[ $name == ui-panel-* ]] && kind=panel  # not one of ui_images.cpp's screens
  for bits in "${windows[@]}"; do
    ms[$name,$bits]=$(median_ms "$input" -depth 565 -window "$bits")
    bytes[$name,$bits]=$(stat -c %s "$work/out.zeq")
    total[$kind,$bits]=$(( ${total[$kind,$bits]:-0} + bytes[$name,$bits] ))
  done
done

header() {
  printf '| %s |' "$1"
  for bits in "${windows[@]}"; do printf ' %s |' "$bits"; done
  printf '\n|---|'
  for _ in "${windows[@]}"; do printf -- '---:|'; done
  printf '\n'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

echo "File size in bytes (against window 15), -depth 565:"
header "image \\ window bits"
# One row of sizes: LABEL, the table (bytes or total) and its key.
size_row() {
  local -n sizes=$2
  printf '| %s |' "$1"
  for bits in "${windows[@]}"; do
    printf ' %d (%s) |' "${sizes[$3,$bits]}" "$(ratio "${sizes[$3,$bits]}" "${sizes[$3,15]}")"
  done
  printf '\n'
}
for name in "${names[@]}"; do size_row "$name" bytes "$name"; done
for kind in photographs "UI screens"; do size_row "**$kind, total**" total "$kind"; done

echo
echo "Median CPU time (user + system) of a whole run in ms, -depth 565:"
header "image \\ window bits"
for name in "${names[@]}"; do
  printf '| %s |' "$name"
  for bits in "${windows[@]}"; do printf ' %s |' "${ms[$name,$bits]}"; done
  printf '\n'
done
