#!/usr/bin/env bash
# Times whole runs of the built converter on the photographs with
# /usr/bin/time -v: median wall time and median peak resident set size over
# several runs, with and without -depth 565 and -uncompressed.
#
# Usage: bench/whole_run.sh BUILD_DIR [RUNS]   (RUNS defaults to 9)
set -euo pipefail

build_dir=${1:?usage: $0 BUILD_DIR [RUNS]}
runs=${2:-9}
converter="$build_dir/bin/png2zeq"
here=$(cd "$(dirname "$0")" && pwd)
photos=${PNG2ZEQ_SHARED_DIR:-$here/../../shared}/photos

[[ -x $converter ]] || { echo "no converter at $converter" >&2; exit 1; }
[[ -d $photos ]] || { echo "no photographs in $photos" >&2; exit 1; }

work=$(mktemp -d /tmp/png2zeq-whole-run-XXXXXX)
trap 'rm -rf "$work"' EXIT

# Median of the numbers on standard input.
median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

option_sets=("" "-uncompressed" "-depth 565" "-depth 565 -uncompressed"
             "-depth 565 -dither" "-depth 565 -dither -uncompressed")

printf 'Medians of %d runs of %s\n\n' "$runs" "$converter"
printf '%-26s %-34s %10s %10s %12s\n' photo options "wall ms" "max RSS KiB" "output bytes"
for photo in "$photos"/*.png; do
  for options in "${option_sets[@]}"; do
    : > "$work/wall" ; : > "$work/rss"
    for ((i = 0; i < runs; i++)); do
      start=$(date +%s%N)
      # shellcheck disable=SC2086  # the options are meant to split
      /usr/bin/time -v -o "$work/time.txt" "$converter" $options -output "$work/out.zeq" "$photo" > /dev/null
      end=$(date +%s%N)
      echo $(( (end - start) / 1000 )) >> "$work/wall"
      awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt" >> "$work/rss"
    done
    wall_us=$(median < "$work/wall")
    printf '%-26s %-34s %10.2f %10s %12s\n' "$(basename "$photo")" "${options:-(none)}" \
      "$(awk -v us="$wall_us" 'BEGIN { print us / 1000 }')" "$(median < "$work/rss")" \
      "$(stat -c %s "$work/out.zeq")"
  done
done
