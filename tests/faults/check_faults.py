#!/usr/bin/env python3
"""Failure injection for kopc_map.

    check_faults.py alloc|write [--suite DIR] -- [EMULATOR...] PROGRAM

alloc: the allocation-failing build fails its 1st, 2nd, ... allocation, one per run, until
       a run gets through. Every failing run must end with status 1, nothing on standard
       error (a sanitizer build reports leaks there) and exactly one of the message stacks
       of the places that allocate, met in the order of the run: shapes, image, then the
       map and NPC files of every catalogue row. Then hostile headers must be refused
       before the reader allocates anything (the first allocation failing changes nothing).
write: output files that can't be written completely (a full disk, a folder or a socket
       in the way, a link into a missing folder): each run ends at that map with the exact
       lines and status 1; the maps before it are complete, the ones after are absent.
"""

import argparse
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kopc_data  # noqa: E402

OUTPUTS = [row[2] for row in kopc_data.CATALOGUE]
MEMORY = "error: memory exhausted!\n"
MAX_RUNS = 2000  # far more allocations than a run makes; ends a runaway loop


def header(width, height, bits, size_image, file_size, off_bits):
    """The 54 header bytes of a V3 BMP with the given fields (32-bit values wrap)."""
    m = 0xFFFFFFFF
    return (b"BM" + struct.pack("<IHHI", file_size & m, 0, 0, off_bits) +
            struct.pack("<IIIHHIIIIII", 40, width & m, height & m, 1, bits, 0,
                        size_image & m, 0, 0, 0, 0))


def run(command, args, cwd, fail_at=None, stdin=b""):
    env = dict(os.environ)
    env.pop("KOPC_FAIL_ALLOC_AT", None)
    if fail_at is not None:
        env["KOPC_FAIL_ALLOC_AT"] = str(fail_at)
    r = subprocess.run(command + args, cwd=cwd, env=env, input=stdin, capture_output=True,
                       timeout=300)
    return r.returncode, r.stdout.decode("latin-1").replace("\r\n", "\n"), r.stderr


def data_stages():
    stages = []
    for map_file, mon_file, *_ in kopc_data.CATALOGUE:
        stages.append(MEMORY + "error: read map data '%s'\nerror: read map data\n" % map_file)
        stages.append(MEMORY + "error: read npc data '%s'\nerror: read map data\n" % mon_file)
    return stages


def allocation_loop(command, args, stages, out_dir, name):
    """Fails allocation 1, 2, ... until a run succeeds; returns a list of problems."""
    problems = []
    seen = []
    for n in range(1, MAX_RUNS + 1):
        status, out, err = run(command, args, out_dir, fail_at=n)
        if status == 0:
            written = sorted(os.listdir(out_dir))
            if out != "" or err or written != sorted(OUTPUTS):
                problems.append("%s: run %d succeeded with %r %r and %d files" %
                                (name, n, out, err[:500], len(written)))
            break
        if status != 1 or err or out not in stages or os.listdir(out_dir):
            problems.append("%s: allocation %d failing: status %d, stdout %r, stderr %r, "
                            "files %r" % (name, n, status, out, err[:2000], os.listdir(out_dir)))
            return problems
        if not seen or seen[-1] != out:
            seen.append(out)
    else:
        problems.append("%s: no run succeeded" % name)
    if seen != stages:
        problems.append("%s: stacks met in this order:\n%s\nwant:\n%s" %
                        (name, "".join(seen), "".join(stages)))
    print("%s: %d allocations, each failed once, %d stacks" % (name, n - 1, len(seen)))
    return problems


def hostile_headers(big):
    """(name, file bytes or a bmpsuite path, the reader's expected lines)."""
    cant = "error: read_bitmap() - can't read bitmap header\n"
    refused = "error: check_bitmap_header() - image size out of range\n" + cant
    data_0 = "warning: check_bitmap_header() - data length is 0 ... corrected: 0x0\n"
    file_0 = "warning: check_bitmap_header() - file length is 0\n"
    cases = [
        # 8 bits, 2^30 x 4: the data length wraps to 0, both lengths left 0.
        ("wrapped-8", header(1 << 30, 4, 8, 0, 0, 1078), data_0 + file_0 + refused),
        # 32 bits, 2^30 x 1: the row size itself wraps to 0.
        ("wrapped-32", header(1 << 30, 1, 32, 0, 0, 54), data_0 + file_0 + refused),
        # A top-down height of -4 with lengths that agree in 32 bits.
        ("top-down", header(16, -4, 24, -192, -192 + 54, 54), refused),
        ("zero-width", header(0, 4, 1, 0, 62, 62), data_0 + refused),
        # 2^31 bytes of pixels: one more than fits.
        ("too-big", header(0x8000, 0x10000, 8, 1 << 31, (1 << 31) + 1078, 1078), refused),
        # One pixel row less fits: accepted, so the reader asks for its buffer.
        ("largest", header(0x8000, 0xFFFF, 8, 0x7FFF8000, 0x7FFF8000 + 1078, 1078),
         "error: memory exhaust!\n"),
    ]
    if big is not None:
        cases.append(("reallybig", big, "error: check_bitmap_header() - data length "
                                        "0x7EEEEEEE != 0xF39B2000\n" + cant))
    return cases


