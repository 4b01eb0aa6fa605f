# SPDX-License-Identifier: MIT
"""A full run of kopc_map on the sample world (the generator is KOPC_SAMPLE), which must
be the same on every run and carry the same tiles in its stand-in EGA executable as in its
shape bitmap.

The generator lists the NPC slots it planted to disagree with their maps. The lines
kopc_map must print are worked out here from that list and the raw bytes of the map and
NPC files, put in the renderer's cell order; the renderer itself is not consulted.
"""

import filecmp
import os
import subprocess

import kopc_data


def read(path):
    with open(path, "rb") as f:
        return f.read()


class SampleWorld(kopc_data.ProgramTest):
    def test_full_run_reports_the_planted_mismatches(self):
        generator = kopc_data.COMMAND[:-1] + [os.environ["KOPC_SAMPLE"]]
        for name in ("data", "again"):
            subprocess.run(generator + [self.path(name)], check=True, stdout=subprocess.DEVNULL)
        same = filecmp.dircmp(self.path("data"), self.path("again"))
        self.assertEqual((same.left_only, same.right_only, same.diff_files), ([], [], []))

        found = []
        for line in read(self.path("data", "sample-mismatches.txt")).decode().splitlines():
            if line and not line.startswith("#"):
                row, slot = (int(v) for v in line.split())
                map_file, mon_file, *_ = kopc_data.CATALOGUE[row]
                npc = read(self.path("data", mon_file))
                x, y, shown, ground = npc[slot], npc[32 + slot], npc[96 + slot], npc[128 + slot]
                t = read(self.path("data", map_file))[y * 64 + x]
                found.append(((row, y, x, slot),
                              kopc_data.mismatch_line(row, slot, x, y, t, shown, ground)))
        self.assertGreaterEqual(len(found), 4)
        self.assertIn(kopc_data.KEEP_MAP_ROW, [key[0] for key, _ in found])

        # The stand-in KOEGA.EXE carries the tiles that shapes24.bmp shows at twice the size.
        block = read(self.path("data", "KOEGA.EXE"))[kopc_data.EGA_OFFSET:][:8192]
        sheet = read(self.path("data", "shapes24.bmp"))
        for s, y, x in ((s, y, x) for s in range(64) for y in range(16) for x in range(16)):
            index = block[128 * s + 8 * y + x // 2] >> (0 if x % 2 else 4) & 15
            at = 54 + (127 - 2 * (16 * (s // 16) + y)) * 1536 + 6 * (16 * (s % 16) + x)
            self.assertEqual(sheet[at:at + 3], kopc_data.EGA_PALETTE[4 * index:4 * index + 3])

        self.kopc("--overwrite", "data", status=0, out="".join(text for _, text in sorted(found)))
        self.assertEqual(self.bmp_files(), sorted(kopc_data.OUTPUTS))
        for name in kopc_data.OUTPUTS:  # 4 bits: 54 header bytes, 16 colours, 1024 rows
            self.assertEqual(os.path.getsize(self.path(name)), 54 + 64 + 1024 * 512, name)

    def test_generator_help_and_unknown_options(self):
        usage = "usage: kopc_sample DIR"
        for arg, status, first in (("--help", 0, usage), ("-h", 1, "error: unknown option '-h'"),
                                   ("-", 1, "error: unknown option '-'")):
            run = subprocess.run(kopc_data.COMMAND[:-1] + [os.environ["KOPC_SAMPLE"], arg],
                                 cwd=self.dir, capture_output=True, text=True)
            lines = run.stdout.splitlines()
            self.assertEqual((run.returncode, lines[0], usage in lines), (status, first, True))
            self.assertEqual(os.listdir(self.dir), [], "no world written")


if __name__ == "__main__":
    kopc_data.main()
