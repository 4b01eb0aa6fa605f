"""Test data for kopc_map, built from the file formats alone (standard library only).

Everything here is written independently of the program's code: the catalogue, the
palette and the block layouts are typed in from the format descriptions, and the BMP
writer/reader below is a second, plain implementation used to make shape bitmaps and to
check the program's output.
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

# (map file, NPC file, output file, title, door set or -1, keep map on mismatch)
CATALOGUE = [
    ("MAPX00", "MONX00", "ko.Elderdays.bmp", "Elderdays", 0, 0),
    ("MAPX03", "MONX03", "ko.Elderdays.Vesper's_Keep.bmp", "Elderdays Vesper's Keep", -1, 0),
    ("MAPX10", "MONX10", "ko.Firstland.bmp", "Firstland", 1, 0),
    ("MAPX11", "MONX11", "ko.Firstland.Orrin's_Town.bmp", "Firstland Orrin's Town", -1, 0),
    ("MAPX20", "MONX20", "ko.OE.bmp", "O.E.", 2, 0),
    ("MAPX21", "MONX21", "ko.OE.Le_Falcon.bmp", "O.E. Le Falcon", -1, 0),
    ("MAPX22", "MONX22", "ko.OE.Towne_Arla.bmp", "O.E. Towne Arla", -1, 0),
    ("MAPX23", "MONX23", "ko.OE.Regent's_Castle.bmp", "O.E. Regent's Castle", -1, 0),
    ("MAPX30", "MONX30", "ko.NE.bmp", "N.E.", 3, 0),
    ("MAPX31", "MONX31", "ko.NE.Port_Caldera.bmp", "N.E. Port Caldera", -1, 0),
    ("MAPX32", "MONX32", "ko.NE.New_Corvale.bmp", "N.E. New Corvale", -1, 0),
    ("MAPX33", "MONX33", "ko.NE.Regent's_Castle.bmp", "N.E. Regent's Castle", -1, 0),
    ("MAPX40", "MONX40", "ko.Ashfall.bmp", "Ashfall", 4, 0),
    ("MAPX41", "MONX41", "ko.Ashfall.Smuggler's_Cove.bmp", "Ashfall Smuggler's Cove", -1, 0),
    ("MAPG10", "MONG10", "ko.Kessa.bmp", "Kessa", -1, 0),
    ("MAPG20", "MONG20", "ko.Orvel.bmp", "Orvel", -1, 0),
    ("MAPG30", "MONG30", "ko.Drun.bmp", "Drun", -1, 0),
    ("MAPG32", "MONG32", "ko.Drun.Towne_Bessa.bmp", "Drun Towne Bessa", -1, 0),
    ("MAPG40", "MONG40", "ko.Halvar.bmp", "Halvar", -1, 0),
    ("MAPG41", "MONG41", "ko.Halvar.Hamlet.bmp", "Halvar Hamlet", -1, 1),
    ("MAPG50", "MONG50", "ko.Sennet.bmp", "Sennet", -1, 0),
    ("MAPG60", "MONG60", "ko.Tolm.bmp", "Tolm", -1, 0),
    ("MAPG61", "MONG61", "ko.Tolm.New_Falcon.bmp", "Tolm New Falcon", -1, 0),
    ("MAPG70", "MONG70", "ko.Wyss.bmp", "Wyss", -1, 0),
    ("MAPG71", "MONG71", "ko.Wyss.Signal_Camp.bmp", "Wyss Signal Camp", -1, 0),
    ("MAPG80", "MONG80", "ko.Brisk.bmp", "Brisk", -1, 0),
    ("MAPG81", "MONG81", "ko.Brisk.Rennerville.bmp", "Brisk Rennerville", -1, 0),
    ("MAPG82", "MONG82", "ko.Brisk.Town_Hollis.bmp", "Brisk Town Hollis", -1, 0),
    ("MAPG90", "MONG90", "ko.Q.bmp", "Q", -1, 0),
    ("MAPG92", "MONG92", "ko.Q.Towne_Dorvik.bmp", "Q Towne Dorvik", -1, 0),
    ("MAPG93", "MONG93", "ko.Q.Ilva's_Palace.bmp", "Q Ilva's Palace", -1, 0),
]

TIME_DOORS = [
    [(29, 56), (31, 56), (33, 56), (35, 56)],
    [(34, 8), (47, 28), (20, 37), (36, 56)],
    [(16, 16), (19, 52), (42, 24), (48, 24)],
    [(28, 12), (33, 23), (20, 52), (56, 52)],
    [(8, 11), (18, 23), (52, 24), (50, 34)],
]

# The 16 text-mode colours as (red, green, blue).
EGA_RGB = [
    (0, 0, 0), (0, 0, 170), (0, 170, 0), (0, 170, 170),
    (170, 0, 0), (170, 0, 170), (170, 85, 0), (170, 170, 170),
    (85, 85, 85), (85, 85, 255), (85, 255, 85), (85, 255, 255),
    (255, 85, 85), (255, 85, 255), (255, 255, 85), (255, 255, 255),
]
# The same palette as the BMP file stores it: blue, green, red, 0.
EGA_PALETTE_BYTES = b"".join(bytes((b, g, r, 0)) for (r, g, b) in EGA_RGB)
CGA_INDEX = [0, 3, 5, 7]  # palette index of each 2-bit CGA value

EGA_OFFSET = 0xA710
CGA_OFFSET = 0x7C40


def ega_block(shapes):
    """8192-byte EGA shape block from 64 shapes of 16x16 palette indices (0..15)."""
    out = bytearray()
    for shape in shapes:
        for y in range(16):
            for k in range(8):
                out.append(shape[y][2 * k] << 4 | shape[y][2 * k + 1])
    return bytes(out)


def cga_block(shapes, lead=b"\xAA\x55"):
    """4224-byte CGA block from 64 shapes of 16x16 two-bit values (0..3)."""
    out = bytearray()
    for shape in shapes:
        out += lead
        for y in range(16):
            for k in range(4):
                p = shape[y][4 * k:4 * k + 4]
                out.append(p[0] << 6 | p[1] << 4 | p[2] << 2 | p[3])
    return bytes(out)


def executable(offset, block, tail=16):
    """A stand-in executable: filler, the block at `offset`, a little filler after."""
    filler = bytes((i * 7 + 3) & 0xFF for i in range(offset))
    return filler + block + b"\xEE" * tail


def pattern_shapes(levels):
    """64 distinct shapes of 16x16 values below `levels`: shape s, pixel (x, y)."""
    return [[[(s + x * 3 + y * 5 + (x * y) // 7) % levels for x in range(16)]
             for y in range(16)] for s in range(64)]


def npc_record(slots=()):
    """256 NPC bytes from (slot, x, y, shown, ground) tuples; other bytes zero."""
    rec = bytearray(256)
    for slot, x, y, shown, ground in slots:
        rec[slot] = x
        rec[32 + slot] = y
        rec[96 + slot] = shown
        rec[128 + slot] = ground
    return bytes(rec)


def write_data_set(folder, maps=None, npcs=None, ega=None, cga=None):
    """Writes the 62 data files and both executables into `folder`.

    maps / npcs: dicts from catalogue row to bytes (default: a map of row-dependent
    tiles; an empty NPC record). ega / cga: the shape blocks (default: pattern shapes).
    """
    os.makedirs(folder, exist_ok=True)
    maps = maps or {}
    npcs = npcs or {}
    for row, (map_file, mon_file, *_rest) in enumerate(CATALOGUE):
        tiles = maps.get(row)
        if tiles is None:
            tiles = bytes(((row + c + r) % 64) * 4 for r in range(64) for c in range(64))
        with open(os.path.join(folder, map_file), "wb") as f:
            f.write(tiles)
        with open(os.path.join(folder, mon_file), "wb") as f:
            f.write(npcs.get(row, npc_record()))
    if ega is None:
        ega = ega_block(pattern_shapes(16))
    if cga is None:
        cga = cga_block(pattern_shapes(4))
    with open(os.path.join(folder, "KOEGA.EXE"), "wb") as f:
        f.write(executable(EGA_OFFSET, ega))
    with open(os.path.join(folder, "KOGAME.EXE"), "wb") as f:
        f.write(executable(CGA_OFFSET, cga))


def row_size(width, bits):
    return ((width * bits + 7) // 8 + 3) & ~3


def encode_row(line, bits):
    """The file bytes of one pixel row, without padding: palette indices for 1/4/8 bits
    (packed from the highest bits down), a bytes object per pixel for 16/24/32 bits."""
    if bits == 1:
        data = bytearray((len(line) + 7) // 8)
        for x, p in enumerate(line):
            if p:
                data[x // 8] |= 0x80 >> (x % 8)
    elif bits == 4:
        data = bytearray((len(line) + 1) // 2)
        for x, p in enumerate(line):
            data[x // 2] |= (p & 15) << (4 if x % 2 == 0 else 0)
    elif bits == 8:
        data = bytearray(line)
    else:
        data = bytearray(b"".join(line))
    return bytes(data)


def bmp_header(width, height, bits, palette_length, body_length):
    offset = 54 + palette_length
    header = b"BM" + struct.pack("<IHHI", offset + body_length, 0, 0, offset)
    return header + struct.pack("<IIIHHIIIIII", 40, width, height, 1, bits, 0, body_length,
                                0, 0, 0, 0)


def bmp_bytes(width, height, bits, pixels, palette=b""):
    """A V3 BMP from a top-down pixel list: palette indices for 1/4/8 bits, or a bytes
    object per pixel for 16/24/32 bits. `palette` holds the entries' file bytes."""
    rows = []
    for r in range(height - 1, -1, -1):
        data = encode_row(pixels[r * width:(r + 1) * width], bits)
        rows.append(data + bytes(row_size(width, bits) - len(data)))
    body = b"".join(rows)
    return bmp_header(width, height, bits, len(palette), len(body)) + palette + body


