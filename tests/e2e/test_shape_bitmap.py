# SPDX-License-Identifier: MIT
"""Shapes from a shape bitmap (-s): maps in the bitmap's tile size, bit count and
palette, and the lines for every file that is refused."""

import os
import struct
import sys

import kopc_data

CAT = kopc_data.CATALOGUE


def pixel(bits, value, s):
    """A pixel as the file holds it: the index itself up to 8 bits, else its bytes."""
    if bits <= 8:
        return value
    return bytes([value] + [(value * 3 + 50 * k + s) % 256 for k in range(1, bits // 8)])


def shape_bitmap(bits, width, height):
    """(BMP bytes, shape lines, palette bytes) of a sheet of 16 x 4 distinct tiles; rows
    below the fourth tile row hold pixels that must never be drawn."""
    tw, th = width // 16, height // 4
    levels = min(1 << bits, 256)
    lines = [[[pixel(bits, v, s) for v in line] for line in shape]
             for s, shape in enumerate(kopc_data.distinct_shapes(levels, tw, th))]
    sheet = [lines[(y // th) * 16 + x // tw][y % th][x % tw] if y < 4 * th
             else pixel(bits, levels - 1, 0) for y in range(height) for x in range(width)]
    palette = b"" if bits > 8 else bytes((3 * i + 1) % 256 if i % 4 != 3 else 0
                                         for i in range(4 << bits))
    return kopc_data.bmp_bytes(width, height, bits, sheet, palette), lines, palette


def refused(name, *lines):
    return "".join(line + "\n" for line in lines) + "error: read shape bitmap '%s'\n" % name


class ShapeBitmap(kopc_data.ProgramTest):
    def setUp(self):
        super().setUp()
        kopc_data.write_data_set(self.path("data"))

    def test_every_bit_count(self):
        # At 4 bits, map rows of 1088 bytes: more than the writer packs in one 1 KiB block.
        for bits, width, height, warnings in [(1, 80, 8, False), (4, 544, 8, False),
                                              (8, 256, 66, False), (16, 32, 12, True),
                                              (24, 96, 8, False), (32, 64, 8, False)]:
            with self.subTest(bits=bits):
                data, lines, palette = shape_bitmap(bits, width, height)
                out = ""
                if warnings:  # biSizeImage and bfSize 0: accepted with two warnings
                    data = data[:2] + bytes(4) + data[6:34] + bytes(4) + data[38:]
                    out = ("warning: check_bitmap_header() - data length is 0 ... corrected: "
                           "0x300\nwarning: check_bitmap_header() - file length is 0\n")
                # A name that begins with a hyphen is still taken as the file name.
                kopc_data.write(self.path("-tiles.bmp"), data)
                self.kopc("-s", "-tiles.bmp", "data", "--overwrite", status=0, out=out)
                for row in range(len(CAT)):
                    cells = kopc_data.map_cells(kopc_data.test_map(row))
                    self.assert_file(CAT[row][2], kopc_data.map_bmp(cells, lines, bits, palette))

    def test_refused_files(self):
        # The reader's own messages are pinned by the unit tests and the corpus; here the
        # lines that follow them, from the shape loader and the run.
        b8 = shape_bitmap(8, 256, 64)[0]
        cant_header = "error: read_bitmap() - can't read bitmap header"
        too_small = "error: shape bitmap is too small"
        cases = [
            (None, refused("x.bmp", "error: open 'x.bmp'")),
            (b"not a bitmap at all", refused("x.bmp", cant_header, "error: read 'x.bmp'")),
            (b8[:28] + b"\2\0" + b8[30:], refused(
                "x.bmp", "error: check_bitmap_header() - unknown bit count", cant_header,
                "error: read 'x.bmp'")),
            (b8[:54 + 100], refused("x.bmp", "error: read_bitmap() - can't read palette",
                                    "error: read 'x.bmp'")),
            (b8[:-1], refused("x.bmp", "error: read_bitmap() - can't read bitmap data",
                              "error: read 'x.bmp'")),
        ] + [(kopc_data.bmp_bytes(w, h, 8, [0] * (w * h), bytes(1024)), refused("x.bmp", line))
             for w, h, line in [(15, 4, too_small), (16, 3, too_small), (8, 64, too_small),
                                (260, 64, "error: illegal shape bitmap size")]]
        for i, (content, out) in enumerate(cases):
            with self.subTest(case=i, out=out):
                if content is not None:
                    kopc_data.write(self.path("x.bmp"), content)
                self.kopc("-s", "x.bmp", "data", status=1, out=out)
        os.mkdir(self.path("tiles"))
        self.kopc("--shape", "tiles", "data", status=1, out=refused("tiles", "error: open 'tiles'"))
        self.assertEqual(self.bmp_files(), [])

    def test_map_image_beyond_32_bits(self):
        # 1-bit 8192 x 4096 (sparse rows): a map of 2^31 bytes; no data, so no 256 MiB maps.
        kopc_data.write(self.path("x.bmp"), kopc_data.bmp_header(8192, 4096, 1, 8, 4 << 20))
        os.truncate(self.path("x.bmp"), 62 + (4 << 20))
        self.kopc("-s", "x.bmp", "none", status=1, out="error: memory exhausted!\n")
        self.assertEqual(self.bmp_files(), [])

    def test_huge_promise_in_a_tiny_file(self):
        try:
            import resource
        except ImportError:
            resource = None
        if kopc_data.windows_program() or resource is None:
            self.skipTest("peak memory of a program under an emulator says nothing")
        # 70 bytes whose header promises 1 x 0x7FFFFFFF pixels: the sizes are in range,
        # so the pixel buffer is allocated, but the refusal must cost neither the 2 GiB
        # (nor the time to clear them) before the missing rows show.
        kopc_data.write(self.path("x.bmp"), b"BM" + struct.pack(
            "<IHHIIIIHHIIIIII", 0, 0, 0, 62, 40, 1, 0x7FFFFFFF, 1, 1, 0, 0, 0, 0, 0, 0) + bytes(16))
        self.kopc("-s", "x.bmp", "data", status=1, out=refused(
            "x.bmp", "warning: check_bitmap_header() - data length is 0 ... corrected: "
            "0xFFFFFFFC", "warning: check_bitmap_header() - file length is 0",
            "error: read_bitmap() - can't read bitmap data", "error: read 'x.bmp'"))
        # The children's high-water mark (in KiB on Linux, bytes on macOS); a cleared
        # buffer would put it past 2 GiB, sanitizer shadow memory stays far below 1 GiB.
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        self.assertLess(peak * (1 if sys.platform == "darwin" else 1024), 1 << 30)


if __name__ == "__main__":
    kopc_data.main()
