#!/usr/bin/env python3
"""Two builds of the command-line tool side by side on the whole-folder and
index figures: each command of the old build alternating with the same
command of the new one (page cache warm), medians, and the ratio new/old.

  compare_builds.py --old OLD_CLI --new NEW_CLI --data DIR [--runs N]

DIR is the data folder of run.sh (gen_data.py): folder-20000/ with
key-20000.txt, and nfce/ with key-nfce.txt. Each build keeps its index in a
cache folder of its own (their formats may differ). The last figure adds
two events of the key to folder-20000 (gen_data.py events), as run.sh does.
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


def timed(argv, env):
    start = time.perf_counter()
    code = subprocess.run(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    return time.perf_counter() - start, code


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--old", required=True)
    parser.add_argument("--new", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--runs", type=int, default=11)
    args = parser.parse_args()
    big = os.path.join(args.data, "folder-20000")
    nfce = os.path.join(args.data, "nfce")
    last_key = open(os.path.join(args.data, "key-20000.txt")).read().strip()
    first_key = sorted(os.listdir(big), key=str.lower)[0].split("-")[0]
    nfce_key = open(os.path.join(args.data, "key-nfce.txt")).read().strip()
    out = tempfile.mkdtemp(prefix="idf-compare-out-")
    caches = {side: tempfile.mkdtemp(prefix=f"idf-compare-{side}-") for side in ("old", "new")}
    try:
        def command(side, tipo, key, folder, index):
            argv = [getattr(args, side), tipo, "--chave", key, "--pasta", folder, "--saida", out, "--silencioso"]
            env = dict(os.environ, XDG_CACHE_HOME=caches[side])
            if not index:
                argv.append("--sem-indice")
            return argv, env

        def figure(what, tipo, key, folder, index=False, fresh_index=False):
            times = {"old": [], "new": []}
            codes = set()
            for side in ("old", "new"):  # warm-up, and the index made
                timed(*command(side, tipo, key, folder, index))
            for _ in range(args.runs):
                for side in ("old", "new"):
                    if fresh_index:
                        shutil.rmtree(caches[side])
                        os.mkdir(caches[side])
                    seconds, code = timed(*command(side, tipo, key, folder, index))
                    times[side].append(seconds)
                    codes.add((side, code))
            old = statistics.median(times["old"])
            new = statistics.median(times["new"])
            exits = ", ".join(f"{side} exit {code}" for side, code in sorted(codes))
            print(f"{what:<58} 1.3.0 {old * 1000:7.0f} ms   now {new * 1000:7.0f} ms   "
                  f"now/1.3.0 {new / old:5.2f}   ({exits})")

        print(f"medians of {args.runs} alternated runs each")
        figure("whole folder, 20,000 NF-e, key in the first file", "nfe", first_key, big)
        figure("whole folder, 20,000 NF-e, key in the last file", "nfe", last_key, big)
        figure("whole folder, 2,000 NFC-e", "nfe", nfce_key, nfce)
        figure("index: repeated search of the 20,000 NF-e", "nfe", last_key, big, index=True)
        figure("index: first search of the 20,000 NF-e (no index yet)", "nfe", last_key, big, index=True,
               fresh_index=True)
        subprocess.run([sys.executable, os.path.join(HERE, "gen_data.py"), "events", big, "--key", last_key],
                       check=True)
        figure("whole folder with 2 events of the key (refused)", "nfe", last_key, big)
        figure("index: repeated search with 2 events of the key", "nfe", last_key, big, index=True)
    finally:
        shutil.rmtree(out, ignore_errors=True)
        for cache in caches.values():
            shutil.rmtree(cache, ignore_errors=True)


if __name__ == "__main__":
    main()
