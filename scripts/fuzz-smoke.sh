#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) in
# build/fuzz and runs each for a bounded time with a fixed seed, starting
# from the seed corpus. Fails on any finding: a crash, a sanitizer report, a
# leak, a time-out or a broken check in a target. Findings are kept in
# build/fuzz/findings/<target>/. PNG2ZEQ_FUZZ_SECONDS overrides the 60 s.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/jobs.sh
source scripts/fuzz-runner.sh

seconds=${PNG2ZEQ_FUZZ_SECONDS:-60}
fuzz_build_targets

passed=0
failed=0
for target in "${fuzz_targets[@]}"; do
  name=${target#fuzz_}
  corpus=$fuzz_build/corpus/$name
  findings=$fuzz_build/findings/$name
  log=$fuzz_build/$target.log
  rm -rf "$corpus" "$findings"
  echo "== $target: ${seconds} s, seed 1 =="
  if fuzz_run "$name" "$seconds" "$corpus" "$findings" "$log" -seed=1; then
    passed=$((passed + 1))
  else
    echo "$target FAILED; last lines of $log:"
    tail -n 60 "$log"
    ls -l "$findings"
    failed=$((failed + 1))
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
