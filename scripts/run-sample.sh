#!/usr/bin/env bash
# Installs what is missing, builds png2zeq and converts the bundled sample
# image to RGBA5658 with dithering, printing the progress, then inspects the
# result with zeq2png and writes a preview PNG.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
source scripts/jobs.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPNG2ZEQ_BUILD_TESTS=OFF
cmake --build build -j "$jobs"

output=build/gradient-rgba-96x64.zeq
build/bin/png2zeq -verbose -depth 565 -dither -output "$output" samples/gradient-rgba-96x64.png
echo "Wrote $output ($(stat -c %s "$output") bytes)"

# Look at the result the way a device would show it.
build/bin/zeq2png -info "$output"
build/bin/zeq2png -compare samples/gradient-rgba-96x64.png -output build/gradient-rgba-96x64.preview.png "$output"
echo "Preview: build/gradient-rgba-96x64.preview.png"
