# SPDX-License-Identifier: MIT
"""kopc_tmx (KOPC_TMX) on the sample world (KOPC_SAMPLE) against kopc_map (the command line):
Tiled's own renderer draws every map as kopc_map's BMP, pixel for pixel; the TMX gives back
the map and NPC bytes; Tiled re-saves the files unchanged; names, errors, the question."""

import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
import kopc_data  # noqa: E402

try:
    from PIL import Image
    assert shutil.which("tmxrasterizer")
except (ImportError, AssertionError):
    print("skipped: tmxrasterizer (Debian: tiled) or Pillow (python3-pil) missing")
    sys.exit(1 if os.environ.get("KOPC_NO_SKIP") == "1" else 77)  # CI must run it

ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")
TMX = [name[:-3] + "tmx" for name in kopc_data.OUTPUTS]
TILED = sorted(TMX + ["ko.tiles.png", "ko.tiles.tsx"])
ONE_BIT = kopc_data.bmp_bytes(128, 32, 1, [(x // 8 + y // 8 * 16 >> (x + y) % 6 & 1) ^ (x * y % 3 == 0)
                                           for y in range(32) for x in range(128)], b"\x10\x80\xf0\0\xe0\x30\x05\0")
# Not UTF-8: each byte that begins no character is one U+FFFD (a surrogate is three), and so is U+FFFE.
ODD = b"one\xff\x01\xed\xa0\x80\xe2\x82\xef\xbf\xbe\xc3\xa9.bmp"
# (arguments, the options property)
RUNS = [((), "--ega"), (("--cga", "-t"), "--cga -t"), (("-n", "--ignore-diff"), "--ega -n --ignore-diff"),
        (("-s", "data/shapes24.bmp"), "-s shapes24.bmp"),
        (("-s", ODD, "--no-mon-files"), "-s one%sé.bmp --no-mon-files" % ("\ufffd" * 8))]
NAMES = "\ufeff# names\r\n\r\n2a a'b&\"<>\xa0\u2029\u206a\ufffd\r\n0F " + "é" * 40 + "\n"
BAD_NAMES = [(b"40 x", 1, "bad shape code"), (b"# c\n\n2a a\n2A b\n", 4, "repeated shape code"),
             (b"01 a\xc3\n", 1, "invalid UTF-8"), (b"01 \xc0\xaf", 1, "invalid UTF-8"), (b"01\tx", 1, "bad shape code"),
             (("01 " + "é" * 40 + "\r\n02 " + "é" * 41).encode(), 2, "bad name"), (b"0g x", 1, "bad shape code"),
             (b"01 a\x7f", 1, "bad name"), (b"01", 1, "bad name"), (b"01 \xc2\x85", 1, "bad name"),
             (b"\xef\xbb\xbf\n3f \xf0\x9f\x98\x80\n01 \xed\xa0\x80", 3, "invalid UTF-8")] + [
                 (b"01 a" + c.encode(), 1, "bad name") for c in "\x9f\ufffe\uffff\u202a\u202e\u2066\u2069"]
KEPT = "error: write Tiled files: the old ones stay as they were\n"
code = lambda byte: "%02X:%d" % (byte >> 2, byte & 3)  # noqa: E731 a tile byte as the mismatch lines write it


def fnv(data):
    """The 64-bit FNV-1a digest, as 16 hex digits."""
    h = 0xCBF29CE484222325
    for b in data:
        h = (h ^ b) * 0x100000001B3 & (1 << 64) - 1
    return "%016x" % h


class Tmx(kopc_data.ProgramTest):
    def setUp(self):
        super().setUp()
        subprocess.run(kopc_data.COMMAND[:-1] + [os.environ["KOPC_SAMPLE"], self.path("data")], check=True,
                       stdout=subprocess.DEVNULL)
        kopc_data.write(self.path("one.bmp"), ONE_BIT)

    def tmx(self, *args, **kw):
        saved, kopc_data.COMMAND[-1] = kopc_data.COMMAND[-1], os.path.abspath(os.environ["KOPC_TMX"])
        try:
            return self.kopc(*args, **kw)
        finally:
            kopc_data.COMMAND[-1] = saved

    def read(self, *names):
        with open(self.path(*names), "rb") as f:
            return f.read()

    def test_tiled_draws_and_reads_back_what_kopc_map_draws(self):
        kopc_data.write(self.path("data", "MAPX00"), b"\x72\x71\x72" + self.read("data", "MAPX00")[3:])  # shape 1C: paint copy 2
        uses = b"".join(self.read("data", row[0])[:4096] for row in kopc_data.CATALOGUE)
        paint = [max(range(t - t % 4, t - t % 4 + 4), key=lambda b: (uses.count(b), -b)) == t for t in range(256)]
        kopc_data.write(os.fsencode(self.dir) + b"/" + ODD, ONE_BIT)
        for args, options in RUNS:
            if kopc_data.windows_program() and ODD in args:  # Windows' names are UTF-16: none is invalid
                args, options = ("-s", "one.bmp", "--no-mon-files"), "-s one.bmp --no-mon-files"
            lines = self.kopc("--overwrite", *args, "data", status=0)[1]
            self.assertEqual(self.tmx("--overwrite", *args, "data", status=0)[1], lines)
            flagged, tiles = [], ET.parse(self.path("ko.tiles.tsx")).getroot().findall("tile")
            self.assertEqual([{q.get("name"): q.get("value") for q in t.iter("property")} for t in tiles],
                             [{"code": code(t), "paint": "false true".split()[paint[t]]} for t in range(256)])
            for tmx, (map_file, mon_file, bmp, title, door_set) in zip(TMX, kopc_data.CATALOGUE):
                subprocess.run(["tmxrasterizer", "--no-smoothing", tmx, "r.png"], cwd=self.dir, env=ENV, check=True,
                               capture_output=True, timeout=120)
                drawn, want = (Image.open(self.path(n)).convert("RGBA").tobytes() for n in ("r.png", bmp))
                self.assertTrue(drawn == want, (options, tmx))  # not assertEqual: megabytes of diff
                root, record = ET.parse(self.path(tmx)).getroot(), self.read("data", mon_file)[:256]
                props = {p.get("name"): p.get("value") for p in root.find("properties")}
                tiles = bytearray(int(v) - 1 for v in root.find("layer/data").text.split(","))
                tw, th = int(root.get("tilewidth")), int(root.get("tileheight"))
                place = lambda o: (int(o.get("x")) // tw, int(o.get("y")) // th - 1)  # noqa: E731
                npcs, doors = root.findall("objectgroup")
                npcs = [({q.get("name"): q.get("value") for q in o.iter("property")}, o) for o in npcs]
                # The layer holds the map file, but the ground under a drawn NPC whose tile is the map's own byte.
                content = fnv(bytes(tiles) + b"".join(struct.pack("<5i", int(o.get("id")), int(o.get("gid")) - 1, *place(o),
                                                                   int(o.get("visible", "1"))) for _, o in npcs))
                mapped = bytearray(self.read("data", map_file))
                for p, o in npcs:
                    x, y = place(o)
                    if p["drawn"] == "true" and p["shown"] == code(mapped[y * 64 + x]):
                        mapped[y * 64 + x] = record[128 + int(p["slot"])]
                self.assertEqual(tiles, mapped)
                self.assertEqual(props, {"map_file": map_file, "npc_file": mon_file, "npc_record": record.hex(),
                                         "options": options, "title": title, "content": content,
                                         "base": fnv(self.read("data", map_file)[:4096] + record)})
                standing = [s for s in range(32) if record[96 + s] and record[s] < 64 > record[32 + s]]
                self.assertEqual([int(p["slot"]) for p, _ in npcs], [] if "--no-mon-files" in args else standing)
                for p, o in npcs:
                    s = int(p["slot"])
                    t = record[(128 if "-n" in args else 96) + s]
                    self.assertEqual((place(o), p["shown"], p["ground"], int(o.get("gid")) - 1, o.get("name"), o.get("type")),
                                     ((record[s], record[32 + s]), code(record[96 + s]), code(record[128 + s]), t,
                                      "%02X" % (t >> 2), "npc"))
                    self.assertEqual(o.get("visible", "1"), "1" if p["drawn"] == "true" else "0")
                    flagged += [(map_file, s)] * (p["mismatch"] == "true")
                at = kopc_data.TIME_DOORS[door_set] if door_set >= 0 else []  # each door visible, their layer with -t
                self.assertEqual([doors.get("visible")] + [(place(o), o.get("gid"), o.get("visible"), o.get("name")) for o in doors],
                                 [None if "-t" in args or not at else "0"] + [(d, "193", None, "time door") for d in at])
            printed = re.findall(r"(\w+)\[ *(\d+)\]", lines.decode())
            self.assertEqual(sorted(flagged), sorted((m, int(s)) for m, s in printed))
            self.assertEqual(len(flagged) > 2, "--no-mon-files" not in args)

    def test_names_and_tiled_resaves_our_files_unchanged(self):
        kopc_data.write(self.path("names.txt"), NAMES.encode())
        self.tmx("--names", "names.txt", "data", status=0)
        named = lambda t: {0x2A: "a'b&\"<>\xa0\u2029\u206a\ufffd", 0x0F: "é" * 40}.get(t >> 2, "%02X" % (t >> 2))  # noqa: E731
        tiles = ET.parse(self.path("ko.tiles.tsx")).getroot().findall("tile")
        self.assertEqual([t.find("*/property[@name='name']").get("value") for t in tiles], [named(i) for i in range(256)])
        for name in TMX + ["ko.tiles.tsx"]:
            for o in ET.parse(self.path(name)).getroot().findall("objectgroup[@name='npcs']/object"):
                self.assertEqual(o.get("name"), named(int(o.get("gid")) - 1), name)
            export = ["--export-map", "tmx"] if name.endswith(".tmx") else ["--export-tileset", "tsx"]
            subprocess.run(["tiled", *export, name, "again"], cwd=self.dir, env=ENV, capture_output=True, check=True,
                           timeout=120)
            self.assertEqual(self.read("again"), self.read(name), name)

    def test_option_errors_and_the_overwrite_question(self):
        self.tmx("-?", status=1, out=kopc_data.companion_usage(
            self.kopc("--help", status=1)[1].decode(), "kopc_tmx", "overwrite the Tiled files",
            "write every map as a Tiled map (.tmx) and their tileset (ko.tiles.tsx, ko.tiles.png)\n"
            "into the current directory\n"))
        self.kopc("--names", "n.txt", status=1, out="error: unknown option '--names'\n")
        for args, out in ((["--names"], "error: no shape names filename\n"),
                          (["--names", "no.txt", "data"], "error: read shape names 'no.txt'\n"),
                          (["--names", "data", "data"], "error: shape names 'data' is not a regular file\n")):
            self.tmx(*args, status=1, out=out)
        for text, line, what in BAD_NAMES:
            kopc_data.write(self.path("n.txt"), text)
            self.tmx("--names", "n.txt", "data", status=1, out="error: shape names 'n.txt' line %d: %s\n" % (
                line, what))
        self.assertEqual(sorted(os.listdir(self.dir)), ["data", "n.txt", "one.bmp"])
        for old, exist in (("ko.tiles.tsx", "'ko.tiles.tsx' already exists"),
                           ("ko.tiles.png", "'ko.tiles.png' and 1 more of the files to write already exist")):
            kopc_data.write(self.path(old), b"old")
            question = exist + "\noverwrite ? (Y or N): "
            self.tmx("data", stdin=b"x\nn", status=1, out=question + KEPT)
            self.assert_file("ko.tiles.tsx", b"old")
            self.assertEqual(sorted(os.listdir(self.dir)), sorted(["data", "n.txt", "one.bmp", "ko.tiles.tsx"] +
                                                                  ["ko.tiles.png"] * (old != "ko.tiles.tsx")))
        lines = self.kopc("--overwrite", "data", status=0)[1].decode()
        self.tmx("data", stdin=b"y", status=0, out=question + lines)
        self.assertEqual([n for n in sorted(os.listdir(self.dir)) if n[-4:] in (".tmx", ".tsx", ".png")], TILED)
        self.assertEqual(self.tmx("--overwrite", "data", stdin=None, status=0)[1].decode(), lines)
        if not kopc_data.windows_program():  # a full disk (a file size limit) spoils no file
            # Lines lost on a full standard output fail a companion's run, not kopc_map's.
            full = lambda: os.dup2(os.open("/dev/full", os.O_WRONLY), 1)  # noqa: E731
            self.assertEqual((self.tmx("--overwrite", "data", preexec=full)[0], self.kopc("--overwrite", "data", preexec=full)[0]),
                             (1, 0))
            before = {n: self.read(n) for n in TILED}
            self.tmx("--overwrite", "-s", "one.bmp", "data", status=1, preexec=kopc_data.file_size_limit(16384),
                     out=lines + KEPT)
            self.assertEqual(({n: self.read(n) for n in TILED}, [n for n in os.listdir(self.dir) if ".part" in n]), (before, []))

    def test_a_rerun_names_every_map_edited_since_it_was_written(self):
        lines, sub = self.tmx("data", status=0)[1].decode(), lambda p, f: lambda s: re.sub(p, lambda m: m[1] + f(m[2]), s, 1, re.S)
        # (map, its edit, named as edited): what the tile layer and NPC objects hold counts, not their encoding or a property.
        edits = [("ko.Elderdays.tmx", sub(r'(csv">\n)(\d+)', lambda v: str(int(v) % 256 + 1)), True),
                 ("ko.Firstland.tmx", sub(r'(<object id="1" .*? x=")(\d+)', lambda v: str(int(v) + 16)), True),
                 ("ko.OE.tmx", sub(r'(title" value=")()', lambda v: "new "), False), ("ko.Kessa.tmx", lambda s: "<old/>", True),
                 ("ko.NE.tmx", sub(r'(<data) encoding="csv">\n(.*?)</data>', lambda v: ">\n%s  </data>" % "".join(
                     '   <tile gid="%d"/>\n' % int(g) for g in v.split(","))), False)]  # Tiled's XML layer format
        for name, edit, _ in edits:
            kopc_data.write(self.path(name), edit(self.read(name).decode()).encode())
        before, edited = {n: self.read(n) for n in TILED}, [n for n in TMX if (n, True) in [(e[0], e[2]) for e in edits]]
        question = "'ko.tiles.png' and 32 more of the files to write already exist\noverwrite ? (Y or N): "
        self.tmx("data", stdin=b"n", status=1, out="".join("'%s' was edited since kopc_tmx wrote it\n" % n for n in edited)
                 + question + KEPT)
        self.assertEqual({n: self.read(n) for n in TILED}, before)
        self.tmx("--overwrite", "data", status=0,
                 out=lines + "".join("replaced '%s', edited since kopc_tmx wrote it\n" % n for n in edited))
        self.tmx("data", stdin=b"n", status=1, out=question + KEPT)

if __name__ == "__main__":
    kopc_data.main()
