#!/usr/bin/env bash
# Builds a normal (unsanitized) tree in build/valgrind and runs test areas
# under valgrind memcheck, following every converter and tool process the
# tests start (--trace-children), so the end-to-end runs are checked too.
# Fails when any process has a memory error or a leak, or a test fails.
#   scripts/valgrind.sh [AREA...]     (default: every test area; e.g. cli fault)
# One log per process in build/valgrind/memcheck/. Allocation functions are
# replaced in the C library only, so that the fault tests' preloaded
# allocator shim stays in front of memcheck's.
set -euo pipefail
cd "$(dirname "$0")/.."

PNG2ZEQ_WITH_VALGRIND=1 scripts/install-deps.sh
source scripts/jobs.sh

build=build/valgrind
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPNG2ZEQ_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "$jobs"

areas=("$@")
if [ ${#areas[@]} -eq 0 ]; then
  for executable in "$build"/bin/*_tests; do
    name=$(basename "$executable")
    areas+=("${name%_tests}")
  done
fi

logs=$(pwd)/$build/memcheck  # absolute: tests run processes in other directories
rm -rf "$logs"
mkdir -p "$logs"

# The one error a test provokes on purpose: the writer handed a block the
# kernel cannot read, to see how an EFAULT is reported. Suppressed for that
# test alone.
suppressions=$logs/deliberate.supp
cat >"$suppressions" <<'SUPP'
{
   writer-test-block-the-kernel-cannot-read
   Memcheck:Param
   write(buf)
   fun:write
   ...
   fun:*ZeqWriter_BlockWriteErrorIsDescribedByItsNumber_Test*TestBody*
}
SUPP

failed_areas=()
for area in "${areas[@]}"; do
  echo "== $area under memcheck =="
  if ! valgrind --tool=memcheck --error-exitcode=1 --leak-check=full \
      --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
      --trace-children=yes --child-silent-after-fork=yes \
      --soname-synonyms=somalloc=nouserintercepts --suppressions="$suppressions" \
      --log-file="$logs/$area.%p.log" "$build/bin/${area}_tests" --gtest_brief=1; then
    failed_areas+=("$area")
  fi
done

processes=$(find "$logs" -name '*.log' | wc -l)
dirty=$(grep -L 'ERROR SUMMARY: 0 errors' "$logs"/*.log || true)
dirty_count=0
if [ -n "$dirty" ]; then
  dirty_count=$(printf '%s\n' "$dirty" | wc -l)
  echo "Processes with memcheck errors:"
  for log in $dirty; do
    echo "--- $log"
    grep -E '^==[0-9]+== (Command|.*(Invalid|uninitialised|definitely|indirectly|possibly|ERROR SUMMARY))' "$log" | head -n 20
  done
fi
echo "memcheck: $((processes - dirty_count)) passed, $dirty_count failed (processes checked; test areas failed: ${#failed_areas[@]} ${failed_areas[*]:-})"
[ "$dirty_count" -eq 0 ] && [ ${#failed_areas[@]} -eq 0 ]
