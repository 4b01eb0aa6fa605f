#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Benchmark of kopc_map against its floor: the kernel copying the same bytes.

usage: bench.py KOPC_MAP KOPC_SAMPLE [--pairs N] [--big-pairs N] [--cases 1,2,3]
Needs GNU time (/usr/bin/time, Debian package "time") for the peak memory.

Each case renders the sample world and is set against `cp` of the run's own 31 files into
an empty folder: the kernel's copy of the same bytes, which the program cannot beat
because it must also compose every byte once in memory. A case and its `cp` alternate,
pair after pair, each into a fresh empty folder made before the clock starts, so that
drift of the machine hits both alike. Wall time is the parent's clock around the child;
CPU time is the child's user + system time from getrusage. Medians are reported with
the smallest and largest value. This is a measurement, not a test.
"""

import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1024 * 1024
LARGE = 2 * MIB  # the large page that an image of this size and more is mapped in
MAX_FAULTS = 400  # minor page faults of one run, the target of every case


def timed(argv, cwd):
    """Runs argv in cwd; returns (wall seconds, CPU seconds, minor page faults of the child)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    status = subprocess.call(argv, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if status != 0:
        sys.exit(f"bench: {' '.join(argv)} failed with status {status}")
    return (wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime),
            after.ru_minflt - before.ru_minflt)


def peak_kib(argv, cwd):
    """Maximum resident set size of argv in KiB, as GNU time reports it: a small C parent
    that counts the child alone (a child forked by Python would start with its pages)."""
    report = os.path.join(cwd, "..", "time.txt")
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + argv, cwd=cwd, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    with open(report) as f:
        return int(f.read().split()[-1])


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)


def summary(values):
    return statistics.median(values), min(values), max(values)


def measure(work, run_argv, pairs, warmup):
    """Alternates the run and `cp` of its output; returns medians, extremes and sizes."""
    reference, out, copy = (os.path.join(work, n) for n in ("reference", "out", "copy"))
    fresh(reference)
    timed(run_argv, reference)
    names = sorted(os.listdir(reference))
    cp_argv = ["cp"] + [os.path.join(reference, n) for n in names] + [copy]
    results = {"run": ([], [], []), "cp": ([], [], [])}
    for i in range(warmup + pairs):
        for name, argv, folder, cwd in (("run", run_argv, out, out), ("cp", cp_argv, copy, work)):
            fresh(folder)
            if i >= warmup:
                for values, value in zip(results[name], timed(argv, cwd)):
                    values.append(value)
            else:
                timed(argv, cwd)
        fresh(out)
        fresh(copy)
    fresh(out)
    peak = max(peak_kib(run_argv, out) for _ in range(3))
    size = sum(os.path.getsize(os.path.join(reference, n)) for n in names)
    shutil.rmtree(reference)
    shutil.rmtree(out)
    shutil.rmtree(copy)
    return results, peak, size


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kopc_map")
    parser.add_argument("kopc_sample")
    parser.add_argument("--pairs", type=int, default=40)
    parser.add_argument("--big-pairs", type=int, default=5, help="pairs of the 2 GB case")
    parser.add_argument("--cases", default="1,2,3")
    args = parser.parse_args()
    kopc_map = os.path.abspath(args.kopc_map)

    work = tempfile.mkdtemp(prefix="kopc-bench-", dir=os.environ.get("KOPC_BENCH_DIR"))
    try:
        data = os.path.join(work, "data")
        subprocess.run([os.path.abspath(args.kopc_sample), data], check=True,
                       stdout=subprocess.DEVNULL)
        # title, extra arguments, image bytes, sheet bytes, target ratio, pairs
        cases = [
            ("1 default: EGA, 4 bits, 1024 x 1024", [], 1024 * 1024, 256 * 64, 1.20, args.pairs),
            ("2 -s 24-bit 512 x 128: 2048 x 2048", ["-s", os.path.join(data, "shapes24.bmp")],
             2048 * 2048 * 3, 512 * 128 * 3, 1.10, args.pairs),
            ("3 -s 32-bit 1024 x 256: 4096 x 4096", ["-s", os.path.join(data, "shapes32.bmp")],
             4096 * 4096 * 4, 1024 * 256 * 4, 1.10, args.big_pairs),
        ]
        print(f"machine: {os.cpu_count()} cores; medians (min..max) of alternating pairs, "
              "after one warm-up pair")
        for i, (title, extra, image, sheet, target, pairs) in enumerate(cases, 1):
            if str(i) not in args.cases.split(","):
                continue
            results, peak, size = measure(work, [kopc_map, "--overwrite"] + extra + [data],
                                          pairs, 1)
            # An image of 2 MiB and more lives in whole large pages.
            mapped = image if image < LARGE else -(-image // LARGE) * LARGE
            limit = (mapped + sheet + MIB) // 1024
            print(f"\ncase {title}: {size / MIB:.0f} MiB written, {pairs} pairs")
            for kind, index in (("wall", 0), ("CPU", 1)):
                run, cp = summary(results["run"][index]), summary(results["cp"][index])
                ratio = run[0] / cp[0]
                print(f"  {kind:4} run {run[0] * 1e3:8.1f} ms ({run[1] * 1e3:.1f}..{run[2] * 1e3:.1f})"
                      f"   cp {cp[0] * 1e3:8.1f} ms ({cp[1] * 1e3:.1f}..{cp[2] * 1e3:.1f})"
                      f"   ratio {ratio:5.2f}  target {target:4.2f}  {'ok' if ratio <= target else 'ABOVE'}")
            run, cp = summary(results["run"][2]), summary(results["cp"][2])
            print(f"  faults run {run[0]:8.0f}    ({run[1]}..{run[2]})   cp {cp[0]:8.0f}    "
                  f"({cp[1]}..{cp[2]})   target {MAX_FAULTS}  "
                  f"{'ok' if run[0] <= MAX_FAULTS else 'ABOVE'}")
            print(f"  peak memory {peak} KiB, limit {limit} KiB (image + sheet + 1 MiB)  "
                  f"{'ok' if peak <= limit else 'ABOVE'}")
        print("\nLegend: run = kopc_map, cp = `cp` of its 31 files into an empty folder (the "
              "floor);\nratio = run median / cp median; target = the largest ratio the "
              "project accepts;\nfaults = minor page faults of the child (getrusage), the same "
              "count on every host;\nlimit = the largest peak resident memory accepted: the "
              "map image (in whole 2 MiB pages from 2 MiB on), the shape sheet and 1 MiB.")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
