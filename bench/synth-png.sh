#!/usr/bin/env bash
# Writes a small patterned PNG without any image tool: it builds a raw ZEQ file
# (header and pixels spelled out by awk) and lets zeq2png turn it into a PNG.
# Usage: ZEQ2PNG=path/to/zeq2png synth-png.sh WIDTH HEIGHT {rgb|rgba|grey} SEED OUT.png
set -euo pipefail
width=$1 height=$2 kind=$3 seed=$4 out=$5
zeq2png=${ZEQ2PNG:-zeq2png}
raw=$(mktemp --suffix=.zeq)
trap 'rm -f "$raw"' EXIT

# The format's facts, in decimal for awk, from the loader's header.
header=$(dirname "$0")/../loader/zeq_format.h
fact() { printf '%d' "$(sed -n "s/^#define $1 \(0x[0-9A-Fa-f]*\).*/\1/p" "$header")"; }

# awk prints \xHH escapes; printf %b turns them into bytes (awk alone cannot
# print a NUL byte portably).
printf '%b' "$(LC_ALL=C awk -v w="$width" -v h="$height" -v kind="$kind" -v s="$seed" \
    -v magic="$(fact ZEQ_MAGIC)" -v rgba8888="$(fact ZEQ_FORMAT_RGBA8888)" \
    -v grey8="$(fact ZEQ_FORMAT_GREY8)" -v rgb888="$(fact ZEQ_FORMAT_RGB888)" '
  function byte(v) { printf "\\x%02x", v % 256 }
  function le32(v) { byte(v); byte(int(v / 256)); byte(int(v / 65536)); byte(int(v / 16777216)) }
  BEGIN {
    format = kind == "rgba" ? rgba8888 : kind == "grey" ? grey8 : rgb888
    bpp = kind == "rgba" ? 4 : kind == "grey" ? 1 : 3
    le32(magic); le32(format); le32(w); le32(h); le32(w * h * bpp); le32(0)
    cx = w / 2; cy = h / 2
    for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
      ring = int(sqrt((x - cx) ^ 2 + (y - cy) ^ 2) * 8 / (w > h ? w : h))
      r = (x * 255 / w + s * 40); g = (y * 255 / h + s * 70); b = (ring * 60 + s * 25)
      if (kind == "grey") byte((r + g + b) / 3)
      else { byte(r); byte(g); byte(b) }
      if (kind == "rgba") byte(ring < 3 ? 255 : ring > 6 ? 0 : 255 - ring * 40)
    }
  }')" > "$raw"
"$zeq2png" -output "$out" "$raw" > /dev/null
