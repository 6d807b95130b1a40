#!/usr/bin/env bash
# `make fuzz-long`: every libFuzzer target of the fuzz build (the CTest cases
# labelled fuzz, each with its seed corpus) runs FUZZ_RUNS executions (default
# 1,000,000) with AddressSanitizer and UndefinedBehaviorSanitizer; any
# sanitizer report stops the run. Prints executions, executions per second and
# the coverage reached per target. Exit status 0 when no target found a fault.
# Usage: scripts/fuzz-long.sh [FUZZ_BUILD_DIR]
set -uo pipefail
build="${1:-build-fuzz}"
runs="${FUZZ_RUNS:-1000000}"
logs="$build/fuzz-long"
mkdir -p "$logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

# The targets as CTest knows them: the program and its corpus folder.
targets=$(ctest --test-dir "$build" -L fuzz --show-only=json-v1 | python3 -c '
import json, sys
for test in json.load(sys.stdin).get("tests", []):
    command = test.get("command") or []
    corpora = [a for a in command[1:] if not a.startswith("-")]
    if command:
        print(test["name"], command[0], *corpora, sep="\t")
')
if [ -z "$targets" ]; then
  echo "fuzz-long: no fuzz targets in $build (configure it with -DHL_FUZZ=ON)" >&2
  exit 1
fi

failed=0
summary=()
while IFS=$'\t' read -r name program corpus; do
  log="$logs/$name.log"
  echo "fuzz-long: $name, $runs executions from $corpus"
  # Found inputs go to the corpus folder in the build tree; crashes beside the log.
  (cd "$logs" && "$program" -runs="$runs" -rss_limit_mb=2048 -print_final_stats=1 "$corpus") >"$log" 2>&1
  status=$?
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)
  execs=$(grep -E '^stat::number_of_executed_units:' "$log" | awk '{print $2}')
  rate=$(grep -E '^stat::average_exec_per_sec:' "$log" | awk '{print $2}')
  cov=$(echo "$done_line" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  features=$(echo "$done_line" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  corpus_size=$(echo "$done_line" | sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p')
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|libFuzzer)|runtime error:' "$log"; then
    verdict="FAULT (status $status, see $log)"
    failed=1
  else
    verdict="ok"
  fi
  line=$(printf '%-28s execs %-9s exec/s %-7s cov %-6s ft %-6s corpus %-12s %s' "$name" "${execs:-?}" \
         "${rate:-?}" "${cov:-?}" "${features:-?}" "${corpus_size:-?}" "$verdict")
  echo "  $line"
  summary+=("$line")
done <<<"$targets"

echo "fuzz-long: summary"
printf '  %s\n' "${summary[@]}"
exit "$failed"
