#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) in
# build/fuzz and runs each for a bounded time with a fixed seed, starting
# from the seed corpus. Fails on any finding: a crash, a sanitizer report, a
# leak, a time-out or a broken check in a target. Findings are kept in
# build/fuzz/findings/<target>/. PNG2ZEQ_FUZZ_SECONDS overrides the 60 s.
set -euo pipefail
cd "$(dirname "$0")/.."

PNG2ZEQ_WITH_FUZZ=1 scripts/install-deps.sh
build=build/fuzz
seconds=${PNG2ZEQ_FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPNG2ZEQ_BUILD_FUZZ=ON -DPNG2ZEQ_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target fuzz_all fuzz_seeds
read -r -a targets <<<"$(tr ';' ' ' <"$build/fuzz-targets.txt")"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

passed=0
failed=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  corpus=$build/corpus/$name
  findings=$build/findings/$name
  log=$build/$target.log
  rm -rf "$corpus" "$findings"
  mkdir -p "$corpus" "$findings"
  cp "$build/fuzz-seeds/$name/"* "$corpus/" 2>/dev/null || true
  dictionary=()
  case $name in
    convert) dictionary=(-dict=fuzz/png.dict) ;;
    command_line) dictionary=(-dict=fuzz/command_line.dict) ;;
  esac

  echo "== $target: ${seconds} s, seed 1 =="
  if "$build/bin/$target" -seed=1 -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "${dictionary[@]}" "$corpus" >"$log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log" || true
    grep -E '(DONE|NEW|REDUCE|pulse|INITED) +cov:' "$log" | tail -n 1 || true
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
