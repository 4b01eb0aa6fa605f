#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""kopc_map and its BMP reader against the bmpsuite corpus, file by file.

    check_bmpsuite.py SUITE EXPECTED BMP_RGBA [EMULATOR...] KOPC_MAP

Every file is the shape bitmap of `kopc_map -s FILE --overwrite DATA`: the status must be
1 (no bmpsuite file has a width that divides into 16 tiles), standard error empty and
standard output exactly EXPECTED/<file>.txt. Every file is also decoded by BMP_RGBA (the
reader alone): it prints the reader's own lines of that text, and for every file the
reader accepts, its RGBA pixels have the SHA-256 that the manifest records for Pillow.
The corpus is read in place; without it the test is skipped (status 77).
"""

import csv
import hashlib
import itertools
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kopc_data  # noqa: E402


# The lines that follow the reader's own: the shape loader's and the run's.
AFTER_READER = ("error: read '", "error: shape bitmap is too small",
                "error: illegal shape bitmap size", "error: read shape bitmap '")


def run(command, cwd):
    done = subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=60)
    return done.returncode, done.stdout.decode("latin-1").replace("\r\n", "\n"), done.stderr


def main():
    suite, expected, rgba = (os.path.abspath(a) for a in sys.argv[1:4])
    emulator, kopc_map = sys.argv[4:-1], os.path.abspath(sys.argv[-1])
    if not os.path.isfile(os.path.join(suite, "MANIFEST.tsv")):
        print("skipped: no bmpsuite at %s (KOPC_BMPSUITE=DIR make test names one)" % suite)
        return 77
    with open(os.path.join(suite, "MANIFEST.tsv"), newline="") as f:
        manifest = list(csv.DictReader(f, delimiter="\t"))
    failures, accepted = [], 0
    with tempfile.TemporaryDirectory() as work:
        kopc_data.write_data_set(os.path.join(work, "data"))
        for d in ("g", "q", "b"):  # the names kopc_map prints are the manifest's paths
            try:
                os.symlink(os.path.join(suite, d), os.path.join(work, d))
            except OSError:  # no symbolic links for this Windows user
                shutil.copytree(os.path.join(suite, d), os.path.join(work, d))
        for row in manifest:
            path = row["path"]
            with open(os.path.join(expected, path + ".txt"), newline="") as f:
                want = f.read()
            lines = want.splitlines(keepends=True)
            reader = "".join(itertools.takewhile(lambda x: not x.startswith(AFTER_READER), lines))
            refused = "error: read '" in want
            got = run(emulator + [kopc_map, "-s", path, "--overwrite", "data"], work)
            if got != (1, want, b""):
                failures.append("%s: kopc_map gave %r, want status 1 and:\n%s" % (path, got, want))
            got = run(emulator + [rgba, path, "rgba"], work)
            if got != (1 if refused else 0, reader, b""):
                failures.append("%s: bmp_rgba gave %r, want:\n%s" % (path, got, reader))
            elif not refused:
                accepted += 1
                with open(os.path.join(work, "rgba"), "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
                if digest != row["pillow_rgba_sha256"]:
                    failures.append("%s: RGBA sha256 %s, Pillow's %s"
                                    % (path, digest, row["pillow_rgba_sha256"]))
    for failure in failures:
        print("FAIL " + failure)
    print("%d of %d files as expected, %d accepted by the reader and compared with Pillow"
          % (len(manifest) - len(failures), len(manifest), accepted))
    return 1 if failures or accepted == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
