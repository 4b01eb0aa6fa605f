"""A full run of kopc_map on the sample world.

Usage: test_sample_run.py KOPC_SAMPLE KOPC_MAP [EMULATOR ...]

The generator lists the NPC slots it planted to disagree with their maps. The lines
kopc_map must print are worked out here from that list and the raw bytes of the map and
NPC files, formatted by hand and put in the renderer's cell order (row by row, then
column, then slot); the renderer itself is not consulted.
"""

import os
import subprocess
import sys
import tempfile
import unittest

SAMPLE, KOPC_MAP = sys.argv[1], sys.argv[2]
EMULATOR = sys.argv[3:]

# (map file, NPC file, output file, title) in catalogue order.
CATALOGUE = [
    ("MAPX00", "MONX00", "ko.Elderdays.bmp", "Elderdays"),
    ("MAPX03", "MONX03", "ko.Elderdays.Vesper's_Keep.bmp", "Elderdays Vesper's Keep"),
    ("MAPX10", "MONX10", "ko.Firstland.bmp", "Firstland"),
    ("MAPX11", "MONX11", "ko.Firstland.Orrin's_Town.bmp", "Firstland Orrin's Town"),
    ("MAPX20", "MONX20", "ko.OE.bmp", "O.E."),
    ("MAPX21", "MONX21", "ko.OE.Le_Falcon.bmp", "O.E. Le Falcon"),
    ("MAPX22", "MONX22", "ko.OE.Towne_Arla.bmp", "O.E. Towne Arla"),
    ("MAPX23", "MONX23", "ko.OE.Regent's_Castle.bmp", "O.E. Regent's Castle"),
    ("MAPX30", "MONX30", "ko.NE.bmp", "N.E."),
    ("MAPX31", "MONX31", "ko.NE.Port_Caldera.bmp", "N.E. Port Caldera"),
    ("MAPX32", "MONX32", "ko.NE.New_Corvale.bmp", "N.E. New Corvale"),
    ("MAPX33", "MONX33", "ko.NE.Regent's_Castle.bmp", "N.E. Regent's Castle"),
    ("MAPX40", "MONX40", "ko.Ashfall.bmp", "Ashfall"),
    ("MAPX41", "MONX41", "ko.Ashfall.Smuggler's_Cove.bmp", "Ashfall Smuggler's Cove"),
    ("MAPG10", "MONG10", "ko.Kessa.bmp", "Kessa"),
    ("MAPG20", "MONG20", "ko.Orvel.bmp", "Orvel"),
    ("MAPG30", "MONG30", "ko.Drun.bmp", "Drun"),
    ("MAPG32", "MONG32", "ko.Drun.Towne_Bessa.bmp", "Drun Towne Bessa"),
    ("MAPG40", "MONG40", "ko.Halvar.bmp", "Halvar"),
    ("MAPG41", "MONG41", "ko.Halvar.Hamlet.bmp", "Halvar Hamlet"),
    ("MAPG50", "MONG50", "ko.Sennet.bmp", "Sennet"),
    ("MAPG60", "MONG60", "ko.Tolm.bmp", "Tolm"),
    ("MAPG61", "MONG61", "ko.Tolm.New_Falcon.bmp", "Tolm New Falcon"),
    ("MAPG70", "MONG70", "ko.Wyss.bmp", "Wyss"),
    ("MAPG71", "MONG71", "ko.Wyss.Signal_Camp.bmp", "Wyss Signal Camp"),
    ("MAPG80", "MONG80", "ko.Brisk.bmp", "Brisk"),
    ("MAPG81", "MONG81", "ko.Brisk.Rennerville.bmp", "Brisk Rennerville"),
    ("MAPG82", "MONG82", "ko.Brisk.Town_Hollis.bmp", "Brisk Town Hollis"),
    ("MAPG90", "MONG90", "ko.Q.bmp", "Q"),
    ("MAPG92", "MONG92", "ko.Q.Towne_Dorvik.bmp", "Q Towne Dorvik"),
    ("MAPG93", "MONG93", "ko.Q.Ilva's_Palace.bmp", "Q Ilva's Palace"),
]
KEEP_MAP_ROW = 19
# 54 header bytes, 16 palette entries of 4 bytes, 1024 rows of 512 bytes (4 bits a pixel).
IMAGE_SIZE = 54 + 64 + 1024 * 512


def run(args, cwd=None):
    return subprocess.run(EMULATOR + args, cwd=cwd, capture_output=True, text=True,
                          timeout=300)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def expected_lines(data):
    planted = []
    for line in read(os.path.join(data, "sample-mismatches.txt")).decode().splitlines():
        if line and not line.startswith("#"):
            row, slot = (int(v) for v in line.split())
            planted.append((row, slot))
    found = []
    for row, slot in planted:
        map_file, mon_file, _, title = CATALOGUE[row]
        tiles = read(os.path.join(data, map_file))
        npc = read(os.path.join(data, mon_file))
        x, y, shown, ground = npc[slot], npc[32 + slot], npc[96 + slot], npc[128 + slot]
        t = tiles[y * 64 + x]
        text = "%s[%2d] (%2d,%2d) %02X:%d -> %02X:%d/%02X:%d %s" % (
            map_file, slot, x, y, t // 4, t % 4, shown // 4, shown % 4,
            ground // 4, ground % 4, title)
        found.append(((row, y, x, slot), text))
    return planted, [text for _, text in sorted(found)]


class SampleRun(unittest.TestCase):
    def test_full_run_reports_the_planted_mismatches(self):
        with tempfile.TemporaryDirectory() as tmp:
            data = os.path.join(tmp, "data")
            again = os.path.join(tmp, "again")
            out = os.path.join(tmp, "out")
            os.mkdir(out)
            for folder in (data, again):
                made = run([SAMPLE, folder])
                self.assertEqual(made.returncode, 0, made.stdout)
            for name in sorted(os.listdir(data)):
                self.assertEqual(read(os.path.join(data, name)),
                                 read(os.path.join(again, name)), name + " differs")

            planted, expected = expected_lines(data)
            self.assertGreaterEqual(len(planted), 4)
            self.assertIn(KEEP_MAP_ROW, [row for row, _ in planted])

            result = run([KOPC_MAP, "--overwrite", data], cwd=out)
            self.assertEqual(result.returncode, 0, result.stdout)
            self.assertEqual(result.stdout.splitlines(), expected)
            self.assertEqual(sorted(os.listdir(out)), sorted(c[2] for c in CATALOGUE))
            for entry in CATALOGUE:
                self.assertEqual(os.path.getsize(os.path.join(out, entry[2])), IMAGE_SIZE,
                                 entry[2])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
