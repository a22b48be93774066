#!/usr/bin/env bash
# Builds the library, the command-line tool and every test program with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan) and runs the
# whole test suite under them. Fails on any test failure or sanitizer report.
# The results are also written as JUnit XML to build-asan/junit.xml.
#
#   tests/hardening/asan.sh          # from the repository root
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${IDF_ASAN_BUILD:-$root/build-asan}

# Every report is fatal; leaks are reported at exit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# -O1 with line tables only: half the build time of -O2 -g under the
# sanitizers, and the reports still name file and line. The standard
# library's own checks are on too.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1 -D_GLIBCXX_ASSERTIONS" \
  -DIDF_SANITIZE=ON -DIDF_WERROR=ON
cmake --build "$build"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 600 --output-junit "$build/junit.xml"
