# SPDX-License-Identifier: MIT
"""kopc_import (KOPC_IMPORT) on generated data, with kopc_tmx (KOPC_TMX), kopc_map (the command
line) and Tiled: an export imported unedited changes no byte; edits made as Tiled makes them
come back as Tiled's tmxrasterizer draws them; every refusal names its file and cell and
writes nothing; the question, --dry-run, a full disk and a stopped run leave the files whole."""

import base64
import gzip
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import zlib
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
import kopc_data  # noqa: E402

try:
    from PIL import Image
    assert shutil.which("tmxrasterizer") and shutil.which("tiled")
except (ImportError, AssertionError):
    print("skipped: tiled, tmxrasterizer (Debian: tiled) or Pillow (python3-pil) missing")
    sys.exit(1 if os.environ.get("KOPC_NO_SKIP") == "1" else 77)

ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")
FIRST, KESSA, HAMLET = 2, 14, kopc_data.KEEP_MAP_ROW  # Firstland: MAPX10, MONX10


def tile(row, c, r):
    return kopc_data.test_map(row)[r * 64 + c]


# Firstland's slots (slot, x, y, shown, ground): 0 drawn where the map holds its tile, 1 drawn
# on a map that disagrees, 2 drawn and 3 hidden under it on one cell, 4 off the map.
SLOTS = [(0, 10, 10, tile(FIRST, 10, 10), 7), (1, 20, 5, tile(FIRST, 20, 5) ^ 4, 9),
         (2, 30, 30, tile(FIRST, 30, 30), 11), (3, 30, 30, 200, 13), (4, 70, 3, 8, 8)]
TAIL = b"\x5a" * 33  # bytes past what a map holds, which must stay


def record(slots):
    rec = bytearray(kopc_data.npc_record(slots))
    rec[64:96], rec[160:] = bytes(range(1, 33)), bytes(range(100, 196))  # arrays no map shows
    return bytes(rec)


def cells(root):
    return [int(v) for v in root.find("layer/data").text.split(",")]


def paint(c, r, byte):
    def edit(t, root):
        data = cells(root)
        data[r * 64 + c] = byte + 1
        root.find("layer/data").text = ",".join(map(str, data))
    return edit


def npc(root, slot):
    return next(o for o in root.iter("object") if o.find("*/property[@name='slot']") is not None
                and o.find("*/property[@name='slot']").get("value") == str(slot))


def put(o, c, r, dx=0.0, dy=0.0):  # a 16-pixel tile object on cell (c, r), moved by dx, dy
    o.set("x", str(c * 16 + dx)), o.set("y", str((r + 1) * 16 + dy))


def move(slot, c, r, dx=0.0, dy=0.0):
    return lambda t, root: put(npc(root, slot), c, r, dx, dy)


def add(c, r, byte, copy_of=None, **extra):
    def edit(t, root):
        new = ET.fromstring(ET.tostring(npc(root, copy_of))) if copy_of is not None else ET.Element("object")
        new.attrib.update(id=root.get("nextobjectid"), width="16", height="16", **extra)
        new.set("gid", str(byte + 1)) if byte is not None else None
        put(new, c, r)
        root.set("nextobjectid", str(int(root.get("nextobjectid")) + 1))
        root.find("objectgroup[@name='npcs']").append(new)
    return edit


def encode(compression, then):
    def edit(t, root):
        then(t, root)
        data = root.find("layer/data")
        raw = b"".join(v.to_bytes(4, "little") for v in cells(root))
        data.text = base64.b64encode({"zlib": zlib.compress, "gzip": gzip.compress, "": bytes}[compression](raw)).decode()
        data.attrib.update(encoding="base64", **({"compression": compression} if compression else {}))
    return edit


