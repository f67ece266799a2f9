#!/usr/bin/env bash
# CPU time of whole converter runs against a plain C program doing the same
# libpng + zlib work (bench/c_baseline.c), on a 96 x 96 icon (the common case
# in a firmware build) and on the photographs, with -depth 565. Prints the
# median CPU time (user + system) per run in microseconds and the ratio.
#
# Usage: bench/startup.sh BUILD_DIR [RUNS]   (RUNS defaults to 220)
set -euo pipefail

build_dir=${1:?usage: $0 BUILD_DIR [RUNS]}
runs=${2:-220}
here=$(cd "$(dirname "$0")" && pwd)
converter="$build_dir/bin/png2zeq"
photos=${PNG2ZEQ_SHARED_DIR:-$here/../../shared}/photos
[[ -x $converter ]] || { echo "no converter at $converter" >&2; exit 1; }

work=$(mktemp -d /tmp/png2zeq-startup-XXXXXX)
trap 'rm -rf "$work"' EXIT
cc -O2 -I"$here/../loader" -o "$work/c_baseline" "$here/c_baseline.c" $(pkg-config --cflags --libs libpng zlib)
cc -O2 -o "$work/cpu_time" "$here/cpu_time.c"
"$work/c_baseline" -make-icon 96 "$work/icon.png"

inputs=("$work/icon.png")
for photo in "$photos"/*.png; do [[ -f $photo ]] && inputs+=("$photo"); done

printf '%-28s %12s %12s %7s\n' image "png2zeq us" "C us" ratio
for input in "${inputs[@]}"; do
  count=$runs
  [[ $input == "$work/icon.png" ]] || count=$(( runs / 10 > 5 ? runs / 10 : 5 ))
  ours=$("$work/cpu_time" "$count" "$converter" -depth 565 -o "$work/ours.zeq" "$input" | cut -d' ' -f1)
  floor=$("$work/cpu_time" "$count" "$work/c_baseline" "$input" "$work/c.zeq" | cut -d' ' -f1)
  printf '%-28s %12s %12s %7.3f\n' "$(basename "$input")" "$ours" "$floor" \
    "$(awk -v a="$ours" -v b="$floor" 'BEGIN { print a / b }')"
done
