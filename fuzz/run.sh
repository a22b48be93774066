#!/usr/bin/env bash
# Builds the fuzzers (clang, AddressSanitizer + UndefinedBehaviorSanitizer,
# libFuzzer) and runs each for a bounded time, seeded from fuzz/seeds and,
# when IDF_CORPUS_DIR names the folder of real documents, from those too.
# Fails when any of them finds a crash, a leak, undefined behaviour, a hang
# or a sanity failure.
#
#   fuzz/run.sh                      # from the repository root
#   IDF_FUZZ_SECONDS=300 fuzz/run.sh # longer runs
#
# Findings are kept under build-fuzz/findings/; turn each into a regression
# test in tests/hardening/.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${IDF_FUZZ_BUILD:-$root/build-fuzz}
seconds=${IDF_FUZZ_SECONDS:-60}
seeds=("$root/fuzz/seeds" "$root/tests/data/autenticidade")
if [[ -n ${IDF_CORPUS_DIR:-} ]]; then
  seeds+=("$IDF_CORPUS_DIR/nfe" "$IDF_CORPUS_DIR/cte")
else
  echo "== seeds from fuzz/seeds only (IDF_CORPUS_DIR is not set)"
fi

echo "== configuring and building the fuzzers in $build"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1 -D_GLIBCXX_ASSERTIONS" \
  -DIDF_SANITIZE=ON -DIDF_BUILD_FUZZERS=ON -DIDF_BUILD_TESTS=OFF -DIDF_WERROR=ON \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; echo "0 passed, 1 failed"; exit 1; }
targets=(fuzz_import_nfe fuzz_import_cte fuzz_key_precheck fuzz_assinatura)
if ! cmake --build "$build" --target "${targets[@]}"; then
  echo "0 passed, ${#targets[@]} failed"
  exit 1
fi

# Time per target: a whole run per document type, half a run for the check
# of the search's quick look at the bytes.
declare -A budget=([fuzz_import_nfe]=$seconds [fuzz_import_cte]=$seconds
                   [fuzz_key_precheck]=$(((seconds + 1) / 2)) [fuzz_assinatura]=$(((seconds + 1) / 2)))

passed=0
failed=0
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
  work=$(mktemp -d)
  echo "== $target for ${budget[$target]} s"
  # The first folder receives the new inputs; the seeds stay untouched.
  if "$build/fuzz/$target" "$work" "${seeds[@]}" \
      -dict="$root/fuzz/xml.dict" -max_total_time="${budget[$target]}" -timeout=10 -rss_limit_mb=2048 \
      -max_len=262144 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
      >"$build/$target.log" 2>&1; then
    passed=$((passed + 1))
    grep -E '^(Done|stat::number_of_executed_units)' "$build/$target.log" | head -1
  else
    failed=$((failed + 1))
    echo "FAILED: $target (log: $build/$target.log)"
    grep -E -A25 'ERROR|FINDING|runtime error|timeout|out-of-memory' "$build/$target.log" | head -60
  fi
  rm -rf "$work"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
