# The fuzzing both fuzz-smoke.sh and fuzz-long.sh do, sourced by them from the
# work tree's root: the build, the dictionaries, the sanitizers' and
# libFuzzer's flags, and the summary of a run.

fuzz_build=build/fuzz
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Builds the libFuzzer targets and their seed corpora with clang (AddressSanitizer
# + UBSan) in build/fuzz, one build at a time when several runs start together;
# then sets `fuzz_targets` to every target.
fuzz_build_targets() {
  PNG2ZEQ_WITH_FUZZ=1 scripts/install-deps.sh
  mkdir -p "$fuzz_build"
  (
    flock 9
    CC=clang CXX=clang++ cmake -S . -B "$fuzz_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DPNG2ZEQ_BUILD_FUZZ=ON -DPNG2ZEQ_BUILD_TESTS=ON >/dev/null
    cmake --build "$fuzz_build" -j "$jobs" --target fuzz_all fuzz_seeds >/dev/null
  ) 9>"$fuzz_build/.fuzz-build.lock"
  read -r -a fuzz_targets <<<"$(tr ';' ' ' <"$fuzz_build/fuzz-targets.txt")"
}

# Runs fuzz_<name> for SECONDS on CORPUS (seeded from the build's seed corpus,
# without overwriting), with its dictionary, keeping findings in FINDINGS and
# the output in LOG; further arguments go to libFuzzer. Prints the run's
# figures; returns libFuzzer's status (non-zero on a finding).
#   fuzz_run NAME SECONDS CORPUS FINDINGS LOG [LIBFUZZER-ARGUMENT...]
fuzz_run() {
  local name=$1 seconds=$2 corpus=$3 findings=$4 log=$5 status=0
  shift 5
  mkdir -p "$corpus" "$findings"
  cp -n "$fuzz_build/fuzz-seeds/$name/"* "$corpus/" 2>/dev/null || true
  local dictionary=()
  case $name in
    convert) dictionary=(-dict=fuzz/png.dict) ;;
    command_line) dictionary=(-dict=fuzz/command_line.dict) ;;
  esac
  "$fuzz_build/bin/fuzz_$name" "$@" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "${dictionary[@]}" "$corpus" >"$log" 2>&1 ||
    status=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb)' "$log" || true
  grep -E '(DONE|NEW|REDUCE|pulse|INITED) +cov:' "$log" | tail -n 1 || true
  return "$status"
}
