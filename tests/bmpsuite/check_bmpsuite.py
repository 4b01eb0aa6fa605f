#!/usr/bin/env python3
"""kopc_map against the bmpsuite corpus, file by file.

    check_bmpsuite.py runs|pixels --suite DIR --expected DIR -- [EMULATOR...] PROGRAM

runs:   every file as the shape bitmap of `kopc_map -s FILE --overwrite DATA`; the
        status must be 1 (no bmpsuite file has a width that divides into 16 tiles),
        standard error empty, standard output exactly expected/<dir>/<file>.txt.
pixels: every file that the reader accepts (its expected run gets past the reader)
        decodes, through bmp_rgba, to the RGBA pixels whose SHA-256 the manifest records
        for Pillow; every file it refuses is refused by bmp_rgba too. In both cases the
        reader's own lines are the first lines of the expected run.

The corpus is read in place; the folder missing means the test is skipped (status 77).
"""

import argparse
import csv
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kopc_data  # noqa: E402

SKIP = 77
# Lines that come after the reader's own: the shape loader's and the driver's.
AFTER_READER = ("error: read '", "error: shape bitmap is too small",
                "error: illegal shape bitmap size", "error: read shape bitmap '")


def load_manifest(suite):
    with open(os.path.join(suite, "MANIFEST.tsv"), newline="") as f:
        return list(csv.DictReader(f, delimiter="\t"))


def expected_text(expected_dir, path):
    with open(os.path.join(expected_dir, path + ".txt"), newline="") as f:
        return f.read()


def reader_lines(text):
    lines = text.splitlines(keepends=True)
    for i, line in enumerate(lines):
        if line.startswith(AFTER_READER):
            return "".join(lines[:i])
    return text


def accepted_by_reader(text):
    return "error: read '" not in text


def link_suite(suite, work):
    """Makes the corpus folders visible under their own names in `work`, so the file
    names that kopc_map prints are the manifest's relative paths."""
    for d in ("g", "q", "b"):
        try:
            os.symlink(os.path.join(suite, d), os.path.join(work, d))
        except OSError:
            shutil.copytree(os.path.join(suite, d), os.path.join(work, d))


def check_runs(args, manifest, work):
    link_suite(args.suite, work)
    kopc_data.write_data_set(os.path.join(work, "data"))
    failures = []
    for row in manifest:
        path = row["path"]
        want = expected_text(args.expected, path)
        run = subprocess.run(args.command + ["-s", path, "--overwrite", "data"], cwd=work,
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        got = run.stdout.decode("latin-1").replace("\r\n", "\n")
        problems = []
        if run.returncode != 1:
            problems.append("status %d, want 1" % run.returncode)
        if run.stderr:
            problems.append("stderr: %r" % run.stderr[:2000])
        if got != want:
            problems.append("stdout:\n%s--- want:\n%s" % (got, want))
        if problems:
            failures.append("%s: %s" % (path, "; ".join(problems)))
    return failures


def check_pixels(args, manifest, work):
    link_suite(args.suite, work)
    failures = []
    accepted = 0
    for row in manifest:
        path = row["path"]
        want = expected_text(args.expected, path)
        out = os.path.join(work, "rgba")
        if os.path.exists(out):
            os.remove(out)
        run = subprocess.run(args.command + [path, "rgba"], cwd=work,
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        got = run.stdout.decode("latin-1").replace("\r\n", "\n")
        problems = []
        if run.stderr:
            problems.append("stderr: %r" % run.stderr[:2000])
        if got != reader_lines(want):
            problems.append("reader lines:\n%s--- want:\n%s" % (got, reader_lines(want)))
        if accepted_by_reader(want):
            accepted += 1
            reference = row["pillow_rgba_sha256"]
            if run.returncode != 0:
                problems.append("status %d, want 0" % run.returncode)
            elif row["pillow_load"] != "ok":
                problems.append("accepted, but no reference pixels in the manifest")
            else:
                with open(out, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
                if digest != reference:
                    problems.append("RGBA sha256 %s, want %s" % (digest, reference))
        elif run.returncode != 1:
            problems.append("status %d, want 1 (refused)" % run.returncode)
        if problems:
            failures.append("%s: %s" % (path, "; ".join(problems)))
    if accepted == 0:
        failures.append("no file of the corpus is accepted by the reader")
    print("%d files accepted by the reader and compared with the reference" % accepted)
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["runs", "pixels"])
    parser.add_argument("--suite", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("command", nargs="+", help="the program, after an emulator if any")
    args = parser.parse_args()
    args.suite = os.path.abspath(args.suite)
    args.command = [os.path.abspath(a) if os.path.exists(a) else a for a in args.command]
    if not os.path.isfile(os.path.join(args.suite, "MANIFEST.tsv")):
        print("bmpsuite not found at %s: skipped" % args.suite)
        return SKIP
    manifest = load_manifest(args.suite)
    expected_files = sum(len(files) for _, _, files in os.walk(args.expected))
    if expected_files != len(manifest):
        print("%d expected files for %d corpus files" % (expected_files, len(manifest)))
        return 1
    with tempfile.TemporaryDirectory() as work:
        check = check_runs if args.mode == "runs" else check_pixels
        failures = check(args, manifest, work)
    for failure in failures:
        print("FAIL " + failure)
    print("%d of %d files as expected" % (len(manifest) - len(failures), len(manifest)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
