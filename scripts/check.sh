#!/usr/bin/env bash
# The quick loop while working: configures and builds the Linux build in build/ (warnings as
# errors, the same settings as scripts/test.sh, so the two share one build) and runs its test
# suite, with the real documents when they are there: IDF_CORPUS_DIR when set, otherwise
# ../shared/corpus beside the repository when it exists. Installs nothing; a few minutes at most.
# scripts/test.sh is the full run (set-up, install, Windows DLLs under Wine, sanitizers, fuzzers).
# Exit status 0 only when the build and every test passed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)
start=$SECONDS

if [[ -z ${IDF_CORPUS_DIR:-} && -d $root/../shared/corpus ]]; then
  IDF_CORPUS_DIR=$(realpath "$root/../shared/corpus")
  export IDF_CORPUS_DIR
fi
echo "real documents: ${IDF_CORPUS_DIR:-none (IDF_CORPUS_DIR is not set); the tests that read them are skipped}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIDF_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build "$root/build" -j "$jobs"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs" --timeout 300
echo "check passed in $((SECONDS - start)) s"
