#!/usr/bin/env bash
# Runs the Wine tests that drive windows, focus and keys again and again with processor-bound
# processes beside them, and reports every failure: they must pass on a busy machine as on a quiet
# one. Each run's output is kept in BUILD_DIR/soak/run-N.log, the summary in BUILD_DIR/soak/summary.txt.
# Usage: soak-tests.sh BUILD_DIR RUNS LOAD TEST...   (LOAD busy processes; TESTs are ctest names)
set -euo pipefail
build=$(cd "$1" && pwd)
runs=$2
load=$3
shift 3
tests=("$@")
soak="$build/soak"
here=$(cd "$(dirname "$0")" && pwd)

if [ "${HURZ_SOAK_INSIDE:-0}" != 1 ]; then
  mkdir -p "$soak"
  rm -f "$soak"/run-*.log "$soak/summary.txt"
  busy=()
  stop_load() { for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null || true; done; }
  trap stop_load EXIT
  for _ in $(seq "$load"); do
    bash -c 'while :; do :; done' &
    busy+=($!)
  done
  status=0
  HURZ_SOAK_INSIDE=1 "$here/harness.sh" "$build" "$0" "$build" "$runs" "$load" "${tests[@]}" || status=$?
  exit "$status"
fi

# Inside the harness: the display and the Wine server are up.
pattern="^($(IFS='|'; echo "${tests[*]}"))\$"
summary="$soak/summary.txt"
declare -A failures=()
failed_runs=0
{
  echo "soak: ${tests[*]}, $runs runs with $load processor-bound processes beside them, $(nproc) cores"
  echo "started $(date '+%Y-%m-%d %H:%M:%S')"
} | tee "$summary"
for run in $(seq "$runs"); do
  log="$soak/run-$run.log"
  before=$(cut -d' ' -f1-3 /proc/loadavg)
  started=$(date +%s)
  result=passed
  ctest --test-dir "$build" -R "$pattern" --output-on-failure >"$log" 2>&1 || result=failed
  seconds=$(($(date +%s) - started))
  line="run $run: $result in ${seconds}s, load average before $before, after $(cut -d' ' -f1-3 /proc/loadavg)"
  if [ "$result" = failed ]; then
    failed_runs=$((failed_runs + 1))
    # The failing test programs and the gtest cases that failed in them.
    while read -r name; do
      failures[$name]=$((${failures[$name]:-0} + 1))
      line+=$'\n'"  $name"
    done < <(grep -oE '^[[:space:]]*[0-9]+ - [a-z0-9_]+ \(' "$log" | sed -E 's/.* - ([a-z0-9_]+) \(/\1/' | sort -u)
    while read -r case; do line+=$'\n'"    $case"; done < <(grep -E '^\[  FAILED  \] [A-Za-z0-9_/.]+\.' "$log" | sort -u)
  fi
  echo "$line" | tee -a "$summary"
done
{
  echo "finished $(date '+%Y-%m-%d %H:%M:%S'): $((runs - failed_runs)) of $runs runs passed"
  for name in "${!failures[@]}"; do echo "  $name failed in ${failures[$name]} runs"; done
} | tee -a "$summary"
[ "$failed_runs" -eq 0 ]
