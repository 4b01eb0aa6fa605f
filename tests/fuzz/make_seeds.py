#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into a folder: small shape bitmaps of every bit
count whose widths divide into 16 tiles, each followed by an NPC record and the two
choice bytes (catalogue row, flags) that the targets read from an input's end.

    make_seeds.py FOLDER
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kopc_data  # noqa: E402


def palette(bits):
    if bits > 8:
        return b""
    return b"".join(bytes((i * 37 % 256, i * 11 % 256, 255 - i % 256, 0))
                    for i in range(1 << bits))


def pixels(width, height, bits):
    """Pseudo-random pixels, so that a byte taken from the wrong place shows."""
    values, state = [], width * 31 + height
    for _ in range(width * height):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        values.append(state >> 8)
    if bits <= 8:
        return [v % (1 << bits) for v in values]
    return [bytes((v >> (5 * k)) & 0xFF for k in range(bits // 8)) for v in values]


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):  # seeds of an earlier version of this script
        if old.startswith("seed-"):
            os.remove(os.path.join(folder, old))
    # One slot on the map tile it shows, one that differs, one under a time door of map 0.
    npcs = kopc_data.npc_record([(0, 3, 0, 0x10, 0x04), (1, 5, 1, 0x20, 0x08),
                                 (2, 29, 56, 0x30, 0x0C)])
    # (row, flags): world maps with time doors, the map that keeps its tile on a
    # difference, and every flag alone and together (bit 5 only matters to the reader).
    choices = [(0, 0x01), (2, 0x13), (19, 0x00), (19, 0x08), (4, 0x02), (8, 0x04),
               (12, 0x1F), (30, 0x10), (1, 0x20), (5, 0x2A), (30, 0x26)]
    n = 0
    for bits in (1, 4, 8, 16, 24, 32):
        # Tile spans of 1 to 128 bytes, the 16- to 128-byte ones among them; and odd
        # widths, whose rows need padding (no shape bitmap, but fine for the reader).
        for width, height in ((16, 4), (32, 9), (48, 8), (64, 4), (128, 5), (256, 4), (512, 4),
                              (13, 3), (31, 2)):
            bmp = kopc_data.bmp_bytes(width, height, bits, pixels(width, height, bits),
                                      palette(bits))
            row, flags = choices[n % len(choices)]
            if width % 16 != 0:  # read, write back and read again, in varied call modes
                row, flags = n, 0x20 | (n & 7)
            with open(os.path.join(folder, "seed-%02d-%d-%dx%d.bmp" % (n, bits, width, height)),
                      "wb") as f:
                f.write(bmp + npcs + bytes((row, flags)))
            n += 1
    # Maps wider than the writer's 1024-byte block in packed 1- and 4-bit rows.
    for bits, width in ((1, 16 * 129), (4, 16 * 33)):
        bmp = kopc_data.bmp_bytes(width, 4, bits, pixels(width, 4, bits), palette(bits))
        with open(os.path.join(folder, "seed-%02d-%d-%dx4.bmp" % (n, bits, width)), "wb") as f:
            f.write(bmp + npcs + bytes((n, 0x30)))
        n += 1
    print("%d seeds in %s" % (n, folder))


if __name__ == "__main__":
    main()
