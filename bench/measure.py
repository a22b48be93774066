#!/usr/bin/env python3
"""Measures the whole-call figures of the benchmark and prints each as a
ratio of two measurements taken in the same run, with its target.

  measure.py --cli PATH --data DIR [--runs N]

DIR holds what gen_data.py made: folder/ (the download folder), key.txt (the
wanted key), items-N/items-N.xml for 99, 990 and 9,900 items, small/small.xml
and hostile/KIND/KIND.xml, each document alone in its folder (the import reads
the folder of the chosen file too), and for figure 5 folder-20000/, nfce/ and
nfe-like-nfce/ with their keys.

Commands that are compared run alternately (A B A B ...), after a warm-up
run of each, so that a noisy neighbour weighs on both sides alike; each
figure is the median of the runs. Peak memory is the maximum resident set
size of the command as GNU time reports it: a child forked from this Python
process would carry Python's own high-water mark through exec.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

GNU_TIME = "/usr/bin/time"


def run_once(argv):
    """(wall seconds, exit code) of one run."""
    start = time.perf_counter()
    code = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    return time.perf_counter() - start, code


def peak_rss_kib(argv):
    """The command's peak resident set size in KiB (0 without GNU time)."""
    if not os.access(GNU_TIME, os.X_OK):
        return 0
    with tempfile.NamedTemporaryFile("r") as out:
        subprocess.run([GNU_TIME, "-f", "%M", "-o", out.name] + argv, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        return int(out.read().split()[-1])


def compare(commands, runs):
    """Runs the named commands alternately; returns name -> (median s, peak RSS KiB, exit codes)."""
    times = {name: [] for name in commands}
    codes = {name: set() for name in commands}
    for name, argv in commands.items():  # warm-up: page cache, dynamic loader
        run_once(argv)
    for _ in range(runs):
        for name, argv in commands.items():
            t, c = run_once(argv)
            times[name].append(t)
            codes[name].add(c)
    rss = {name: max(peak_rss_kib(argv) for _ in range(3)) for name, argv in commands.items()}
    return {name: (statistics.median(times[name]), rss[name], codes[name]) for name in commands}


def items_path(data, n):
    return os.path.join(data, f"items-{n}", f"items-{n}.xml")


def verdict(value, target):
    return "met" if value <= target else "NOT met"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()
    data = args.data
    out = os.path.join(data, "out")
    os.makedirs(out, exist_ok=True)
    key = open(os.path.join(data, "key.txt")).read().strip()
    folder = os.path.join(data, "folder")
    failures = 0

    # 1. Locating: the search of 5,000 files against reading them.
    nfiles = len(os.listdir(folder))
    total = sum(os.path.getsize(os.path.join(folder, f)) for f in os.listdir(folder))
    r = compare({
        "search": [args.cli, "nfe", "--chave", key, "--pasta", folder, "--saida", out, "--silencioso"],
        "cat": ["sh", "-c", 'cat "$0"/* > /dev/null', folder],
    }, args.runs)
    if r["search"][2] != {0}:
        print("the search did not complete", file=sys.stderr)
        failures += 1
    ratio = r["search"][0] / r["cat"][0]
    failures += ratio > 2.0
    print(f"1. Locating: {nfiles} files, {total / 1e6:.0f} MB, key in the file that sorts last")
    print(f"   search {r['search'][0] * 1e3:.0f} ms, cat {r['cat'][0] * 1e3:.0f} ms: "
          f"ratio {ratio:.2f} (target <= 2.00, {verdict(ratio, 2.0)})")

    # 2. Converting: one NF-e of 990 items against xmllint --noout, and
    # peak memory above the baseline of a small import.
    big = items_path(data, 990)
    small = os.path.join(data, "small", "small.xml")
    size = os.path.getsize(big)
    r = compare({
        "import": [args.cli, "nfe", "--arquivo", big, "--saida", out, "--silencioso"],
        "xmllint": ["xmllint", "--noout", big],
        "baseline": [args.cli, "nfe", "--arquivo", small, "--saida", out, "--silencioso"],
    }, args.runs)
    if r["import"][2] != {0} or r["baseline"][2] != {0}:
        print("the conversion did not complete", file=sys.stderr)
        failures += 1
    ratio = r["import"][0] / r["xmllint"][0]
    if not r["import"][1]:
        print(f"{GNU_TIME} is missing (apt-get install time): no memory figure", file=sys.stderr)
        failures += 1
    baseline_kib = r["baseline"][1]
    extra = (r["import"][1] - baseline_kib) * 1024
    mem = extra / size
    failures += ratio > 1.5
    failures += mem > 5.0
    print(f"2. Converting: one NF-e of 990 items, {size / 1e6:.2f} MB")
    print(f"   import {r['import'][0] * 1e3:.1f} ms, xmllint --noout {r['xmllint'][0] * 1e3:.1f} ms: "
          f"ratio {ratio:.2f} (target <= 1.50, {verdict(ratio, 1.5)})")
    print(f"   peak memory {r['import'][1] / 1024:.1f} MiB, baseline {r['baseline'][1] / 1024:.1f} MiB "
          f"(a 1-item import): {extra / 2**20:.2f} MiB above it = {mem:.2f} x the file "
          f"(target <= 5.00, {verdict(mem, 5.0)})")

    # 3. Growth: 99, 990 and 9,900 items. The cost of each item added is
    # the slope between two sizes; linear growth keeps it the same from
    # 99 to 990 as from 990 to 9,900.
    sizes = [99, 990, 9900]
    cmds = {n: [args.cli, "nfe", "--arquivo", items_path(data, n), "--saida", out, "--silencioso"]
            for n in sizes}
    r = compare(cmds, args.runs)
    print("3. Growth (whole call)")
    for n in sizes:
        t, m, _ = r[n]
        fsize = os.path.getsize(items_path(data, n))
        print(f"   {n:>5} items, {fsize / 1e6:6.2f} MB: {t * 1e3:7.1f} ms, peak {m / 1024:6.1f} MiB")
    low = (r[990][0] - r[99][0]) / (990 - 99)
    high = (r[9900][0] - r[990][0]) / (9900 - 990)
    growth = high / low
    print(f"   cost of one more item: {low * 1e6:.1f} us from 99 to 990 items, {high * 1e6:.1f} us from 990 to 9,900: "
          f"ratio {growth:.2f} (linear: about 1; quadratic would be about 10)")
    failures += growth > 1.5

    # 4. Hostile files: each refused (or imported) in time and memory
    # linear in its size. Time per byte against the 990-item NF-e's, both
    # whole calls measured alternately; memory above the baseline against
    # the file size. The entity file is also searched for, in a folder of
    # its own: it holds no key, so the search fails after parsing it.
    hostile = os.path.join(data, "hostile")
    names = sorted(d + ".xml" for d in os.listdir(hostile)) if os.path.isdir(hostile) else []

    def hostile_path(name):
        return os.path.join(hostile, name[:-4], name)
    if names:
        print("4. Hostile files (whole call; time per byte and memory against the 990-item NF-e)")
        cmds = {"nfe": [args.cli, "nfe", "--arquivo", big, "--saida", out, "--silencioso"]}
        for name in names:
            cmds[name] = [args.cli, "nfe", "--arquivo", hostile_path(name), "--saida", out, "--silencioso"]
        search_dir = os.path.join(data, "hostile-search")
        if "entities.xml" in names:
            os.makedirs(search_dir, exist_ok=True)
            target = os.path.join(search_dir, "entities.xml")
            if not os.path.exists(target):
                os.link(hostile_path("entities.xml"), target)
            cmds["entities.xml, searched"] = [args.cli, "nfe", "--chave", key, "--pasta", search_dir, "--saida", out,
                                              "--silencioso"]
        r = compare(cmds, max(3, args.runs // 3))
        nfe_per_byte = r["nfe"][0] / size
        for name in cmds:
            if name == "nfe":
                continue
            fsize = os.path.getsize(hostile_path(name.split(",")[0]))
            t, m, _ = r[name]
            ratio = (t / fsize) / nfe_per_byte
            mem = max(0, m - baseline_kib) * 1024 / fsize
            failures += ratio > 10.0
            failures += mem > 20.0
            print(f"   {name:<24} {fsize / 1e6:6.2f} MB: {t * 1e3:8.1f} ms = {ratio:5.2f} x the time per byte "
                  f"(target <= 10, {verdict(ratio, 10.0)}), peak {m / 1024:6.1f} MiB = {mem:5.2f} x the file "
                  f"above the baseline (target <= 20, {verdict(mem, 20.0)})")
    failures += whole_folder(args, data, out)
    return 1 if failures else 0


def whole_folder(args, data, out):
    """5. Every call reads its whole folder (for the cancellation events of
    the document): each search against `cat` of the same files, and the
    NFC-e folder (the QR code in a CDATA section) against NF-e of about the
    same size. Returns the number of targets missed."""
    big = os.path.join(data, "folder-20000")
    if not os.path.isdir(big):
        return 0
    failures = 0
    runs = args.runs
    names = sorted(os.listdir(big))
    first_key = names[0].split("-")[0]
    last_key = open(os.path.join(data, "key-20000.txt")).read().strip()
    size = sum(os.path.getsize(os.path.join(big, f)) for f in names)
    print(f"5. Whole folder read on every call ({runs} runs each; targets: each <= 1.00 x cat, "
          f"NFC-e <= 1.50 x NF-e)")

    def search(key, folder):
        return [args.cli, "nfe", "--chave", key, "--pasta", folder, "--saida", out, "--silencioso"]

    def cat(folder):
        # Names without the folder: 20,000 full paths come near the limit of
        # a command line.
        return ["sh", "-c", 'cd "$0" && cat * > /dev/null', folder]

    def outcome(argv):
        """The tool's --json report of one run of the search."""
        run = subprocess.run(argv + ["--json"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        return json.loads(run.stdout)

    def report(label, r, name, cancelled=False):
        nonlocal failures
        # The document was found (its protocol read), and refused on its
        # cancellation when one lies beside it.
        got = outcome(commands[name])
        if got["protocolo"]["nProt"] is None or (got["cancelamento"] is not None) != cancelled:
            print(f"   {label}: unexpected outcome {got['resultado']}, {got['mensagens']}", file=sys.stderr)
            failures += 1
        ratio = r[name][0] / r["cat"][0]
        failures += ratio > 1.0
        print(f"   {label}: search {r[name][0] * 1e3:.0f} ms, cat {r['cat'][0] * 1e3:.0f} ms: "
              f"ratio {ratio:.2f} ({verdict(ratio, 1.0)})")
        return r[name][0]

    commands = {"first": search(first_key, big), "last": search(last_key, big), "cat": cat(big)}
    r = compare(commands, runs)
    print(f"   {len(names)} NF-e, {size / 1e6:.0f} MB")
    report("key in the first file", r, "first")
    report("key in the last file ", r, "last")

    # The same folder with a correction letter and a cancellation of the key
    # in the last file: both parsed, and the import refused.
    subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "gen_data.py"), "events", big, "--key",
                    last_key], check=True)
    commands = {"events": search(last_key, big), "cat": cat(big)}
    r = compare(commands, runs)
    report("the same with 2 events of the key (cancelled)", r, "events", cancelled=True)

    nfce = os.path.join(data, "nfce")
    nfe = os.path.join(data, "nfe-like-nfce")
    nfce_key = open(os.path.join(data, "key-nfce.txt")).read().strip()
    nfe_key = open(os.path.join(data, "key-nfe-like-nfce.txt")).read().strip()
    commands = {"nfce": search(nfce_key, nfce), "nfe": search(nfe_key, nfe), "cat": cat(nfce), "cat-nfe": cat(nfe)}
    r = compare(commands, runs)

    def folder_label(folder, what):
        files = os.listdir(folder)
        mb = sum(os.path.getsize(os.path.join(folder, f)) for f in files) / 1e6
        return f"{len(files):,} {what} ({mb:.0f} MB)"

    t_nfce = report(folder_label(nfce, "NFC-e"), r, "nfce")
    r_nfe = dict(r, cat=r["cat-nfe"])
    t_nfe = report(folder_label(nfe, "NF-e of the same size"), r_nfe, "nfe")
    ratio = t_nfce / t_nfe
    failures += ratio > 1.5
    print(f"   NFC-e against NF-e: ratio {ratio:.2f} (target <= 1.50, {verdict(ratio, 1.5)})")
    return failures


if __name__ == "__main__":
    sys.exit(main())