def check_alloc(args, work):
    # The runs happen in `out`; every other path is relative to it.
    problems = []
    kopc_data.write_data_set(os.path.join(work, "folder-with-the-game-data"))
    data = os.path.join("..", "folder-with-the-game-data")  # long enough to need the heap
    out_dir = os.path.join(work, "out")
    os.mkdir(out_dir)

    shapes_stages = [MEMORY + "error: read shapes\n", MEMORY] + data_stages()
    problems += allocation_loop(args.command, ["--overwrite", data], shapes_stages, out_dir,
                                "default run")
    for name in os.listdir(out_dir):
        os.remove(os.path.join(out_dir, name))

    shape = os.path.join("..", "shapes.bmp")
    palette = b"".join(bytes((i, 255 - i, i // 2, 0)) for i in range(256))
    with open(os.path.join(work, "shapes.bmp"), "wb") as f:
        f.write(kopc_data.bmp_bytes(32, 8, 8, [(i * 7) % 256 for i in range(256)], palette))
    bitmap_stages = ["error: memory exhaust!\nerror: read '%s'\nerror: read shape bitmap "
                     "'%s'\n" % (shape, shape), MEMORY] + data_stages()
    problems += allocation_loop(args.command, ["-s", shape, "--overwrite", data],
                                bitmap_stages, out_dir, "shape bitmap run")

    big = os.path.join(args.suite, "b", "reallybig.bmp")
    if os.path.isfile(big):
        shutil.copyfile(big, os.path.join(work, "reallybig.bmp"))
    else:
        big = None
    cases = hostile_headers(big)
    for name, content, lines in cases:
        path = os.path.join("..", name + ".bmp")
        if isinstance(content, bytes):
            with open(os.path.join(work, name + ".bmp"), "wb") as f:
                f.write(content)
        want = lines + "error: read '%s'\nerror: read shape bitmap '%s'\n" % (path, path)
        status, out, err = run(args.command, ["-s", path, "--overwrite", data], out_dir,
                               fail_at=1)
        if status != 1 or out != want or err:
            problems.append("header %s: status %d, stderr %r, stdout:\n%s--- want:\n%s" %
                            (name, status, err[:2000], out, want))
    print("%d hostile headers checked with the first allocation failing" % len(cases))
    return problems


def make_socket(path):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.bind(path)
    s.close()


def write_cases(windows):
    """(name, possible on this host, setup(out_dir), with the small shape bitmap,
    --overwrite, standard input, the row whose map fails, expected stdout)."""
    def lines(row):
        return ("error: write bitmap '%s'\nerror: write bitmap file '%s'\n" %
                (OUTPUTS[row], OUTPUTS[row]))

    def opened(row):
        return "error: open '%s'\nerror: write bitmap file '%s'\n" % (OUTPUTS[row], OUTPUTS[row])

    def link(row, target):
        return lambda d: os.symlink(target, os.path.join(d, OUTPUTS[row]))

    # A full disk, a socket and a link are the host's, out of a Windows program's reach.
    full = os.path.exists("/dev/full") and not windows
    unix = hasattr(socket, "AF_UNIX") and not windows
    return [
        # A full disk noticed while the rows are written.
        ("full disk, first map", full, link(0, "/dev/full"), False, True, b"", 0, lines(0)),
        # The whole file fits the stream's buffer: only the close can notice.
        ("full disk, sixth map, small file", full, link(5, "/dev/full"), True, True, b"", 5,
         lines(5)),
        ("folder in the way", True, lambda d: os.mkdir(os.path.join(d, OUTPUTS[3])), False,
         True, b"", 3, opened(3)),
        # A dangling link does not exist to the status query: no question is asked.
        ("link into a missing folder", unix, link(0, os.path.join("missing", "x.bmp")), False,
         False, b"", 0, opened(0)),
        ("socket in the way, answered yes", unix,
         lambda d: make_socket(os.path.join(d, OUTPUTS[0])), False, False, b"y\n", 0,
         "'%s' already exists\noverwrite ? (Y or N): " % OUTPUTS[0] + opened(0)),
    ]


def check_write(args, work):
    problems = []
    kopc_data.write_data_set(os.path.join(work, "data"))
    data = os.path.join("..", "data")
    tiny = os.path.join("..", "tiny.bmp")
    with open(os.path.join(work, "tiny.bmp"), "wb") as f:  # 1-pixel tiles: 64 x 64 maps of 574 bytes
        f.write(kopc_data.bmp_bytes(16, 4, 1, [(i * 5) % 3 % 2 for i in range(64)],
                                    b"\0\0\0\0\xff\xff\xff\0"))
    done = 0
    for i, (name, possible, setup, small, overwrite, stdin, row, want) in enumerate(
            write_cases(args.command[-1].lower().endswith(".exe"))):
        done += possible
        if not possible:
            print("%s: not possible on this host, skipped" % name)
            continue
        out_dir = os.path.join(work, "out%d" % i)
        os.mkdir(out_dir)
        setup(out_dir)
        cmd = (["-s", tiny] if small else []) + (["--overwrite"] if overwrite else []) + [data]
        status, out, err = run(args.command, cmd, out_dir, stdin=stdin)
        size = 574 if small else 512 * 1024 + 118
        complete = [o for o in OUTPUTS[:row]
                    if os.path.getsize(os.path.join(out_dir, o)) == size]
        later = [o for o in OUTPUTS[row + 1:] if os.path.lexists(os.path.join(out_dir, o))]
        if status != 1 or out != want or err or len(complete) != row or later:
            problems.append("%s: status %d, stderr %r, %d complete maps before, later files "
                            "%r, stdout:\n%s--- want:\n%s" %
                            (name, status, err[:2000], len(complete), later, out, want))
    print("%d write failures checked" % done)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["alloc", "write"])
    parser.add_argument("--suite", default="")
    parser.add_argument("command", nargs="+", help="the program, after an emulator if any")
    args = parser.parse_args()
    args.command = [os.path.abspath(a) if os.path.exists(a) else a for a in args.command]
    with tempfile.TemporaryDirectory() as work:
        problems = (check_alloc if args.mode == "alloc" else check_write)(args, work)
    for p in problems:
        print("FAIL " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
