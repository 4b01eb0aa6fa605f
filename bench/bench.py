#!/usr/bin/env python3
"""Benchmark of kopc_map against its floor: copying the files it writes.

usage: bench.py KOPC_MAP KOPC_SAMPLE [--runs N] [--warmup N]
Needs GNU time (/usr/bin/time, Debian package "time") for the memory figures.

Cases, each measured in the same run on the same machine:
  1. the default run (EGA shapes, 4 bits, 1024 x 1024 maps) on the sample world,
     against `cp` of the same 31 files into a fresh folder;
  2. `-s` with the 24-bit 512 x 128 sample sheet (2048 x 2048 maps), against `cp`;
  3. the peak memory (maximum resident set size) of both runs, against the image
     buffer plus the sheet plus 1 MiB.
Every repetition writes into a fresh, empty folder (made before the clock starts), and
a case and its floor alternate so that drift of the machine hits both alike. Medians
are reported. This is a measurement, not a test: nothing here fails on a slow machine.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1024 * 1024


def timed(argv, cwd):
    """Runs argv in cwd and returns the seconds it took. Output is discarded."""
    start = time.perf_counter()
    status = subprocess.call(argv, cwd=cwd, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"bench: {' '.join(argv)} failed with status {status}")
    return elapsed


def peak_kib(argv, cwd):
    """Maximum resident set size of argv in KiB, as GNU time reports it. (The rusage of
    a child that Python starts would also count the pages of the Python process that
    forked it, so a small separate parent does the counting.)"""
    report = os.path.join(cwd, "..", "time.txt")
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + argv, cwd=cwd, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    with open(report) as f:
        return int(f.read().split()[-1])


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)


def measure(work, run_argv, reference, runs, warmup):
    """Alternates the run and the copy of its reference output; returns medians."""
    out = os.path.join(work, "out")
    copy = os.path.join(work, "copy")
    names = sorted(os.listdir(reference))
    cp_argv = ["cp"] + [os.path.join(reference, n) for n in names] + [copy]
    run_times, cp_times, peaks = [], [], []
    for i in range(warmup + runs):
        fresh(out)
        t = timed(run_argv, out)
        fresh(copy)
        c = timed(cp_argv, work)
        if i >= warmup:
            run_times.append(t)
            cp_times.append(c)
    for _ in range(3):
        fresh(out)
        peaks.append(peak_kib(run_argv, out))
    size = sum(os.path.getsize(os.path.join(reference, n)) for n in names)
    return statistics.median(run_times), statistics.median(cp_times), max(peaks), size


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kopc_map")
    parser.add_argument("kopc_sample")
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--warmup", type=int, default=3)
    args = parser.parse_args()
    kopc_map = os.path.abspath(args.kopc_map)

    work = tempfile.mkdtemp(prefix="kopc-bench-")
    try:
        data = os.path.join(work, "data")
        subprocess.run([os.path.abspath(args.kopc_sample), data], check=True,
                       stdout=subprocess.DEVNULL)
        sheet = os.path.join(data, "shapes24.bmp")
        cases = [
            ("default (EGA, 4 bits, 1024 x 1024)", [], 1024 * 1024 * 1, 256 * 64 * 1, 1.5),
            ("-s 24-bit sheet (2048 x 2048)", ["-s", sheet], 2048 * 2048 * 3, 512 * 128 * 3,
             1.3),
        ]
        print(f"machine: {os.cpu_count()} cores; {args.runs} runs after {args.warmup} "
              "warm-up runs; medians")
        print(f"{'case':38} {'output':>9} {'run ms':>8} {'cp ms':>8} {'ratio':>6} "
              f"{'target':>6} {'peak KiB':>9} {'limit KiB':>9}")
        for title, extra, image, sheet_bytes, target in cases:
            reference = os.path.join(work, "reference")
            fresh(reference)
            run_argv = [kopc_map, "--overwrite"] + extra + [data]
            timed(run_argv, reference)
            run, cp, peak, size = measure(work, run_argv, reference, args.runs,
                                          args.warmup)
            limit = (image + sheet_bytes + MIB) // 1024
            print(f"{title:38} {size / MIB:7.1f}MB {run * 1e3:8.1f} {cp * 1e3:8.1f} "
                  f"{run / cp:6.2f} {target:6.1f} {peak:9d} {limit:9d}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
