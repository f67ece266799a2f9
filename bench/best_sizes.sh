#!/usr/bin/env bash
# File sizes with and without -best: the two photographs and three
# user-interface images drawn by bench/ui_images.cpp (gradients, flat buttons,
# text with alpha), each without -depth, with -depth 565 and with -depth 565
# -dither. Prints each size, the ratio -best / default, the median wall time
# of a whole run without and with -best, and the totals per kind of image.
#
# Usage: bench/best_sizes.sh BUILD_DIR [RUNS]   (RUNS defaults to 3)
set -euo pipefail

bench_name=best-sizes
# shellcheck source=bench/size_images.sh
source "$(dirname "$0")/size_images.sh"

# Median wall time in ms of RUNS conversions of $1 with the options after it;
# leaves the output in $work/out.zeq.
median_ms() {
  local input=$1
  shift
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s%N)
    "$converter" "$@" -output "$work/out.zeq" "$input" > /dev/null
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 ))
  done | sort -n | awk '{ v[NR] = $1 } END { printf "%.0f", v[int((NR + 1) / 2)] / 1000 }'
}

option_sets=("" "-depth 565" "-depth 565 -dither")
declare -A plain_total best_total

printf '| image | options | default bytes | -best bytes | -best / default | default ms | -best ms |\n'
printf '|---|---|---:|---:|---:|---:|---:|\n'
for input in "$photos"/*.png "$work"/ui-*.png; do
  kind=photographs
  [[ $input == "$work"/* ]] && kind="UI graphics"
  for options in "${option_sets[@]}"; do
    # shellcheck disable=SC2086  # the options are meant to split
    plain_ms=$(median_ms "$input" $options)
    plain=$(stat -c %s "$work/out.zeq")
    # shellcheck disable=SC2086
    best_ms=$(median_ms "$input" $options -best)
    best=$(stat -c %s "$work/out.zeq")
    plain_total[$kind]=$(( ${plain_total[$kind]:-0} + plain ))
    best_total[$kind]=$(( ${best_total[$kind]:-0} + best ))
    printf '| %s | %s | %d | %d | %.3f | %d | %d |\n' "$(basename "$input")" "${options:-(none)}" \
      "$plain" "$best" "$(awk -v b="$best" -v p="$plain" 'BEGIN { print b / p }')" "$plain_ms" "$best_ms"
  done
done
for kind in photographs "UI graphics"; do
  printf '| **%s, total** | | %d | %d | %.3f | | |\n' "$kind" "${plain_total[$kind]}" \
    "${best_total[$kind]}" \
    "$(awk -v b="${best_total[$kind]}" -v p="${plain_total[$kind]}" 'BEGIN { print b / p }')"
done
