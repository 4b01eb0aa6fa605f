# SPDX-License-Identifier: MIT
"""A PNG file's framing walked with Python's own struct and zlib, apart from any decoder."""

import re
import struct
import zlib


def check_png(test, png):
    """Asserts the signature, each chunk's length and CRC, the order IHDR, PLTE (palette images
    only), IDATs back to back, IEND at the very end, and rows of filter byte 0. Returns the
    IHDR fields (width, height, depth, colour type, ...) and the inflated rows."""
    test.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
    at, chunks = 8, []
    while not chunks or chunks[-1][0] != b"IEND":
        length, kind = struct.unpack_from(">I4s", png, at)
        data, crc = png[at + 8:at + 8 + length], png[at + 8 + length:at + 12 + length]
        test.assertEqual(crc, struct.pack(">I", zlib.crc32(kind + data)), (kind, at))
        chunks.append((kind, data))
        at += 12 + length
    header, kinds = struct.unpack(">IIBBBBB", chunks[0][1]), b" ".join(kind for kind, _ in chunks)
    test.assertTrue(re.fullmatch(rb"IHDR( PLTE)?( IDAT)+ IEND", kinds) and (b"PLTE" in kinds) == (header[3] == 3), kinds)
    idats = [len(data) for kind, data in chunks if kind == b"IDAT"]  # 8 KiB each, the last one at most
    test.assertTrue(set(idats[:-1]) <= {8192} and 0 < idats[-1] <= 8192, idats)
    rows = zlib.decompress(b"".join(data for kind, data in chunks if kind == b"IDAT"))
    row = (header[0] * header[2] * (3 if header[3] == 2 else 1) + 7) // 8 + 1
    test.assertEqual((at, len(rows), rows[::row]), (len(png), header[1] * row, bytes(header[1])))  # at: nothing past IEND
    return header, rows