def behind_another_tileset(then):  # of 16 tiles (Tiled counts them in its image), in the old XML form
    def edit(t, root):
        then(t, root)
        data, ours = root.find("layer/data"), root.find("tileset")
        gids, data.text = cells(root), None
        del data.attrib["encoding"]
        for gid in gids:
            ET.SubElement(data, "tile", gid=str(gid + 16))
        for o in root.iter("object"):
            o.set("gid", str(int(o.get("gid")) + 16))
        ours.set("firstgid", "17")
        other = ET.Element("tileset", firstgid="1", name="other", tilewidth="64", tileheight="64", tilecount="16")
        ET.SubElement(other, "image", source="ko.tiles.png", width="1024", height="64")
        root.insert(list(root).index(ours), other)
    return edit


def both(*edits):
    return lambda t, root: [e(t, root) for e in edits]


def attr(slot, **values):
    return lambda t, root: npc(root, slot).attrib.update(values)


class Import(kopc_data.ProgramTest):
    def setUp(self):
        super().setUp()
        kopc_data.write_data_set(self.path("data"), {FIRST: record(SLOTS), HAMLET: record([(0, 5, 5, 4, 2)]),
                                                     KESSA: record([(s, s, 40, tile(KESSA, s, 40), 1) for s in range(32)])})
        for name in os.listdir(self.path("data")):
            with open(self.path("data", name), "ab") as f:
                f.write(TAIL if name.startswith("M") else b"")
        os.mkdir(self.path("tmx"))
        pixels = [(i * 7 + i // 128) % 256 for i in range(128 * 32)]
        kopc_data.write(self.path("shapes.bmp"), kopc_data.bmp_bytes(128, 32, 8, pixels, bytes(range(256)) * 4))

    def run_program(self, variable, *args, **kw):
        saved, kopc_data.COMMAND[-1] = kopc_data.COMMAND[-1], os.path.abspath(os.environ[variable])
        try:
            return self.kopc(*args, **kw)
        finally:
            kopc_data.COMMAND[-1] = saved

    def export(self, *args):
        self.run_program("KOPC_TMX", "--overwrite", *[a.replace("shapes", "../shapes") for a in args], "../data",
                         cwd=self.path("tmx"), status=0)

    def imp(self, *args, **kw):
        return self.run_program("KOPC_IMPORT", *args, "tmx", "data", **kw)[1].decode()

    def sums(self):
        return {n: hashlib.sha256(pathlib.Path(self.path("data", n)).read_bytes()).hexdigest()
                for n in os.listdir(self.path("data"))}

    def edit(self, edit, name="ko.Firstland.tmx", tiled=(), save=True):
        """Edits a map as Tiled's model, then lets Tiled save it as it saves its own."""
        tree = ET.parse(self.path("tmx", name))
        edit(self, tree.getroot())
        tree.write(self.path("tmx", "edit.xml" if save else name), encoding="UTF-8", xml_declaration=True)
        if save:
            subprocess.run(["tiled", *tiled, "--export-map", "tmx", "edit.xml", name], cwd=self.path("tmx"), env=ENV,
                           check=True, capture_output=True, timeout=120)
            os.remove(self.path("tmx", "edit.xml"))

    def test_an_unedited_export_changes_no_byte(self):
        before = self.sums()
        for args in [(), ("-t",), ("-n",), ("--no-mon-files",), ("--ignore-diff",), ("-s", "shapes.bmp", "-t")]:
            self.export(*args)
            self.edit(lambda t, root: None, "ko.Halvar.Hamlet.tmx")  # as Tiled saves it
            self.assertEqual(self.imp("--overwrite", status=0), "the game files already hold every map: nothing to write\n")
            self.assertEqual(self.sums(), before, args)

    def test_edits_come_back_as_tiled_draws_them(self):
        mon = lambda s, a: 32 * a + s  # noqa: E731  an NPC file's byte: slot s of array a
        shown = [t[3] for t in SLOTS]
        # (options, edit, Tiled's save options, map, NPC bytes {offset: value}, map cells {(c, r): value}, the line
        # that tells where Tiled cannot draw what the game gets)
        cases = [
            ((), paint(0, 0, 5), (), FIRST, {}, {(0, 0): 5}, ""),
            (("-t",), paint(10, 10, 6), (), FIRST, {mon(0, 4): 6}, {(10, 10): shown[0]}, ""),
            ((), move(0, 12, 11, 5.33, -3.5), (), FIRST,
             {mon(0, 0): 12, mon(0, 1): 11, mon(0, 3): shown[0], mon(0, 4): tile(FIRST, 12, 11)},
             {(12, 11): shown[0], (10, 10): 7}, ""),
            ((), lambda t, root: root.find("objectgroup").remove(npc(root, 1)), (), FIRST,
             {mon(1, 3): 0, mon(1, 0): 20, mon(1, 4): 9}, {(20, 5): tile(FIRST, 20, 5)}, ""),
            ((), add(3, 4, 0x40), (), FIRST, {mon(5, 0): 3, mon(5, 1): 4, mon(5, 3): 0x40, mon(5, 4): tile(FIRST, 3, 4)},
             {(3, 4): 0x40}, ""),
            (("--ignore-diff",), add(40, 41, None, copy_of=0), (), FIRST,
             {mon(5, 0): 40, mon(5, 1): 41, mon(5, 3): shown[0], mon(0, 0): 10}, {(40, 41): shown[0]}, ""),
            ((), encode("zlib", both(paint(1, 2, 3), attr(1, gid="17"))), (), FIRST,
             {mon(1, 3): 16, mon(1, 4): tile(FIRST, 20, 5)}, {(1, 2): 3, (20, 5): 16}, ""),
            ((), encode("gzip", move(1, 21, 5)), ("--embed-tilesets",), FIRST,
             {mon(1, 0): 21, mon(1, 3): shown[1]}, {(21, 5): shown[1], (20, 5): tile(FIRST, 20, 5)}, ""),
            ((), encode("", move(0, 9, 9)), (), FIRST, {mon(0, 0): 9, mon(0, 1): 9}, {(9, 9): shown[0], (10, 10): 7}, ""),
            ((), behind_another_tileset(paint(4, 4, 20)), (), FIRST, {}, {(4, 4): 20}, ""),
            ((), lambda t, root: ET.SubElement(root, "objectgroup", id="4", name="notes"), (), FIRST, {}, {},
             "'tmx\\ko.Firstland.tmx': layers not read: 'notes'\n"),
            ((), attr(0, visible="1"), (), HAMLET, {mon(0, 3): 4, mon(0, 4): tile(HAMLET, 5, 5)}, {(5, 5): 4}, ""),
            (("-n",), both(paint(2, 2, 9), move(0, 11, 10)), (), FIRST, {mon(0, 0): 10}, {(2, 2): 9},
             "'tmx\\ko.Firstland.tmx': written with -n, it carries tile edits only: its NPC objects' changes stay out\n"),
            ((), move(2, 31, 30), (), FIRST, {mon(2, 0): 31, mon(3, 0): 30}, {(30, 30): 11}, "'tmx\\ko.Firstland.tmx' "
             "cell (30, 30): slot 3, which another slot hid there, is now drawn (Tiled could not show it)\n"),
        ]
        for name in os.listdir(self.path("data")):  # the folder spells its files in lower case
            os.rename(self.path("data", name), self.path("data", name.lower()))
        shutil.copytree(self.path("data"), self.path("first"))
        for options, edit, tiled, row, npc_bytes, map_cells, said in cases:
            with self.subTest(options=options, row=row, npc=npc_bytes, said=said):
                shutil.rmtree(self.path("data"))
                shutil.copytree(self.path("first"), self.path("data"))
                map_file, mon_file, bmp = kopc_data.CATALOGUE[row][0].lower(), kopc_data.CATALOGUE[row][1].lower(), \
                    kopc_data.CATALOGUE[row][2]
                self.export(*options)
                self.edit(edit, bmp[:-3] + "tmx", tiled)
                self.assertIn(said, self.imp("--overwrite", status=0))
                data = {n: open(self.path("data", n), "rb").read() for n in (map_file, mon_file)}
                self.assertEqual(({k: data[mon_file][k] for k in npc_bytes},
                                  {k: data[map_file][k[1] * 64 + k[0]] for k in map_cells}), (npc_bytes, map_cells))
                self.assertEqual((data[map_file][4096:], data[mon_file][256:], len(os.listdir(self.path("data"))),
                                  [n for n in os.listdir(self.path("data")) if n != n.lower()]), (TAIL, TAIL, 64, []))
                self.kopc("--overwrite", *[a.replace("shapes", "../shapes") for a in options], "data", status=0)
                # Tiled's picture, each object put on the cell under its centre, as the game has it.
                tree = ET.parse(self.path("tmx", bmp[:-3] + "tmx"))
                for o in tree.getroot().iter("object"):
                    put(o, int(float(o.get("x")) + 8) // 16, int(float(o.get("y")) - 8) // 16)
                tree.write(self.path("tmx", "snapped.xml"))
                subprocess.run(["tmxrasterizer", "--no-smoothing", os.path.join("tmx", "snapped.xml"), "r.png"],
                               cwd=self.dir, env=ENV, check=True, capture_output=True, timeout=120)
                os.remove(self.path("tmx", "snapped.xml"))
                drawn, want = (Image.open(self.path(n)).convert("RGBA").tobytes() for n in ("r.png", bmp))
                self.assertEqual(drawn == want, "layers" in said or not said)  # not on them: megabytes of diff

    def test_refusals_name_their_file_and_write_nothing(self):
        def copy(t, root):
            shutil.copy(t.path("tmx", "ko.Firstland.tmx"), t.path("tmx", "ko.Firstland.copy.tmx"))

        def data_changed(t, root):
            with open(t.path("data", "MAPX10"), "r+b") as f:
                f.write(b"\1")

        def prop(name, value):
            return lambda t, root: root.find("properties").remove(root.find("properties/property[@name='%s']" % name)) \
                if value is None else root.find("properties/property[@name='%s']" % name).set("value", value)

        drop_2 = lambda t, root: root.find("objectgroup").remove(npc(root, 2))  # noqa: E731
        zstd = lambda t, root: root.find("layer/data").attrib.update(encoding="base64", compression="zstd")  # noqa: E731
        f = "error: 'tmx\\ko.Firstland.tmx' "
        cases = [
            (paint(3, 4, -1), f + "cell (3, 4) is empty: paint a tile there in Tiled"),
            (paint(5, 6, 0x80000004), f + "cell (5, 6) holds a flipped or rotated tile: paint it unflipped in Tiled"),
            (paint(7, 8, 299), f + "cell (7, 8) holds a tile of another tileset: paint one of ko.tiles there in Tiled"),
            (zstd, f + "layer 'tiles' is stored as 'base64 zstd': set Tile Layer Format to CSV in Tiled's Map Properties"),
            (lambda t, root: root.set("infinite", "1"), f + "is an infinite map: uncheck Infinite in Tiled's Map Properties"),
            (attr(0, rotation="90"), f + "object 1 is rotated: set its Rotation to 0 in Tiled"),
            (attr(0, width="32"), f + "object 1 is resized: set its Width and Height to 16 x 16 in Tiled"),
            (attr(0, gid=str(0x40000001 + SLOTS[0][3])), f + "object 1 is flipped: flip it back in Tiled"),
            (add(0, 0, None), f + "object 9 is no tile object: delete it from layer 'npcs' in Tiled"),
            (add(0, 0, None, template="npc.tx"), f + "object 9 is a template instance: detach it from its template in Tiled"),
            (attr(0, gid="300"), f + "object 1 shows a tile of another tileset: replace its tile with one of ko.tiles in Tiled"),
            (attr(0, gid="1"), f + "object 1 shows tile 0, which no NPC shows: give it another tile, or delete it, in Tiled"),
            (move(0, 64, 3), f + "object 1 stands off the map, at cell (64, 3): move it onto the map in Tiled"),
            (add(10, 10, 5), f + "objects 1 and 9 are both visible on cell (10, 10): move or delete one in Tiled"),
            (both(drop_2, move(0, 30, 30)), f + "object 1 lands on cell (30, 30), where slot 3 stands: move it to another "
             "cell in Tiled"),
            (attr(0, visible="0"), f + "object 1 is changed but hidden: show it, or delete it, in Tiled"),
            (prop("options", "--bogus"), f + "has options '--bogus', which kopc_tmx does not write: write the map again "
             "with kopc_tmx"),
            (prop("base", None), f + "has no property 'base': write the map again with kopc_tmx"),
            (lambda t, root: root.find("objectgroup").set("name", "NPCs"), f + "has no object layer 'npcs': write the map "
             "again with kopc_tmx"),
            (data_changed, f + "was made from other files than 'data\\MAPX10' and 'data\\MONX10' (they changed since, or "
             "it comes from another copy of the game): write the map again with kopc_tmx and edit it again"),
            (copy, "error: 'tmx\\ko.Firstland.copy.tmx' and 'tmx\\ko.Firstland.tmx' both hold map file 'MAPX10': move "
             "one of them out of the folder"),
        ]
        for edit, line in cases:
            with self.subTest(line=line):
                self.export()
                self.edit(edit, save=False)
                before = self.sums()
                self.assertEqual(self.imp("--overwrite", status=1), line + "\nerror: no game file written\n")
                self.assertEqual(self.sums(), before)
                for name in os.listdir(self.path("tmx")):
                    os.remove(self.path("tmx", name))
        self.export()
        self.edit(add(50, 50, 8), "ko.Kessa.tmx", save=False)
        self.assertEqual(self.imp(status=1), "error: 'tmx\\ko.Kessa.tmx' adds an NPC to MAPG10, whose 32 slots are all in "
                                             "use: delete another NPC object in Tiled\nerror: no game file written\n")

    def test_the_question_dry_run_full_disk_and_a_stopped_run(self):
        self.assertEqual(self.run_program("KOPC_IMPORT", "-?", status=1)[1].decode().splitlines()[0],
                         "usage: kopc_import [options] TMX-FOLDER [DATA-PATH]")
        self.run_program("KOPC_IMPORT", "--dry-run", status=1, out="error: no TMX-FOLDER given\n")
        self.export()
        self.edit(paint(10, 10, 6), save=False)  # Firstland's NPC file alone changes, then Kessa's map file
        self.edit(paint(0, 0, 5), "ko.Kessa.tmx", save=False)
        lines = "'data\\MONX10': slot 0 ground 01:2\n'data\\MAPG10': 1 of 4096 tiles changed\n"
        ask, kept = "replace 2 game files ? (Y or N): ", "error: write game files: the old ones stay as they were\n"
        before = self.sums()
        stopped = self.path("data", "mapx10.999999999-1.part")  # no process has that id
        runs = [(("--dry-run",), b"", None, lines, 0), ((), b"x\nn", None, lines + ask + "error: no game file written\n", 1),
                ((), None, None, lines + ask + "error: no game file written\n", 1)]
        if not kopc_data.windows_program():
            runs.append((("--overwrite",), b"", kopc_data.file_size_limit(1000), lines + kept, 1))
        for args, stdin, preexec, out, status in runs:
            self.assertEqual(self.imp(*args, stdin=stdin, preexec=preexec, status=status), out)
            self.assertEqual(self.sums(), before)
        kopc_data.write(stopped, b"old")
        self.assertEqual(self.imp("--overwrite", status=1), "error: '%s' was left by a run that stopped while writing "
                         "the game files: compare it with the file it is named after, keep the right one and remove it\n"
                         % "data\\mapx10.999999999-1.part")
        os.remove(stopped)
        self.assertEqual(self.sums(), before)
        self.assertEqual(self.imp(stdin=b"y", status=0), lines + ask)
        after = {n: open(self.path("data", n), "rb").read() for n in ("MONX10", "MAPG10")}
        self.assertEqual((after["MONX10"][128], after["MAPG10"][0], after["MONX10"][256:], after["MAPG10"][4096:]),
                         (6, 5, TAIL, TAIL))
        self.assertEqual({n: s for n, s in self.sums().items() if before[n] != s}.keys(), {"MONX10", "MAPG10"})


if __name__ == "__main__":
    kopc_data.main()
