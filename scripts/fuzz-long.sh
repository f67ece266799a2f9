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
source scripts/jobs.sh
source scripts/fuzz-runner.sh

if [ $# -lt 1 ]; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift

root=${PNG2ZEQ_FUZZ_CORPUS:-$PWD/build/fuzz-corpus}
mkdir -p "$root"
fuzz_build_targets
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=("${fuzz_targets[@]}")
fi

status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  corpus=$root/$name
  findings=$root/findings/$name
  log=$root/$target.log
  echo "== $target: ${seconds} s, corpus $corpus =="
  if ! fuzz_run "$name" "$seconds" "$corpus" "$findings" "$log"; then
    echo "$target stopped on a finding; see $log and $findings"
    status=1
  fi
  echo "corpus files: $(find "$corpus" -type f | wc -l), findings: $(find "$findings" -type f | wc -l)"
done
exit "$status"
