# SPDX-License-Identifier: MIT
"""Test data for kopc_map, built from the file formats alone (standard library only).

The catalogue, the palette and the block layouts are typed in from the format
descriptions, and the BMP encoder here is a second, plain implementation: it makes the
shape bitmaps the program reads and the images it must write.
"""

import os
import signal
import struct
import subprocess
import sys
import tempfile
import unittest

# (map file, NPC file, output file, title, time-door set or -1), in processing order.
CATALOGUE = [
    ("MAPX00", "MONX00", "ko.Elderdays.bmp", "Elderdays", 0),
    ("MAPX03", "MONX03", "ko.Elderdays.Vesper's_Keep.bmp", "Elderdays Vesper's Keep", -1),
    ("MAPX10", "MONX10", "ko.Firstland.bmp", "Firstland", 1),
    ("MAPX11", "MONX11", "ko.Firstland.Orrin's_Town.bmp", "Firstland Orrin's Town", -1),
    ("MAPX20", "MONX20", "ko.OE.bmp", "O.E.", 2),
    ("MAPX21", "MONX21", "ko.OE.Le_Falcon.bmp", "O.E. Le Falcon", -1),
    ("MAPX22", "MONX22", "ko.OE.Towne_Arla.bmp", "O.E. Towne Arla", -1),
    ("MAPX23", "MONX23", "ko.OE.Regent's_Castle.bmp", "O.E. Regent's Castle", -1),
    ("MAPX30", "MONX30", "ko.NE.bmp", "N.E.", 3),
    ("MAPX31", "MONX31", "ko.NE.Port_Caldera.bmp", "N.E. Port Caldera", -1),
    ("MAPX32", "MONX32", "ko.NE.New_Corvale.bmp", "N.E. New Corvale", -1),
    ("MAPX33", "MONX33", "ko.NE.Regent's_Castle.bmp", "N.E. Regent's Castle", -1),
    ("MAPX40", "MONX40", "ko.Ashfall.bmp", "Ashfall", 4),
    ("MAPX41", "MONX41", "ko.Ashfall.Smuggler's_Cove.bmp", "Ashfall Smuggler's Cove", -1),
    ("MAPG10", "MONG10", "ko.Kessa.bmp", "Kessa", -1),
    ("MAPG20", "MONG20", "ko.Orvel.bmp", "Orvel", -1),
    ("MAPG30", "MONG30", "ko.Drun.bmp", "Drun", -1),
    ("MAPG32", "MONG32", "ko.Drun.Towne_Bessa.bmp", "Drun Towne Bessa", -1),
    ("MAPG40", "MONG40", "ko.Halvar.bmp", "Halvar", -1),
    ("MAPG41", "MONG41", "ko.Halvar.Hamlet.bmp", "Halvar Hamlet", -1),
    ("MAPG50", "MONG50", "ko.Sennet.bmp", "Sennet", -1),
    ("MAPG60", "MONG60", "ko.Tolm.bmp", "Tolm", -1),
    ("MAPG61", "MONG61", "ko.Tolm.New_Falcon.bmp", "Tolm New Falcon", -1),
    ("MAPG70", "MONG70", "ko.Wyss.bmp", "Wyss", -1),
    ("MAPG71", "MONG71", "ko.Wyss.Signal_Camp.bmp", "Wyss Signal Camp", -1),
    ("MAPG80", "MONG80", "ko.Brisk.bmp", "Brisk", -1),
    ("MAPG81", "MONG81", "ko.Brisk.Rennerville.bmp", "Brisk Rennerville", -1),
    ("MAPG82", "MONG82", "ko.Brisk.Town_Hollis.bmp", "Brisk Town Hollis", -1),
    ("MAPG90", "MONG90", "ko.Q.bmp", "Q", -1),
    ("MAPG92", "MONG92", "ko.Q.Towne_Dorvik.bmp", "Q Towne Dorvik", -1),
    ("MAPG93", "MONG93", "ko.Q.Ilva's_Palace.bmp", "Q Ilva's Palace", -1),
]
OUTPUTS = [row[2] for row in CATALOGUE]
KEEP_MAP_ROW = 19  # the one map that keeps its own tile where an NPC slot disagrees
TIME_DOORS = [
    [(29, 56), (31, 56), (33, 56), (35, 56)],
    [(34, 8), (47, 28), (20, 37), (36, 56)],
    [(16, 16), (19, 52), (42, 24), (48, 24)],
    [(28, 12), (33, 23), (20, 52), (56, 52)],
    [(8, 11), (18, 23), (52, 24), (50, 34)],
]

# The 16 text-mode colours (red, green, blue), stored in the BMP as blue, green, red, 0.
EGA_RGB = [(0, 0, 0), (0, 0, 170), (0, 170, 0), (0, 170, 170), (170, 0, 0), (170, 0, 170),
           (170, 85, 0), (170, 170, 170), (85, 85, 85), (85, 85, 255), (85, 255, 85),
           (85, 255, 255), (255, 85, 85), (255, 85, 255), (255, 255, 85), (255, 255, 255)]
