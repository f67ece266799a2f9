#!/usr/bin/env bash
# Makes the ZeqPanel example's image.h: converts a PNG with
# `png2zeq -depth 565 -window 9` and writes its bytes as
# `const uint8_t zeq_image[] PROGMEM`, with ZEQ_IMAGE_WIDTH and
# ZEQ_IMAGE_HEIGHT, which the sketch sizes its row buffer by.
#
#   scripts/make-arduino-image.sh PNG2ZEQ [input.png [image.h]]
#
# Defaults: loader/examples/ZeqPanel/panel.png into
# loader/examples/ZeqPanel/image.h.
set -euo pipefail
example=$(cd "$(dirname "$0")/.." && pwd)/loader/examples/ZeqPanel
converter=${1:?usage: $0 PNG2ZEQ [input.png [image.h]]}
input=${2:-$example/panel.png}
output=${3:-$example/image.h}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$converter" -depth 565 -window 9 -output "$work/image.zeq" "$input" >/dev/null
# A little-endian 32-bit field of the ZEQ header at byte `offset`.
field() {
  local b
  read -r -a b < <(od -An -v -tu1 -j "$1" -N 4 "$work/image.zeq")
  echo $((b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24))
}
{
  echo "/* SPDX-License-Identifier: MIT */"
  echo "/* $(basename "$input"), converted by png2zeq -depth 565 -window 9"
  echo "   (scripts/make-arduino-image.sh). */"
  echo "#ifndef ZEQ_IMAGE_H"
  echo "#define ZEQ_IMAGE_H"
  echo
  echo "#include <stdint.h>"
  echo "#if defined(__AVR__)"
  echo "#include <avr/pgmspace.h>"
  echo "#endif"
  echo "#ifndef PROGMEM"
  echo "#define PROGMEM /* a target whose constants stay in flash as they are */"
  echo "#endif"
  echo
  echo "#define ZEQ_IMAGE_WIDTH $(field 8)"
  echo "#define ZEQ_IMAGE_HEIGHT $(field 12)"
  echo
  echo "const uint8_t zeq_image[] PROGMEM = {"
  od -An -v -tx1 -w16 "$work/image.zeq" | sed -E 's/ ([0-9a-f]{2})/0x\1, /g; s/^/  /; s/, $/,/'
  echo "};"
  echo
  echo "#endif"
} > "$output.tmp"
mv "$output.tmp" "$output"
