#!/usr/bin/env bash
# Runs every fuzzer of the native build for SECONDS each, growing a working corpus in the build
# folder from the seeds in fuzz/corpus, and prints per target the executions, the coverage reached
# and the inputs that failed. Failing inputs are left in BUILD/fuzz-findings/NAME; once the fault is
# fixed, such an input belongs in fuzz/regressions/NAME, which the native tests replay.
# Usage: fuzz.sh NATIVE_BUILD_DIR [SECONDS]
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1"

shopt -s nullglob
fuzzers=("$build"/fuzz/*_fuzz)
if [ ${#fuzzers[@]} -eq 0 ]; then
  echo "fuzz: no fuzzers in $build/fuzz" >&2
  exit 1
fi

summary=()
failed=0
for bin in "${fuzzers[@]}"; do
  name=$(basename "$bin" _fuzz)
  work="$build/fuzz-corpus/$name"
  findings="$build/fuzz-findings/$name"
  log="$build/fuzz-logs/$name.log"
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  inputs=("$root/fuzz/corpus/$name")
  [ -d "$root/fuzz/regressions/$name" ] && inputs+=("$root/fuzz/regressions/$name")
  before=$(ls "$findings" | wc -l)
  echo "fuzz: $name for ${seconds}s" >&2
  "$bin" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "${inputs[@]}" >"$log" 2>&1
  status=$?
  execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log" | tail -n 1)
  cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
  corpus=$(ls "$work" | wc -l)
  found=$(( $(ls "$findings" | wc -l) - before ))
  if [ $status -ne 0 ] || [ $found -gt 0 ]; then
    failed=1
    summary+=("$(printf '%-10s %12s executions  %-22s corpus %5s  FINDINGS %s (see %s)' "$name" "${execs:-?}" "${cov:-cov: ?}" "$corpus" "$found" "$log")")
  else
    summary+=("$(printf '%-10s %12s executions  %-22s corpus %5s  findings 0' "$name" "${execs:-?}" "${cov:-cov: ?}" "$corpus")")
  fi
done

echo
echo "fuzz summary (${seconds}s per target):"
printf '  %s\n' "${summary[@]}"
if [ $failed -ne 0 ]; then
  echo "failing inputs are in $build/fuzz-findings/" >&2
  exit 1
fi
