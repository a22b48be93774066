#!/usr/bin/env python3
"""The figures of the index of searched folders: each command in a fresh
process with the folder's files evicted from the page cache before every
run (evict.py), compared commands alternating, medians.

  measure_index.py --cli PATH --folder DIR --key KEY [--runs N]

  repeated search (index made) against a listing with stat of the folder
      (`find -printf` of size, times and inode): target <= 2x;
  first search (no index yet) against the search without the index
      (--sem-indice, today's whole read): target <= 1.1x;
  the index's size.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(argv, env, folder):
    subprocess.run([sys.executable, os.path.join(HERE, "evict.py"), folder], check=True)
    start = time.perf_counter()
    code = subprocess.run(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    return time.perf_counter() - start, code


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    cache = tempfile.mkdtemp(prefix="idf-index-cache-")
    out = tempfile.mkdtemp(prefix="idf-index-out-")
    env = dict(os.environ, XDG_CACHE_HOME=cache)
    env.pop("IDF_SEM_INDICE", None)
    search = [args.cli, "nfe", "--chave", args.key, "--pasta", args.folder, "--saida", out, "--silencioso"]
    listing = ["find", args.folder, "-maxdepth", "1", "-name", "*.xml", "-printf", "%s %T@ %C@ %i\n"]
    names = os.listdir(args.folder)
    size = sum(os.path.getsize(os.path.join(args.folder, n)) for n in names)
    print(f"{len(names):,} files, {size / 1e6:.0f} MB, files evicted before every run, {args.runs} runs")

    # First search against today's whole read, both without an index.
    first, today = [], []
    for _ in range(args.runs):
        shutil.rmtree(os.path.join(cache, "integracao-docs-fiscal"), ignore_errors=True)
        first.append(run(search, env, args.folder)[0])
        today.append(run(search + ["--sem-indice"], env, args.folder)[0])
    f, t = statistics.median(first), statistics.median(today)
    print(f"   first search {f * 1e3:.0f} ms, without the index {t * 1e3:.0f} ms: ratio {f / t:.2f} (target <= 1.10)")

    # Files older than the index by 2 s are trusted: make it anew after that.
    time.sleep(2.1)
    shutil.rmtree(os.path.join(cache, "integracao-docs-fiscal"), ignore_errors=True)
    run(search, env, args.folder)
    index = os.path.join(cache, "integracao-docs-fiscal")
    index_size = sum(os.path.getsize(os.path.join(index, n)) for n in os.listdir(index))
    repeated, listed = [], []
    for _ in range(args.runs):
        repeated.append(run(search, env, args.folder)[0])
        listed.append(run(listing, env, args.folder)[0])
    r, l = statistics.median(repeated), statistics.median(listed)
    print(f"   repeated search {r * 1e3:.0f} ms, listing with stat {l * 1e3:.0f} ms: ratio {r / l:.2f} (target <= 2.00)")
    print(f"   index {index_size / 1e6:.2f} MB ({index_size / len(names):.0f} bytes a file)")
    shutil.rmtree(cache)
    shutil.rmtree(out)
    return 0 if f / t <= 1.1 and r / l <= 2.0 else 1


if __name__ == "__main__":
    sys.exit(main())
