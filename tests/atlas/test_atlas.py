# SPDX-License-Identifier: MIT
"""kopc_atlas (KOPC_ATLAS) against kopc_map (the command line): every image decoded from
atlas.html (Pillow) has the pixels of kopc_map's BMP of that map, the page's cells, NPC
slots, mismatch lines and time doors are the data files' and kopc_map's, and the options,
errors and overwrite question behave as kopc_map's do."""

import base64
import io
import json
import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
import kopc_data  # noqa: E402

try:
    from PIL import Image
except ImportError:
    sys.exit(1 if os.environ.get("KOPC_NO_SKIP") == "1" else 77)  # CI must run it

MAP_TILE = lambda row, x, y: kopc_data.test_map(row)[y * 64 + x]  # noqa: E731
# (slot, x, y, shown, ground) by row: on row 2 a matching and a differing slot; on row 19,
# which keeps its map on a mismatch, a differing slot passed over for a matching one on the
# same cell, an unused slot and one off the map.
NPCS = {2: [(3, 5, 6, MAP_TILE(2, 5, 6), 9), (7, 10, 20, 0xE9, 0x11)],
        19: [(0, 2, 3, 0, 5), (1, 2, 3, 0x81, 6), (4, 2, 3, MAP_TILE(19, 2, 3), 7), (9, 64, 3, 8, 8),
             (10, 3, 64, 8, 8)]}
TAKEN = {(2, 3): 1, (2, 7): 1, (19, 1): 0, (19, 4): 1}