def test_map(row):
    """4096 tile bytes that differ from row to row and use the low two bits too."""
    return bytes(((row * 5 + c + 2 * r) % 64) * 4 + (c + r) % 4
                 for r in range(64) for c in range(64))


def distinct_shapes(levels, width=16, height=16):
    """64 shapes of width x height values below `levels`, no two alike: the first pixels
    of the top line spell the shape number in base `levels`; the rest is a pattern that
    changes under any flip or transposition."""
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


def map_bmp(cells, shape_lines, bits, palette=b""):
    """The BMP a map image must be: cells[r][c] is the shape drawn at tile row r, column
    c; shape_lines[s][l] the pixels of line l of shape s, as encode_row takes them."""
    th, tw = len(shape_lines[0]), len(shape_lines[0][0])
    width = 64 * tw
    aligned = tw * bits % 8 == 0
    if aligned:
        coded = [[encode_row(line, bits) for line in shape] for shape in shape_lines]
    pad = bytes(row_size(width, bits) - (width * bits + 7) // 8)
    rows = []
    for r in range(63, -1, -1):
        for l in range(th - 1, -1, -1):
            if aligned:
                data = b"".join(coded[s][l] for s in cells[r])
            else:
                data = encode_row([p for s in cells[r] for p in shape_lines[s][l]], bits)
            rows.append(data + pad)
    body = b"".join(rows)
    return bmp_header(width, 64 * th, bits, len(palette), len(body)) + palette + body


def map_cells(tiles):
    """The shapes of a map drawn as its tile file says: tile byte / 4 per cell."""
    return [[tiles[r * 64 + c] // 4 for c in range(64)] for r in range(64)]


EGA_SHAPES = distinct_shapes(16)
CGA_SHAPES = distinct_shapes(4)
CGA_SHAPE_LINES = [[[CGA_INDEX[v] for v in line] for line in shape] for shape in CGA_SHAPES]


def write_test_world(folder, npcs=None):
    """A data set of distinct maps (test_map) and distinct shapes in both executables."""
    write_data_set(folder, maps={row: test_map(row) for row in range(len(CATALOGUE))},
                   npcs=npcs, ega=ega_block(EGA_SHAPES), cga=cga_block(CGA_SHAPES))


def expected_map(row, cells=None, cga=False):
    """The image of catalogue row `row` of write_test_world's data, drawn with `cells`
    (default: the map file's own tiles)."""
    return map_bmp(cells or map_cells(test_map(row)), CGA_SHAPE_LINES if cga else EGA_SHAPES,
                   4, EGA_PALETTE_BYTES)


# The program's command line (possibly an emulator and the executable), set by main().
COMMAND = []


def windows_program():
    return COMMAND[-1].lower().endswith(".exe")


def run_program(args, cwd, stdin=b""):
    """Runs the program with `args` in `cwd`: (exit status, stdout, stderr). stdin None
    runs it with standard input closed. With KOPC_CRLF=1 the line ends of a Windows
    build's stdout are turned into plain line feeds."""
    if stdin is not None:
        extra = {"input": stdin}
    elif os.name == "nt":
        extra = {"stdin": subprocess.DEVNULL}  # no preexec_fn there; an empty input instead
    else:
        extra = {"preexec_fn": lambda: os.close(0)}
    proc = subprocess.run(COMMAND + list(args), cwd=cwd, capture_output=True, timeout=120,
                          **extra)
    out = proc.stdout
    if os.environ.get("KOPC_CRLF") == "1":
        out = out.replace(b"\r\n", b"\n")
    return proc.returncode, out, proc.stderr


def main():
    """Entry of a test script: argv[1:] is the command that starts the program."""
    if len(sys.argv) < 2:
        sys.exit("usage: %s PROGRAM [ARGS...]" % sys.argv[0])
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

    def kopc(self, *args, stdin=b"", status=None, out=None, cwd=None):
        """Runs the program in self.dir (or `cwd`); checks stderr is empty and, when
        given, the exit status and the exact stdout (text). Returns (status, stdout)."""
        code, stdout, stderr = run_program(args, cwd or self.dir, stdin)
        self.assertEqual(stderr, b"", "the program wrote to stderr")
        if out is not None:
            self.assertEqual(stdout.decode("latin-1"), out)
        if status is not None:
            self.assertEqual(code, status)
        return code, stdout

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
