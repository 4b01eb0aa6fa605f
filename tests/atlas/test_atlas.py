# SPDX-License-Identifier: MIT
"""kopc_atlas (KOPC_ATLAS) against kopc_map (the command line): every image decoded from
atlas.html (Pillow) has the pixels of kopc_map's BMP of that map, the page's cells, NPC
slots, mismatch lines and time doors are the data files' and kopc_map's, and the options,
errors and overwrite question behave as kopc_map's do; runs at once leave one whole page."""

import base64
import io
import json
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
import kopc_data  # noqa: E402
import png_check  # noqa: E402

try:
    from PIL import Image
except ImportError:
    print("skipped: Pillow (python3-pil) missing")
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
        images = re.findall(r'<template><img alt="" src="data:image/png;base64,([^"]*)"', text)
        thumbs = [base64.b64decode(t) for t in re.findall(r'<a class="map".*?base64,([^"]*)"', text)]
        worlds = [t.split()[0] for _, _, _, t, _ in kopc_data.CATALOGUE]
        self.assertEqual(re.findall(r"<section><h2>(.*?)</h2>", text), sorted(set(worlds), key=worlds.index))
        self.assertEqual(re.findall(r'"Elderdays Vesper.*?"', text), ['"Elderdays Vesper\\u0027s Keep"'])  # JSON
        for code in images + [m["tiles"] for m in data["maps"]]:  # padded, no stray bits
            self.assertEqual(base64.b64encode(base64.b64decode(code, validate=True)).decode(), code)
        return data, [base64.b64decode(i) for i in images], thumbs

    def same_pixels(self, bits, png, raw, title):
        """The PNG `png` has the pixels of the BMP file `raw`."""
        self.assertEqual(png_check.check_png(self, png)[0][2:4], (min(bits, 8), 3 if bits <= 8 else 2), title)
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

    def check_run(self, bits, *options):
        """Both programs on the same data: the same lines, and each PNG the BMP's pixels."""
        lines = self.kopc("--overwrite", *options, "data", status=0)[1]
        self.assertEqual(self.atlas("--overwrite", *options, "data", status=0)[1], lines)
        data, images, thumbs = self.page()
        self.assertEqual((len(images), len(thumbs)), (31, 31))
        for png, thumb, (_, _, bmp_name, title, _), entry in zip(images, thumbs, kopc_data.CATALOGUE, data["maps"]):
            self.assertEqual((entry["title"], entry["name"]), (title, bmp_name[:-4]))
            with open(self.path(bmp_name), "rb") as f:
                self.same_pixels(bits, png, f.read(), title)
            # The index's picture: the middle pixel of each block, at most 128 pixels a side.
            full, small = Image.open(io.BytesIO(png)), Image.open(io.BytesIO(thumb))
            step = -(-max(full.size) // 128)
            self.assertEqual(small.tobytes(), full.resize((full.width // step, full.height // step), Image.NEAREST,
                                                          (0, 0, full.width // step * step, full.height // step * step)).tobytes())
        return data, lines.decode().splitlines()

    def test_page_data_and_images(self):
        kopc_data.write_data_set(self.path("data"), {r: kopc_data.npc_record(s) for r, s in NPCS.items()})
        data, lines = self.check_run(4, "-t", "-n")
        self.assertEqual([(m["doors_drawn"], m["grounds_drawn"]) for m in data["maps"]], [(int(r[4] >= 0), 1) for r in kopc_data.CATALOGUE])
        kopc_data.write(self.path("names.txt"), "\ufeff00 a<b\"c'&\\\r\n# note\n3f \u00e9t\u00e9\n".encode())
        self.atlas("--overwrite", "--names", "names.txt", "data", status=0)  # JSON escapes, never markup
        with open(self.path("atlas.html"), encoding="utf-8") as f:
            self.assertIn('"names":["a\\u003cb\\u0022c\\u0027\\u0026\\u005c",' + '"",' * 62 + '"\u00e9t\u00e9"]', f.read())
        found = []
        for row, entry in enumerate(data["maps"]):
            self.assertEqual(base64.b64decode(entry["tiles"]), kopc_data.test_map(row))
            door_set = kopc_data.CATALOGUE[row][4]
            self.assertEqual(entry["doors"], [{"x": x, "y": y} for x, y in kopc_data.TIME_DOORS[door_set]] if door_set >= 0 else [])
            self.assertEqual(entry["slots"], [{"slot": s, "x": x, "y": y, "shown": shown, "ground": ground, "taken": TAKEN[row, s]}
                                              for s, x, y, shown, ground in NPCS.get(row, []) if shown and x < 64 > y])
            found += entry["mismatches"]
        self.assertEqual(found, [{"slot": 7, "x": 10, "y": 20, "line": lines[0]}, {"slot": 1, "x": 2, "y": 3, "line": lines[1]}])
        self.assertEqual(len(lines), 2)
        data = self.check_run(4, "--no-mon-files", "--cga")[0]
        self.assertEqual([m["slots"] + m["mismatches"] for m in data["maps"]], [[]] * 31)
        self.assertEqual({(m["doors_drawn"], m["grounds_drawn"]) for m in data["maps"]}, {(0, 0)})

    def test_shape_bitmaps_of_every_bit_count(self):
        kopc_data.write_data_set(self.path("data"))
        palette = bytes(v for i in range(256) for v in (i, 255 - i, i * 7 & 255, 0))
        pixels = {1: [s % 2 for s in range(64)], 8: [s * 3 for s in range(64)],
                  16: [bytes((s * 37 & 255, s * 5 & 127)) for s in range(64)],
                  24: [bytes((s, 255 - s, s * 3)) for s in range(64)],
                  32: [bytes((s, 2 * s, 3 * s, 0xAB)) for s in range(64)]}
        # The page names the bitmap, not its folder, escaped (Windows takes no ", <, > or
        # control character in a name).
        name, shown = (("a&b'.bmp", "a&#38;b&#39;.bmp") if kopc_data.windows_program() else
                       ("a&b\"c<d'e\x01f>.bmp", "a&#38;b&#34;c&#60;d&#39;e&#1;f&#62;.bmp"))
        for bits, shapes in pixels.items():
            kopc_data.write(self.path(name), kopc_data.bmp_bytes(
                16, 4, bits, shapes, palette[:4 << bits] if bits <= 8 else b""))
            data = self.check_run(bits, "-s", os.path.join(".", name))[0]
            with open(self.path(name), "rb") as f:  # the sheet of 16 x 4 shapes of 1 pixel
                self.same_pixels(bits, base64.b64decode(data["shapes"]), f.read(), "shapes")
            self.assertEqual((data["tile"], data["names"]), ({"width": 1, "height": 1}, [""] * 64))
            with open(self.path("atlas.html"), encoding="utf-8") as f:
                self.assertEqual(re.search("drawn by kopc_atlas with (.*?)</p>", f.read())[1], "-s " + shown)

    def test_options_errors_and_the_overwrite_question(self):
        usage = self.kopc("--help", status=1)[1].decode()
        self.atlas("-?", status=1, out=kopc_data.companion_usage(
            usage, "kopc_atlas", "overwrite atlas.html", "write all maps into atlas.html in the current directory\n"))
        for args, out in ((["-x"], "error: unknown option '-x'\n"), (["a", "b"], "error: illegal parameter 'b'\n"),
                          (["-s"], "error: no shape bitmap filename\n"),
                          (["--names", "no.txt"], "error: read shape names 'no.txt'\n")):
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
        if not kopc_data.windows_program():
            # A page that cannot be written whole (a file size limit) leaves no file behind.
            os.remove(self.path("atlas.html"))
            self.atlas("--overwrite", "data", status=1, preexec=kopc_data.file_size_limit(4096),
                       out="error: write 'atlas.html'\nerror: write atlas file 'atlas.html'\n")
            self.assertEqual(os.listdir(self.dir), ["data"])


    def test_runs_at_once_leave_one_whole_page(self):
        kopc_data.write_data_set(self.path("data"))
        runs = [kopc_data.COMMAND[:-1] + [os.path.abspath(os.environ["KOPC_ATLAS"]), "--overwrite",
                                          os.path.join("..", "data")] + o for o in ([], ["--cga"])]
        folders = ["a", "b"] + ["both"] * 8  # the first two alone, for each run's own page
        for folder in folders[:3]:
            os.mkdir(self.path(folder))
        procs = [subprocess.Popen(runs[i % 2], cwd=self.path(folder), stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT) for i, folder in enumerate(folders)]
        self.assertEqual({(p.communicate()[0], p.returncode) for p in procs}, {(b"", 0)})
        self.assertEqual(os.listdir(self.path("both")), ["atlas.html"])
        pages = [open(self.path(f, "atlas.html"), "rb").read() for f in folders[:3]]
        self.assertIn(pages[2], pages[:2])


if __name__ == "__main__":
    kopc_data.main()
