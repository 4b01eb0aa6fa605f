#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Allocation failures: the test build of kopc_map fails its 1st, 2nd, ... allocation, one
per run, until a run gets through; and its gather writes are all cut short.

    check_faults.py [EMULATOR...] PROGRAM

Every failing run must end with status 1, nothing on standard error (a sanitizer build
reports leaks there), no file written, and exactly one of the message stacks of the
places that allocate, met in the order of the run: shapes, image (and making its pages
resident) and map blocks, then the map and NPC files of every catalogue row.
"""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kopc_data  # noqa: E402

MEMORY = "error: memory exhausted!\n"


def run(command, args, cwd, fail_at):
    env = dict(os.environ, KOPC_FAIL_ALLOC_AT=str(fail_at))
    r = subprocess.run(command + args, cwd=cwd, env=env, capture_output=True, timeout=300)
    return r.returncode, r.stdout.decode("latin-1").replace("\r\n", "\n"), r.stderr


def allocation_loop(command, args, stages, out_dir, images=None, outputs=kopc_data.OUTPUTS):
    """Fails allocation 1, 2, ... until a run succeeds, whose files must be `outputs` and,
    when given, `images` (by name); returns a list of problems. With no `stages`, a failing
    run's lines need only tell of the exhausted memory."""
    seen = []
    for n in range(1, 2000):
        status, out, err = run(command, args, out_dir, n)
        if status == 0:
            break
        if status != 1 or err or os.listdir(out_dir) or (
                out not in stages if stages else "error: memory exhaust" not in out):
            return ["allocation %d failing: status %d, stdout %r, stderr %r, files %r"
                    % (n, status, out, err[:2000], os.listdir(out_dir))]
        if not seen or seen[-1] != out:
            seen.append(out)
    written = sorted(os.listdir(out_dir))
    for name in written:
        with open(os.path.join(out_dir, name), "rb") as f:
            if images and f.read() != images[name]:
                return [name + " differs"]
        os.remove(os.path.join(out_dir, name))
    print("%s: %d allocations, each failed once, %d stacks" % (args[0], n - 1, len(seen)))
    if status != 0 or written != sorted(outputs):
        return ["no run got through with all files written"]
    return [] if seen == stages or not stages else ["stacks met in this order:\n%s\nwant:\n%s"
                                       % ("".join(seen), "".join(stages))]


def main():
    command = [os.path.abspath(a) if os.path.exists(a) else a for a in sys.argv[1:]]
    with tempfile.TemporaryDirectory() as work:
        # Every path is relative to the runs' folder, and long enough to need the heap.
        data = os.path.join("..", "folder-with-the-game-data")
        kopc_data.write_data_set(os.path.join(work, data[3:]))
        out_dir = os.path.join(work, "out")
        os.mkdir(out_dir)
        data_stages = ["%serror: read %s data '%s'\nerror: read map data\n" % (MEMORY, kind, name)
                       for row in kopc_data.CATALOGUE for kind, name in zip(("map", "npc"), row)]
        problems = allocation_loop(command, ["--overwrite", data],
                                   [MEMORY + "error: read shapes\n", MEMORY] + data_stages, out_dir)
        # 8-bit tiles of 2 x 2 pixels: the maps go out through the gather write, which this
        # build cuts short at every call (see fail_alloc.cpp), and must still come out whole.
        # Tiles of 32 x 32 make an image of 4 MiB, which comes from the system's pages (on
        # Windows from VirtualAlloc, which this build cannot fail: left out there).
        for tile in (2, 32) if "wine" not in " ".join(command) else (2,):
            shape = os.path.join("..", "shapes%d.bmp" % tile)
            palette, pixels = bytes(range(256)) * 4, [i * 7 % 256 for i in range(256 * tile * tile)]
            kopc_data.write(os.path.join(work, shape[3:]),
                            kopc_data.bmp_bytes(16 * tile, 4 * tile, 8, pixels, palette))
            lines = [[pixels[(tile * (s // 16) + y) * 16 * tile + tile * (s % 16):][:tile]
                      for y in range(tile)] for s in range(64)]
            images = {name: kopc_data.map_bmp(kopc_data.map_cells(kopc_data.test_map(row)), lines,
                                              8, palette)
                      for row, name in enumerate(kopc_data.OUTPUTS)}
            problems += allocation_loop(command, ["-s", shape, "--overwrite", data], [
                "error: memory exhaust!\nerror: read '%s'\nerror: read shape bitmap '%s'\n"
                % (shape, shape), MEMORY] + data_stages, out_dir, images)
        # The companions, their names files read too (an allocation there is the first to fail).
        kopc_data.write(os.path.join(work, "names.txt"), b"2a chest\n3f " + "\u00e9".encode() * 40 + b"\n")
        tiled = ["ko.tiles.png", "ko.tiles.tsx"] + [n[:-3] + "tmx" for n in kopc_data.OUTPUTS]
        for variable, outputs in (("KOPC_ATLAS_FAILALLOC", ["atlas.html"]), ("KOPC_TMX_FAILALLOC", tiled)):
            if os.environ.get(variable):  # the run that gets through writes what a run without faults writes
                program, args = command[:-1] + [os.path.abspath(os.environ[variable])], ["--names", "../names.txt", "--overwrite", data]
                run(program, args, out_dir, 0)
                whole = {n: open(os.path.join(out_dir, n), "rb").read() for n in os.listdir(out_dir)}
                for n in whole:
                    os.remove(os.path.join(out_dir, n))
                problems += allocation_loop(program, args, None, out_dir, whole, outputs)
        # kopc_import, back from kopc_tmx's maps with one cell of Kessa painted: a failing run writes nothing.
        if os.environ.get("KOPC_IMPORT_FAILALLOC"):
            os.mkdir(os.path.join(work, "tmx"))
            subprocess.run(command[:-1] + [os.path.abspath(os.environ["KOPC_TMX_FAILALLOC"]), data],
                           cwd=os.path.join(work, "tmx"), check=True, stdout=subprocess.DEVNULL)
            kessa = os.path.join(work, "tmx", "ko.Kessa.tmx")
            with open(kessa) as f:
                text = re.sub(r'(csv">\n)\d+', r"\g<1>6", f.read(), count=1)
            with open(kessa, "w") as f:
                f.write(text)
            problems += allocation_loop(command[:-1] + [os.path.abspath(os.environ["KOPC_IMPORT_FAILALLOC"])],
                                        ["--overwrite", "../tmx", data], None, out_dir, outputs=[])
            with open(os.path.join(work, data[3:], "MAPG10"), "rb") as f:
                problems += [] if f.read(1) == b"\5" else ["kopc_import wrote no edit"]
    for p in problems:
        print("FAIL " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