class Atlas(kopc_data.ProgramTest):
    def atlas(self, *args, **kw):
        saved = kopc_data.COMMAND[:]
        kopc_data.COMMAND[-1] = os.path.abspath(os.environ["KOPC_ATLAS"])
        try:
            return self.kopc(*args, **kw)
        finally:
            kopc_data.COMMAND[:] = saved

    def page(self):
        with open(self.path("atlas.html"), encoding="utf-8") as f:
            text = f.read()
        data = json.loads(re.search(r'id="atlas-data">(.*?)</script>', text, re.S).group(1))
        images = re.findall(r'<img alt="" src="data:image/png;base64,([^"]*)"', text)
        worlds = [t.split()[0] for _, _, _, t, _ in kopc_data.CATALOGUE]
        self.assertEqual(re.findall(r"<section><h2>(.*?)</h2>", text), sorted(set(worlds), key=worlds.index))
        return data, [base64.b64decode(i, validate=True) for i in images]

    def check_run(self, bits, *options):
        """Both programs on the same data: the same lines, and each PNG the BMP's pixels."""
        lines = self.kopc("--overwrite", *options, "data", status=0)[1]
        self.assertEqual(self.atlas("--overwrite", *options, "data", status=0)[1], lines)
        data, images = self.page()
        self.assertEqual(len(images), 31)
        for png, (_, _, bmp_name, title, _), entry in zip(images, kopc_data.CATALOGUE, data["maps"]):
            self.assertEqual((entry["title"], entry["png"]), (title, bmp_name[:-3] + "png"))
            self.assertEqual(png[24:26], bytes((min(bits, 8), 3 if bits <= 8 else 2)), title)
            with open(self.path(bmp_name), "rb") as f:
                raw = f.read()
            image, bmp = Image.open(io.BytesIO(png)), Image.open(io.BytesIO(raw))
            if bits <= 8:
                self.assertEqual((image.mode, image.getpalette()[:3 << bits]), ("P", bmp.getpalette()[:3 << bits]))
                self.assertEqual(image.tobytes(), bmp.tobytes(), title)
            elif bits == 16:  # 5-5-5 widened as (v << 3) | (v >> 2), top row first
                stride = 2 * bmp.width
                rows = [raw[i:i + stride] for i in range(len(raw) - stride, 53, -stride)]
                wide = lambda v: v << 3 | v >> 2  # noqa: E731
                self.assertEqual(image.tobytes(), bytes(
                    wide(p >> s & 31) for row in rows for (p,) in struct.iter_unpack("<H", row) for s in (10, 5, 0)))
            else:
                self.assertEqual((image.mode, image.tobytes()), ("RGB", bmp.convert("RGB").tobytes()))
        return data, lines.decode().splitlines()

    def test_page_data_and_images(self):
        kopc_data.write_data_set(self.path("data"), {r: kopc_data.npc_record(s) for r, s in NPCS.items()})
        data, lines = self.check_run(4, "-t", "-n")
        self.assertEqual((data["doors_drawn"], data["ground"]), (1, 1))
        found = []
        for row, entry in enumerate(data["maps"]):
            self.assertEqual(base64.b64decode(entry["tiles"]), kopc_data.test_map(row))
            door_set = kopc_data.CATALOGUE[row][4]
            self.assertEqual(entry["doors"], [list(d) for d in kopc_data.TIME_DOORS[door_set]] if door_set >= 0 else [])
            self.assertEqual(entry["slots"], [[s, x, y, shown, ground, TAKEN[row, s]]
                                              for s, x, y, shown, ground in NPCS.get(row, []) if shown and x < 64 > y])
            found += entry["mismatches"]
        self.assertEqual([m[3] for m in found], lines)
        self.assertEqual([m[:3] for m in found], [[7, 10, 20], [1, 2, 3]])
        self.assertEqual(len(lines), 2)
        data = self.check_run(4, "--no-mon-files", "--cga")[0]
        self.assertEqual([m["slots"] + m["mismatches"] for m in data["maps"]], [[]] * 31)
        self.assertEqual((data["doors_drawn"], data["ground"]), (0, 0))

    def test_shape_bitmaps_of_every_bit_count(self):
        kopc_data.write_data_set(self.path("data"))
        palette = bytes(v for i in range(256) for v in (i, 255 - i, i * 7 & 255, 0))
        pixels = {1: [s % 2 for s in range(64)], 8: [s * 3 for s in range(64)],
                  16: [bytes((s * 37 & 255, s * 5 & 127)) for s in range(64)],
                  24: [bytes((s, 255 - s, s * 3)) for s in range(64)],
                  32: [bytes((s, 2 * s, 3 * s, 0xAB)) for s in range(64)]}
        for bits, shapes in pixels.items():
            kopc_data.write(self.path("shapes.bmp"), kopc_data.bmp_bytes(
                16, 4, bits, shapes, palette[:4 << bits] if bits <= 8 else b""))
            self.check_run(bits, "-s", os.path.join(".", "shapes.bmp"))
            with open(self.path("atlas.html"), encoding="utf-8") as f:  # the name, not its folder
                self.assertIn("drawn by kopc_atlas with -s shapes.bmp</p>", f.read())

    def test_options_errors_and_the_overwrite_question(self):
        usage = self.kopc("--help", status=1)[1].decode()
        self.atlas("-?", status=1, out=usage.replace("kopc_map", "kopc_atlas").replace(
            "overwrite output files", "overwrite atlas.html") +
            "write all maps into atlas.html in the current directory\n")
        for args, out in ((["-x"], "error: unknown option '-x'\n"), (["a", "b"], "error: illegal parameter 'b'\n"),
                          (["-s"], "error: no shape bitmap filename\n")):
            self.atlas(*args, status=1, out=out)
        kopc_data.write_data_set(self.path("data"))
        question = "'atlas.html' already exists\noverwrite ? (Y or N): "
        kopc_data.write(self.path("atlas.html"), b"old")
        self.atlas("data", stdin=b"x\nn", status=1, out=question + "error: write atlas file 'atlas.html'\n")
        self.assertEqual(sorted(os.listdir(self.dir)), ["atlas.html", "data"])
        self.assert_file("atlas.html", b"old")
        self.atlas("data", stdin=b"x\ny", status=0, out=question)
        self.atlas("--overwrite", "data", stdin=None, status=0, out="")
        with open(self.path("atlas.html"), "rb") as f:
            self.assertEqual(f.read(16), b"<!DOCTYPE html>\n")
        if os.path.exists("/dev/full") and not kopc_data.windows_program():
            # A page that cannot be written whole leaves nothing under either name.
            os.remove(self.path("atlas.html"))
            os.symlink("/dev/full", self.path("atlas.html.part"))
            self.atlas("--overwrite", "data", status=1,
                       out="error: write 'atlas.html.part'\nerror: write atlas file 'atlas.html'\n")
            self.assertEqual(os.listdir(self.dir), ["data"])


if __name__ == "__main__":
    kopc_data.main()
