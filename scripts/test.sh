#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the Linux build (core library, shared library, command-line tool) and its test suite;
#   2. the Windows DLL, cross-built with mingw-w64 and tested under Wine;
#   3. the whole test suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. the fuzzers, for a bounded time.
# Run from anywhere, as root on Debian 12. Exit status 0 only when every step passed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

passed=0
failed=0
steps_failed=()

# Adds the counts of a step's closing "N passed, M failed" line (or ctest's summary).
count() {
  local log=$1 line p f
  line=$(grep -E '^([A-Za-z]+: )?[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  if [[ -n $line ]]; then
    p=$(sed -E 's/^([A-Za-z]+: )?([0-9]+) passed, ([0-9]+) failed.*/\2/' <<<"$line")
    f=$(sed -E 's/^([A-Za-z]+: )?([0-9]+) passed, ([0-9]+) failed.*/\3/' <<<"$line")
    passed=$((passed + p)); failed=$((failed + f)); return
  fi
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [[ -n $line ]]; then
    f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    p=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + p - f)); failed=$((failed + f))
  fi
}

# step NAME COMMAND...: runs a step, shows its output, records its outcome.
step() {
  local name=$1; shift
  local log
  log=$(mktemp)
  echo "==== $name"
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  count "$log"
  rm -f "$log"
  if ((rc != 0)); then
    echo "==== $name: FAILED (exit $rc)"
    steps_failed+=("$name")
  else
    echo "==== $name: ok"
  fi
}

step "set-up" bash scripts/setup.sh
step "build" bash -c "cmake -S '$root' -B '$root/build' -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null && cmake --build '$root/build' -j $jobs"
step "tests" ctest --test-dir "$root/build" --output-on-failure -j "$jobs" --timeout 300
if [[ -f tests/windows/run.sh ]]; then
  step "windows set-up" bash tests/windows/setup.sh
  step "windows tests (Wine)" bash tests/windows/run.sh
fi
if [[ -f tests/hardening/asan.sh ]]; then
  step "tests under sanitizers" bash tests/hardening/asan.sh
fi
if [[ -f fuzz/run.sh ]]; then
  step "fuzzing" bash fuzz/run.sh
fi

echo
if ((${#steps_failed[@]})); then
  echo "Failed steps: ${steps_failed[*]}"
  ((failed == 0)) && failed=${#steps_failed[@]}
fi
echo "Total: $passed passed, $failed failed"
((${#steps_failed[@]} == 0))
