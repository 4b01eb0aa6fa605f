"""Runs the Linux and the Windows build of kopc_map on the same data and demands the
same result: exit status, standard output (CR LF line ends on Windows, LF on Linux)
and every file written, byte for byte.

usage: compare_windows.py WORK-DIR LINUX-PROGRAM [--sample GENERATOR] -- WINDOWS-COMMAND...
(the Windows command is the emulator followed by kopc_map.exe)
"""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "e2e"))
import kopc_data  # noqa: E402


def generated_data(folder):
    """The test data set, with NPCs that agree and disagree with their maps, including on
    the one map that keeps its own tile on a disagreement (row 19) and on time doors."""
    def tile(row, c, r):
        return ((row + c + r) % 64) * 4

    npcs = {}
    for row in (0, 2, 13, 19, 30):
        npcs[row] = kopc_data.npc_record([
            (0, 5, 7, tile(row, 5, 7), 0x10),        # agrees with the map
            (1, 9, 9, tile(row, 9, 9) ^ 0x04, 0x21),  # disagrees
            (2, 9, 9, tile(row, 9, 9), 0x32),         # second slot on the same cell
            (31, 63, 63, 0xFD, 0xFE),                 # last slot, last cell
            (4, 29, 56, 0x88, 0x8C),                  # on a time door of row 0
        ])
    kopc_data.write_data_set(folder, npcs=npcs)


def add_shape_bitmaps(folder):
    """A 24-bit and a 1-bit shape bitmap (tiles of 16 x 16 and 8 x 8 pixels)."""
    indices = [(x * 7 + y * 3) % 256 for y in range(64) for x in range(256)]
    with open(os.path.join(folder, "cmp24.bmp"), "wb") as f:
        f.write(kopc_data.bmp_bytes(256, 64, 24, [bytes((i, 255 - i, i ^ 0x5A)) for i in indices]))
    with open(os.path.join(folder, "cmp1.bmp"), "wb") as f:
        f.write(kopc_data.bmp_bytes(128, 34, 1, [i & 1 for i in indices[:128 * 34]],
                                    b"\x10\x20\x30\x00\xF0\xE0\xD0\x00"))


# (name, arguments after the data path, standard input, output files there beforehand)
CASES = [
    ("ega", [], b"", []),
    ("cga_doors", ["--cga", "-t"], b"", []),
    ("no_npcs_ignore_diff", ["-n", "--ignore-diff"], b"", []),
    ("no_mon_files", ["--no-mon-files", "--time-doors"], b"", []),
    ("shapes_24bit", ["-s", "../data/cmp24.bmp"], b"", []),
    ("shapes_1bit", ["-s", "../data/cmp1.bmp", "-t"], b"", []),
    ("question", [], b"x\ny\nn\n", ["ko.Elderdays.bmp", "ko.Firstland.bmp"]),
    ("missing_data", ["--cga"], b"", None),
]


def run_case(root, command, data_name, case):
    name, args, stdin, existing = case
    out = os.path.join(root, data_name + "." + name)
    os.makedirs(out)
    if existing is None:  # no data at all: the run ends at the executable
        data = "../nowhere"
    else:
        data = "../data"
        for file_name in existing:
            with open(os.path.join(out, file_name), "wb") as f:
                f.write(b"an older image")
    proc = subprocess.run(command + [data] + args, cwd=out, input=stdin,
                          capture_output=True, timeout=600)
    files = {}
    for file_name in sorted(os.listdir(out)):
        with open(os.path.join(out, file_name), "rb") as f:
            files[file_name] = f.read()
    return proc.returncode, proc.stdout, files


def main():
    work, linux = sys.argv[1], sys.argv[2]
    rest = sys.argv[3:]
    sample = None
    if rest[0] == "--sample":
        sample, rest = rest[1], rest[2:]
    # The runs start in folders of their own: paths given relative to here must not break.
    windows = [os.path.abspath(a) if os.path.exists(a) else a for a in rest[1:]]

    shutil.rmtree(work, ignore_errors=True)
    data_sets = ["generated"]
    for side in ("linux", "windows"):
        generated_data(os.path.join(work, side, "generated", "data"))
    if sample:
        data_sets.append("sample")
        for side in ("linux", "windows"):
            subprocess.run([sample, os.path.join(work, side, "sample", "data")], check=True,
                           stdout=subprocess.DEVNULL)
    for side in ("linux", "windows"):
        for data_name in data_sets:
            add_shape_bitmaps(os.path.join(work, side, data_name, "data"))

    failures = 0
    compared = 0
    for data_name in data_sets:
        for case in CASES:
            l_status, l_out, l_files = run_case(os.path.join(work, "linux", data_name),
                                                [os.path.abspath(linux)], data_name, case)
            w_status, w_out, w_files = run_case(os.path.join(work, "windows", data_name),
                                                windows, data_name, case)
            problems = []
            if l_status != w_status:
                problems.append("exit status %d on Linux, %d on Windows" % (l_status, w_status))
            if b"\n" in w_out.replace(b"\r\n", b""):
                problems.append("a line on Windows ends without CR LF")
            if l_out != w_out.replace(b"\r\n", b"\n"):
                problems.append("standard output differs:\n--- Linux\n%s--- Windows\n%s"
                                % (l_out.decode(errors="replace"),
                                   w_out.decode(errors="replace")))
            if sorted(l_files) != sorted(w_files):
                problems.append("files differ: %s vs %s" % (sorted(l_files), sorted(w_files)))
            else:
                for file_name in l_files:
                    compared += 1
                    if l_files[file_name] != w_files[file_name]:
                        problems.append(file_name + " differs")
            label = "%s/%s: status %d, %d files, %d output lines" % (
                data_name, case[0], l_status, len(l_files), l_out.count(b"\n"))
            if problems:
                failures += 1
                print("DIFFERENT " + label)
                for p in problems:
                    print("  " + p)
            else:
                print("same      " + label)
    print("%d runs of each build, %d files compared byte for byte, %d runs differ"
          % (len(data_sets) * len(CASES), compared, failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