EGA_PALETTE = b"".join(bytes((b, g, r, 0)) for (r, g, b) in EGA_RGB)
CGA_INDEX = [0, 3, 5, 7]  # palette index of each 2-bit CGA value
EGA_OFFSET, CGA_OFFSET = 0xA710, 0x7C40


def distinct_shapes(levels, width=16, height=16):
    """64 shapes of width x height values below `levels`, no two alike: the first pixels
    spell the shape number in base `levels`, the rest is a pattern that changes under any
    flip or transposition."""
    shapes = []
    for s in range(64):
        shape = [[(s + x + 3 * y + (x * y) // 5) % levels for x in range(width)]
                 for y in range(height)]
        n = s
        for x in range(width * height):
            if levels ** x >= 64:
                break
            shape[x // width][x % width] = n % levels
            n //= levels
        shapes.append(shape)
    return shapes


EGA_SHAPES = distinct_shapes(16)
CGA_SHAPES = distinct_shapes(4)


def ega_block(shapes):
    """The 8192-byte EGA block: 16 rows of 8 bytes a shape, two pixels a byte."""
    return bytes(line[2 * k] << 4 | line[2 * k + 1]
                 for shape in shapes for line in shape for k in range(8))


def cga_block(shapes):
    """The 4224-byte CGA block: two leading bytes, then 16 rows of 4 bytes a shape."""
    out = bytearray()
    for shape in shapes:
        out += b"\xAA\x55"  # never drawn
        out += bytes(p[0] << 6 | p[1] << 4 | p[2] << 2 | p[3]
                     for line in shape for p in (line[4 * k:4 * k + 4] for k in range(4)))
    return bytes(out)


def test_map(row):
    """4096 tile bytes that differ from row to row and use the low two bits too."""
    return bytes(((row * 5 + c + 2 * r) % 64) * 4 + (c + r) % 4
                 for r in range(64) for c in range(64))


def npc_record(slots=()):
    """256 NPC bytes from (slot, x, y, shown, ground) tuples; other bytes zero."""
    rec = bytearray(256)
    for slot, x, y, shown, ground in slots:
        rec[slot], rec[32 + slot], rec[96 + slot], rec[128 + slot] = x, y, shown, ground
    return bytes(rec)


def mismatch_line(row, slot, x, y, tile, shown, ground):
    """kopc_map's report of an NPC slot that disagrees with its map's tile."""
    return "%s[%2d] (%2d,%2d) %02X:%d -> %02X:%d/%02X:%d %s\n" % (
        CATALOGUE[row][0], slot, x, y, tile // 4, tile % 4, shown // 4, shown % 4, ground // 4,
        ground % 4, CATALOGUE[row][3])


def companion_usage(map_usage, program, overwrite_help, notes):
    """kopc_map's usage text made a companion's: its name, its --overwrite help, the --names
    line before --overwrite, and its own closing lines."""
    names = "           --names FILE         read shape names from specified file\n"
    return map_usage.replace("kopc_map", program).replace("overwrite output files", overwrite_help).replace(
        "           --overwrite", names + "           --overwrite") + notes


def file_size_limit(size):
    """A preexec for a run whose files can hold `size` bytes, as on a full disk (POSIX only)."""
    import resource
    return lambda: (signal.signal(signal.SIGXFSZ, signal.SIG_IGN),
                    resource.setrlimit(resource.RLIMIT_FSIZE, (size, size)))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_data_set(folder, npcs=None):
    """The 62 data files (maps from test_map, NPC records from `npcs`, a dict by row) and
    both executables, with distinct shapes at their block offsets, into `folder`."""
    os.makedirs(folder, exist_ok=True)
    for row, (map_file, mon_file, *_) in enumerate(CATALOGUE):
        write(os.path.join(folder, map_file), test_map(row))
        write(os.path.join(folder, mon_file), (npcs or {}).get(row, npc_record()))
    for name, offset, block in (("KOEGA.EXE", EGA_OFFSET, ega_block(EGA_SHAPES)),
                                ("KOGAME.EXE", CGA_OFFSET, cga_block(CGA_SHAPES))):
        write(os.path.join(folder, name),
              bytes((i * 7 + 3) & 0xFF for i in range(offset)) + block + b"\xEE" * 16)


def encode_row(line, bits):
    """The file bytes of one pixel row, without padding: palette indices for 1/4/8 bits,
    packed from the highest bits down, or a bytes object per pixel for 16/24/32 bits."""
    if bits > 8:
        return b"".join(line)
    data = bytearray((len(line) * bits + 7) // 8)
    for x, p in enumerate(line):
        data[x * bits // 8] |= (p & ((1 << bits) - 1)) << (8 - bits - x * bits % 8)
    return bytes(data)


def row_size(width, bits):
    return ((width * bits + 7) // 8 + 3) & ~3


def bmp_header(width, height, bits, palette_length, body_length):
    offset = 54 + palette_length
    return b"BM" + struct.pack("<IHHIIIIHHIIIIII", offset + body_length, 0, 0, offset, 40,
                               width, height, 1, bits, 0, body_length, 0, 0, 0, 0)


def bmp_bytes(width, height, bits, pixels, palette=b""):
    """A V3 BMP from a top-down list of pixels (see encode_row); `palette` holds the
    entries' file bytes."""
    body = b"".join(encode_row(pixels[r * width:(r + 1) * width], bits).ljust(
        row_size(width, bits), b"\0") for r in range(height - 1, -1, -1))
    return bmp_header(width, height, bits, len(palette), len(body)) + palette + body


def map_bmp(cells, shape_lines, bits, palette=b""):
    """The BMP a map image must be: cells[r][c] is the shape drawn at tile row r, column
    c; shape_lines[s][l] the pixels of line l of shape s, as encode_row takes them."""
    th, tw = len(shape_lines[0]), len(shape_lines[0][0])
    if tw * bits % 8 == 0:  # every tile line is whole bytes: encode each line once
        coded = [[encode_row(line, bits) for line in shape] for shape in shape_lines]
        line_of = lambda r, l: b"".join(coded[s][l] for s in cells[r])  # noqa: E731
    else:
        line_of = lambda r, l: encode_row(  # noqa: E731
            [p for s in cells[r] for p in shape_lines[s][l]], bits)
    width = 64 * tw
    pad = bytes(row_size(width, bits) - (width * bits + 7) // 8)
    body = b"".join(line_of(r, l) + pad for r in range(63, -1, -1) for l in range(th - 1, -1, -1))
    return bmp_header(width, 64 * th, bits, len(palette), len(body)) + palette + body


def map_cells(tiles):
    """The shapes of a map drawn as its tile file says: tile byte / 4 per cell."""
    return [[tiles[r * 64 + c] // 4 for c in range(64)] for r in range(64)]


CGA_LINES = [[[CGA_INDEX[v] for v in line] for line in shape] for shape in CGA_SHAPES]


def expected_map(row, cells=None, cga=False):
    """The image of catalogue row `row` of write_data_set's data drawn with `cells`
    (default: the map file's own tiles)."""
    return map_bmp(cells or map_cells(test_map(row)), CGA_LINES if cga else EGA_SHAPES, 4,
                   EGA_PALETTE)


COMMAND = []  # the program's command line (an emulator first, for a cross build)


def windows_program():
    return COMMAND[-1].lower().endswith(".exe")


def main():
    """Entry of a test script: argv[1:] is the command that starts the program."""
    COMMAND[:] = [os.path.abspath(a) if os.path.exists(a) else a for a in sys.argv[1:]]
    unittest.main(argv=sys.argv[:1])


class ProgramTest(unittest.TestCase):
    """A test that runs the program in a fresh, empty folder of its own (self.dir)."""

    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.dir = tmp.name

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def kopc(self, *args, stdin=b"", status=None, out=None, cwd=None, preexec=None):
        """Runs the program in self.dir (or `cwd`), after `preexec` in the child; checks
        that stderr is empty and, when given, the exit status and the exact stdout. stdin
        None closes standard input. With KOPC_CRLF set to 1 a Windows program's CR LF line
        ends become LF."""
        extra = {"input": stdin or b""}
        if stdin is None:
            extra = {"preexec_fn": lambda: os.close(0)}
        elif preexec:
            extra["preexec_fn"] = preexec
        proc = subprocess.run(COMMAND + list(args), cwd=cwd or self.dir, capture_output=True,
                              timeout=300, **extra)
        stdout = proc.stdout
        if os.environ.get("KOPC_CRLF", "").strip() == "1":
            stdout = stdout.replace(b"\r\n", b"\n")
        self.assertEqual(proc.stderr, b"", "the program wrote to stderr")
        if out is not None:
            self.assertEqual(stdout.decode("latin-1"), out)
        if status is not None:
            self.assertEqual(proc.returncode, status)
        return proc.returncode, stdout

    def bmp_files(self, folder=None):
        return sorted(n for n in os.listdir(folder or self.dir) if n.startswith("ko."))

    def assert_file(self, name, expected, folder=None):
        """The file's exact bytes; a failure names the first differing offset."""
        with open(os.path.join(folder or self.dir, name), "rb") as f:
            actual = f.read()
        if actual != expected:
            at = next((i for i, (a, b) in enumerate(zip(actual, expected)) if a != b),
                      min(len(actual), len(expected)))
            self.fail("%s: %d bytes, expected %d; first difference at offset %d"
                      % (name, len(actual), len(expected), at))
