#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice:
# a normal build, and one under AddressSanitizer + UndefinedBehaviorSanitizer
# with leak detection on.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
source scripts/jobs.sh

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== normal build =="
run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo

# A fresh clone has no ../shared: the suite must pass without it, the tests
# that need it reporting Skipped.
echo "== normal build without the shared test data =="
no_shared=$(mktemp -d)
PNG2ZEQ_SHARED_DIR=$no_shared ctest --test-dir build/test --output-on-failure -j "$jobs"
rmdir "$no_shared"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DPNG2ZEQ_SANITIZE=ON
