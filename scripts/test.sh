#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the Linux build (core library, shared library, command-line tool), warnings as errors;
#      then plain Release builds of everything with GCC and with Clang, warnings as errors too
#      (the optimiser of a Release build warns where the others do not);
#   2. its test suite, with the real documents of IDF_CORPUS_DIR;
#   3. the same suite without them: every test passes or is skipped, and nothing outside
#      scripts/ and .ci/ names a folder outside the repository;
#   4. the installed library used by the consumer programs of tests/install/;
#   5. the Windows DLL, cross-built with mingw-w64 and tested under Wine;
#   6. the whole test suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
#   7. the fuzzers, for a bounded time.
# The real documents: IDF_CORPUS_DIR when set, otherwise ../shared/corpus beside the
# repository when it exists. With them, a test skipped for want of them is a failure.
# Run from anywhere, as root on Debian 12. Exit status 0 only when every step passed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

if [[ -z ${IDF_CORPUS_DIR:-} && -d $root/../shared/corpus ]]; then
  IDF_CORPUS_DIR=$(realpath "$root/../shared/corpus")
  export IDF_CORPUS_DIR
fi
if [[ -n ${IDF_CORPUS_DIR:-} ]]; then
  echo "real documents: $IDF_CORPUS_DIR"
else
  echo "real documents: none (IDF_CORPUS_DIR is not set); the tests that read them are skipped"
fi

passed=0
failed=0
skipped=0
steps_failed=()

# Adds the counts of a step's closing "N passed, M failed[, K skipped]" line; a step
# without one counts as one failure.
count_line() {
  local log=$1 line
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  if [[ -z $line ]]; then
    failed=$((failed + 1)); echo "no result line"; return 1
  fi
  passed=$((passed + $(sed -E 's/^([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/^[0-9]+ passed, ([0-9]+) failed.*/\1/' <<<"$line")))
  [[ $line =~ ([0-9]+)\ skipped ]] && skipped=$((skipped + BASH_REMATCH[1]))
  return 0
}

# Adds the counts of a ctest JUnit file. With the real documents, a test skipped for
# want of them fails the step; without them, a test skipped for any other reason
# than the documents is listed.
count_junit() {
  local junit=$1 counts p f s c
  if [[ ! -s $junit ]]; then
    failed=$((failed + 1)); echo "no JUnit results in $junit"; return 1
  fi
  counts=$(python3 - "$junit" <<'EOF'
import sys
import xml.etree.ElementTree as ET

passed = failed = skipped = corpus = 0
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    status = case.get("status")
    out = "".join(e.text or "" for e in case.iter("system-out"))
    if status == "run":
        passed += 1
    elif status in ("notrun", "disabled") or case.find("skipped") is not None:
        skipped += 1
        if "IDF_CORPUS_DIR" in out:
            corpus += 1
        else:
            print("skipped:", case.get("name"), file=sys.stderr)
    else:
        failed += 1
        print("failed:", case.get("name"), file=sys.stderr)
print(passed, failed, skipped, corpus)
EOF
)
  read -r p f s c <<<"$counts"
  [[ -n ${c:-} ]] || { failed=$((failed + 1)); echo "unreadable JUnit results in $junit"; return 1; }
  passed=$((passed + p)); failed=$((failed + f)); skipped=$((skipped + s))
  echo "$p passed, $f failed, $s skipped ($c for want of the real documents)"
  if [[ -n ${IDF_CORPUS_DIR:-} && $c -gt 0 && ${2:-} != without-documents ]]; then
    failed=$((failed + c)); echo "$c tests skipped although IDF_CORPUS_DIR is set"; return 1
  fi
  ((f == 0))
}

# step NAME COUNTER COMMAND...: runs a step, shows its output, records its outcome.
# COUNTER is "line" (the step's closing line) or "junit:FILE[:without-documents]".
step() {
  local name=$1 counter=$2; shift 2
  local log rc
  log=$(mktemp)
  echo "==== $name"
  "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  case $counter in
    line) count_line "$log" || rc=1 ;;
    junit:*)
      local junit_args=${counter#junit:}
      count_junit "${junit_args%%:*}" "$([[ $junit_args == *:* ]] && echo "${junit_args#*:}")" || rc=1
      ;;
    none) ((rc == 0)) || failed=$((failed + 1)) ;;
  esac
  rm -f "$log"
  if ((rc != 0)); then
    echo "==== $name: FAILED (exit $rc)"
    steps_failed+=("$name")
  else
    echo "==== $name: ok"
  fi
}

# Nothing but scripts/ and .ci/ may name a folder beside the repository.
self_contained() {
  local found
  found=$(grep -rIl '\.\./shared' --exclude-dir='.git' --exclude-dir='build*' \
    --exclude-dir=scripts --exclude-dir=.ci . || true)
  if [[ -n $found ]]; then
    echo "files that name a folder outside the repository:"; echo "$found"; return 1
  fi
}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
rm -f build/junit.xml build/junit-without-documents.xml build-asan/junit.xml

step "set-up" none bash scripts/setup.sh
step "build" none bash -c "cmake -S '$root' -B '$root/build' -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DIDF_WERROR=ON ${launcher[*]} >/dev/null && cmake --build '$root/build' -j $jobs"
# release_build NAME C-COMPILER C++-COMPILER: builds everything in build-release-NAME.
release_build() {
  cmake -S "$root" -B "$root/build-release-$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DIDF_WERROR=ON \
    -DCMAKE_C_COMPILER="$2" -DCMAKE_CXX_COMPILER="$3" "${launcher[@]}" >/dev/null &&
    cmake --build "$root/build-release-$1" -j "$jobs"
}
step "release build (GCC)" none release_build gcc gcc g++
step "release build (Clang)" none release_build clang clang clang++
step "tests" "junit:$root/build/junit.xml" \
  ctest --test-dir "$root/build" --output-on-failure -j "$jobs" --timeout 300 --output-junit "$root/build/junit.xml"
step "nothing outside the repository" none self_contained
step "tests without the real documents" "junit:$root/build/junit-without-documents.xml:without-documents" \
  env -u IDF_CORPUS_DIR ctest --test-dir "$root/build" --output-on-failure -j "$jobs" --timeout 300 \
  --output-junit "$root/build/junit-without-documents.xml"
step "install and consumers" line bash tests/install/run.sh "$root/build"
step "windows set-up" none bash tests/windows/setup.sh
step "windows tests (Wine)" line bash tests/windows/run.sh
step "tests under sanitizers" "junit:$root/build-asan/junit.xml" bash tests/hardening/asan.sh
step "fuzzing" line bash fuzz/run.sh

echo
if ((${#steps_failed[@]})); then
  echo "Failed steps: ${steps_failed[*]}"
fi
echo "Total: $passed passed, $failed failed, $skipped skipped"
((${#steps_failed[@]} == 0))
