#!/usr/bin/env bash
# Long local fuzzing: builds the libFuzzer targets in build/fuzz and runs the
# named ones (all when none is named) one after the other, SECONDS each, on
# corpora kept outside the repository so that they grow from run to run.
#   scripts/fuzz-long.sh SECONDS [TARGET...]
# Corpora and logs go to $PNG2ZEQ_FUZZ_CORPUS (default: build/fuzz-corpus in
# the work tree, which the script creates), findings to <corpus root>/findings/<target>/. Two
# invocations with different targets may run side by side.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ]; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift

build=build/fuzz
root=${PNG2ZEQ_FUZZ_CORPUS:-$PWD/build/fuzz-corpus}
mkdir -p "$build" "$root"

# One build at a time when several runs start together.
(
  flock 9
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPNG2ZEQ_BUILD_FUZZ=ON -DPNG2ZEQ_BUILD_TESTS=ON >/dev/null
  cmake --build "$build" --target fuzz_all fuzz_seeds >/dev/null
) 9>"$build/.fuzz-build.lock"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  read -r -a targets <<<"$(tr ';' ' ' <"$build/fuzz-targets.txt")"
fi

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  corpus=$root/$name
  findings=$root/findings/$name
  log=$root/$target.log
  mkdir -p "$corpus" "$findings"
  cp -n "$build/fuzz-seeds/$name/"* "$corpus/" 2>/dev/null || true
  dictionary=()
  case $name in
    convert) dictionary=(-dict=fuzz/png.dict) ;;
    command_line) dictionary=(-dict=fuzz/command_line.dict) ;;
  esac

  echo "== $target: ${seconds} s, corpus $corpus =="
  if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "${dictionary[@]}" "$corpus" >"$log" 2>&1; then
    echo "$target stopped on a finding; see $log and $findings"
    status=1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb)' "$log" || true
  grep -E '(DONE|NEW|REDUCE|pulse|INITED) +cov:' "$log" | tail -n 1 || true
  echo "corpus files: $(find "$corpus" -type f | wc -l), findings: $(find "$findings" -type f | wc -l)"
done
exit "$status"
