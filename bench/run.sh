#!/usr/bin/env bash
# The speed figures: builds a Release binary (build-bench), generates the
# data from the real documents of the folder named by IDF_CORPUS_DIR under a
# temporary folder, and prints each figure as a
# ratio of two measurements taken in the same run, with its target:
#   1. locating: the search of 5,000 files against `cat` of the same files;
#   2. converting: one 990-item NF-e against `xmllint --noout`, and its
#      peak memory against the file size;
#   3. growth: 99, 990 and 9,900 items;
#   4. hostile files: time per byte against the 990-item NF-e's, and peak
#      memory against the file size;
#   5. the whole folder read on every call: 20,000 NF-e with the key in the
#      first file and in the last, the same with 2 events of the key, 2,000
#      NFC-e and 2,000 NF-e of about their size, each against `cat`
#      (without the index of searched folders);
#   6. that index (measure_index.py, run first): the repeated search of the
#      20,000 NF-e against a listing with stat, the first search against
#      the search without the index, files evicted from the page cache.
# Then the in-process micro-benchmarks (Google Benchmark).
#
#   IDF_CORPUS_DIR=/path/to/corpus bench/run.sh   # from the repository root
#   IDF_BENCH_RUNS=21 IDF_CORPUS_DIR=... bench/run.sh
# Exit status 1 when a target is not met.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${IDF_BENCH_BUILD:-$root/build-bench}
runs=${IDF_BENCH_RUNS:-15}
[[ -n ${IDF_CORPUS_DIR:-} && -f ${IDF_CORPUS_DIR:-}/MANIFEST.tsv ]] ||
  { echo "the data is made from the real documents: set IDF_CORPUS_DIR to their folder (with MANIFEST.tsv)"; exit 2; }
command -v xmllint >/dev/null || { echo "xmllint is needed (apt-get install libxml2-utils)"; exit 2; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DIDF_BUILD_TESTS=OFF -DIDF_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target integracao-docs-fiscal idf_bench >/dev/null

data=$(mktemp -d "${TMPDIR:-/tmp}/idf-bench-XXXXXX")
trap 'rm -rf "$data"' EXIT
echo "== generating the data in $data"
python3 "$root/bench/gen_data.py" folder "$data/folder" --count 5000 >"$data/key.txt"
python3 "$root/bench/gen_data.py" folder "$data/folder-20000" --count 20000 --max-size 20000 --seed 2 \
  >"$data/key-20000.txt" 2>/dev/null
nfce_size=$(python3 "$root/bench/gen_data.py" nfce "$data/nfce" --count 2000 2>&1 >"$data/key-nfce.txt")
python3 "$root/bench/gen_data.py" folder "$data/nfe-like-nfce" --count 2000 --size "$nfce_size" --seed 3 \
  >"$data/key-nfe-like-nfce.txt" 2>/dev/null
# Each document chosen in the dialog alone in its folder, as the import also
# reads the folder of the chosen file (and the items files share one key).
for n in 99 990 9900; do
  mkdir -p "$data/items-$n"
  python3 "$root/bench/gen_data.py" items "$data/items-$n/items-$n.xml" --items "$n" >/dev/null
done
mkdir -p "$data/small"
python3 "$root/bench/gen_data.py" items "$data/small/small.xml" --items 1 >/dev/null
for hostile in attributes:160000 names:1500000 items:350000 entities:530000 defaults:400000; do
  mkdir -p "$data/hostile/${hostile%%:*}"
  python3 "$root/bench/gen_data.py" hostile "$data/hostile/${hostile%%:*}/${hostile%%:*}.xml" --kind "${hostile%%:*}" \
    --count "${hostile##*:}"
done

status=0
echo "== the index of the folders searched (files evicted from the page cache before every run)"
python3 "$root/bench/measure_index.py" --cli "$build/integracao-docs-fiscal" --folder "$data/folder-20000" \
  --key "$(cat "$data/key-20000.txt")" --runs 5 || status=1

# The figures below measure the reading of the folder itself: without the index.
echo "== whole calls (median of $runs runs each, compared commands alternating)"
IDF_SEM_INDICE=1 python3 "$root/bench/measure.py" --cli "$build/integracao-docs-fiscal" --data "$data" --runs "$runs" ||
  status=1

echo "== in-process micro-benchmarks"
IDF_BENCH_DATA="$data" "$build/bench/idf_bench" --benchmark_min_time=0.2 --benchmark_counters_tabular=true
exit $status
