#!/usr/bin/env bash
# Builds and runs the whole suite with the platform layer written for any
# POSIX system (plain rename, no Linux-only calls) instead of Linux's own, so
# that the layer macOS and the BSDs would use is tested, not only compiled.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
source scripts/jobs.sh
cmake -S . -B build/generic-posix -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPNG2ZEQ_GENERIC_POSIX=ON
cmake --build build/generic-posix -j "$jobs"
ctest --test-dir build/generic-posix --output-on-failure -j "$jobs"
