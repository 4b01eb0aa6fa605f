# SPDX-License-Identifier: MIT
"""Runs the Linux and the Windows build of kopc_map (or of a companion) on the same data and
demands the same result: exit status, standard output (CR LF line ends on Windows, LF on
Linux) and every file written, byte for byte. Paths with characters beyond any ANSI code page
(Cyrillic, CJK, an emoji) are among the cases.

usage: compare_windows.py LINUX-PROGRAM GENERATOR -- WINDOWS-COMMAND...
(GENERATOR is the Linux kopc_sample; the Windows command is the emulator and the .exe)
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import kopc_data  # noqa: E402

WIDE = "Карты地図🗺"  # Wine passes names in the locale's encoding: UTF-8 here

# (name, arguments, standard input, output files there beforehand); the runs start in a
# folder beside the data sets.
CASES = [
    ("ega", ["../data"], b"", []),
    ("cga_doors", ["../data", "--cga", "-t"], b"", []),
    ("no_npcs_ignore_diff", ["../data", "-n", "--ignore-diff"], b"", []),
    ("no_mon_files", ["../data", "--no-mon-files", "--time-doors"], b"", []),
    ("shapes_24bit", ["../data", "-s", "../data/cmp24.bmp"], b"", []),
    ("shapes_1bit", ["../data", "-s", "../data/cmp1.bmp", "-t"], b"", []),
    ("question", ["../data"], b"x\ny\nn\n", ["ko.Elderdays.bmp", "ko.Firstland.bmp"]),
    ("question_page", ["../data"], b"x\nn\n", ["atlas.html"]),
    ("missing_data", ["../nowhere", "--cga"], b"", []),
    ("wide_folder", ["../" + WIDE, "-t"], b"", []),
    ("wide_shapes", ["../data", "-s", "../data/" + WIDE + ".bmp"], b"", []),
    ("wide_missing", ["../" + WIDE, "-s", "../" + WIDE + "/missing " + WIDE + ".bmp"], b"", []),
]
# kopc_import's runs start in a copy of the data set, the folder they write, beside the Tiled
# maps that the Linux kopc_tmx wrote of it: as written, and with one tile painted.
IMPORT_CASES = [
    ("unedited", ["--overwrite", "../tmx", "."], b"", "data"),
    ("painted_dry_run", ["--dry-run", "../tmx-painted", "."], b"", "data"),
    ("painted", ["--overwrite", "../tmx-painted", "."], b"", "data"),
    ("painted_answer_n", ["../tmx-painted", "."], b"n\n", "data"),
    ("wide_painted", ["--overwrite", "../" + WIDE + " tmx", "."], b"", "data"),
    ("missing_maps", ["../nowhere", "."], b"", "data"),
]


def make_data(folder, generator):
    """The test data set with NPCs that agree and disagree with their maps (rows 0, 2, 19,
    30, on a time door too), or the sample world; and two shape bitmaps."""
    if generator:
        subprocess.run([generator, folder], check=True, stdout=subprocess.DEVNULL)
    else:
        tiles = {row: kopc_data.test_map(row) for row in (0, 2, 19, 30)}
        kopc_data.write_data_set(folder, npcs={row: kopc_data.npc_record([
            (0, 5, 7, t[7 * 64 + 5], 0x10), (1, 9, 9, t[9 * 64 + 9] ^ 4, 0x21),
            (2, 9, 9, t[9 * 64 + 9], 0x32), (31, 63, 63, 0xFD, 0xFE), (4, 29, 56, 0x88, 0x8C)])
            for row, t in tiles.items()})
    indices = [(x * 7 + y * 3) % 256 for y in range(64) for x in range(256)]
    kopc_data.write(os.path.join(folder, "cmp24.bmp"), kopc_data.bmp_bytes(
        256, 64, 24, [bytes((i, 255 - i, i ^ 0x5A)) for i in indices]))
    kopc_data.write(os.path.join(folder, "cmp1.bmp"), kopc_data.bmp_bytes(
        128, 34, 1, [i & 1 for i in indices[:128 * 34]], b"\x10\x20\x30\x00\xF0\xE0\xD0\x00"))
    shutil.copy(os.path.join(folder, "cmp24.bmp"), os.path.join(folder, WIDE + ".bmp"))
    shutil.copytree(folder, os.path.join(folder, "..", WIDE))


def make_maps(root, kopc_tmx):
    """The Tiled maps of ROOT/data in ROOT/tmx, and in ROOT/tmx-painted and a folder of a wide name
    with the first cell of the first map painted with another tile of that map."""
    os.makedirs(os.path.join(root, "tmx"))
    subprocess.run([kopc_tmx, "../data"], cwd=os.path.join(root, "tmx"), check=True,
                   stdout=subprocess.DEVNULL)
    painted = os.path.join(root, "tmx-painted")
    shutil.copytree(os.path.join(root, "tmx"), painted)
    path = os.path.join(painted, sorted(n for n in os.listdir(painted) if n.endswith(".tmx"))[0])
    with open(path, encoding="utf-8") as f:
        head, csv = f.read().split('<data encoding="csv">\n', 1)
    cells = csv.split(",", 1)
    other = next(c for c in csv.split("</data>")[0].replace("\n", "").split(",") if c != cells[0])
    with open(path, "w", encoding="utf-8") as f:
        f.write(head + '<data encoding="csv">\n' + other + "," + cells[1])
    shutil.copytree(painted, os.path.join(root, WIDE + " tmx"))


def run(command, root, case):
    name, args, stdin, existing = case
    out = os.path.join(root, name)
    if isinstance(existing, str):  # a folder to start in a copy of
        shutil.copytree(os.path.join(root, existing), out)
        existing = []
    os.makedirs(out, exist_ok=True)
    for file_name in existing:
        kopc_data.write(os.path.join(out, file_name), b"an older image")
    proc = subprocess.run(command + args, cwd=out, input=stdin, capture_output=True, timeout=600)
    files = {}
    for file_name in sorted(os.listdir(out)):
        with open(os.path.join(out, file_name), "rb") as f:
            files[file_name] = f.read()
    shutil.rmtree(out)
    return proc.returncode, proc.stdout, files


def main():
    linux, generator = (os.path.abspath(a) for a in sys.argv[1:3])
    windows = [os.path.abspath(a) if os.path.exists(a) else a for a in sys.argv[4:]]
    failures = compared = 0
    importing = os.path.basename(linux) == "kopc_import"
    cases = IMPORT_CASES if importing else CASES
    with tempfile.TemporaryDirectory() as work:
        for data_name in ("generated", "sample"):
            root = os.path.join(work, data_name)
            make_data(os.path.join(root, "data"), generator if data_name == "sample" else None)
            if importing:
                make_maps(root, os.path.join(os.path.dirname(linux), "kopc_tmx"))
            for case in cases:
                l_status, l_out, l_files = run([linux], root, case)
                w_status, w_out, w_files = run(windows, root, case)
                problems = []
                if l_status != w_status:
                    problems.append("exit status %d on Linux, %d on Windows" % (l_status, w_status))
                if b"\n" in w_out.replace(b"\r\n", b"") or l_out != w_out.replace(b"\r\n", b"\n"):
                    problems.append("standard output differs:\n--- Linux\n%s--- Windows\n%s"
                                    % (l_out.decode(errors="replace"), w_out.decode(errors="replace")))
                if l_files != w_files:
                    problems.append("files differ: %s" % sorted(
                        n for n in set(l_files) | set(w_files) if l_files.get(n) != w_files.get(n)))
                compared += len(l_files)
                failures += bool(problems)
                print("%s %s/%s: status %d, %d files, %d output lines" % (
                    "DIFFERENT" if problems else "same     ", data_name, case[0], l_status,
                    len(l_files), l_out.count(b"\n")))
                for p in problems:
                    print("  " + p)
    print("%d runs of each build, %d files compared byte for byte, %d runs differ"
          % (2 * len(cases), compared, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
