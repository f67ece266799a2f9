#!/usr/bin/env bash
# Builds the product code (converter, inspection tool) with clang-tidy,
# warnings as errors, using the checks in .clang-tidy.
set -euo pipefail
cd "$(dirname "$0")/.."

PNG2ZEQ_WITH_LINT=1 scripts/install-deps.sh
source scripts/jobs.sh
cmake -S . -B build/lint -G Ninja -DPNG2ZEQ_CLANG_TIDY=ON -DPNG2ZEQ_BUILD_TESTS=OFF
cmake --build build/lint -j "$jobs"
echo "clang-tidy: no findings"
