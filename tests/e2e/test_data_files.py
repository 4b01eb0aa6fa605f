"""Reading the game's data files: the order in which they are read, the stack of lines
for a missing or short file, data path joining with a backslash, and file names that
differ from the catalogue's only in case."""

import os

import kopc_data

CAT = kopc_data.CATALOGUE
MAP_ERROR = "error: read map data\n"
SHAPES_ERROR = "error: read shapes\n"
OPEN_EGA = "error: open 'data\\KOEGA.EXE'\n" + SHAPES_ERROR
READ_EGA = "error: read 'data\\KOEGA.EXE'\n" + SHAPES_ERROR


def remove(*names):
    return lambda d: [os.remove(os.path.join(d, n)) for n in names]


def cut(name, length):
    def change(d):
        with open(os.path.join(d, name), "r+b") as f:
            f.truncate(length)
    return change


def make_dir(name):
    return lambda d: (os.remove(os.path.join(d, name)), os.mkdir(os.path.join(d, name)))


class DataFiles(kopc_data.ProgramTest):
    def test_failures(self):
        short_ega = kopc_data.EGA_OFFSET + 8192 - 1
        short_cga = kopc_data.CGA_OFFSET + 4224 - 1
        cases = [
            # A row's map file is read before its NPC file.
            (remove("MAPX10", "MONX10"), ["data"],
             "error: open 'data\\MAPX10'\nerror: read map data 'MAPX10'\n" + MAP_ERROR),
            # Row 0's NPC file is read before row 1's map file.
            (remove("MAPX03", "MONX00"), ["data"],
             "error: open 'data\\MONX00'\nerror: read npc data 'MONX00'\n" + MAP_ERROR),
            (cut("MAPX41", 4095), ["data"],
             "error: read 'data\\MAPX41'\nerror: read map data 'MAPX41'\n" + MAP_ERROR),
            (cut("MONG93", 255), ["--cga", "data"],
             "error: read 'data\\MONG93'\nerror: read npc data 'MONG93'\n" + MAP_ERROR),
            (remove("MONG41"), ["--no-mon-files", "data"],
             "error: open 'data\\MONG41'\nerror: read npc data 'MONG41'\n" + MAP_ERROR),
            (make_dir("MAPX00"), ["data"],
             "error: open 'data\\MAPX00'\nerror: read map data 'MAPX00'\n" + MAP_ERROR),
            # The shapes come first: a missing map file is not reached.
            (remove("KOEGA.EXE", "MAPX00"), ["data"], OPEN_EGA),
            (cut("KOEGA.EXE", short_ega), ["data"], READ_EGA),
            # Seeking past the end of a file is no failure; the read fails.
            (cut("KOEGA.EXE", 100), ["data"], READ_EGA),
            (remove("KOGAME.EXE"), ["--cga", "data"],
             "error: open 'data\\KOGAME.EXE'\n" + SHAPES_ERROR),
            (cut("KOGAME.EXE", short_cga), ["data", "--cga"],
             "error: read 'data\\KOGAME.EXE'\n" + SHAPES_ERROR),
            # The backslash is always added, after a trailing one or an empty path too.
            (remove("MAPX10"), ["data\\"],
             "error: open 'data\\\\MAPX10'\nerror: read map data 'MAPX10'\n" + MAP_ERROR),
            (remove("KOGAME.EXE"), ["data\\", "--cga"],
             "error: open 'data\\\\KOGAME.EXE'\n" + SHAPES_ERROR),
            (None, ["", "--cga"], "error: open '\\KOGAME.EXE'\n" + SHAPES_ERROR),
            (None, [], "error: open 'KOEGA.EXE'\n" + SHAPES_ERROR),
        ]
        for i, (change, args, out) in enumerate(cases):
            with self.subTest(args=args, out=out):
                case = self.path("case%d" % i)
                kopc_data.write_test_world(os.path.join(case, "data"))
                if change:
                    change(os.path.join(case, "data"))
                self.kopc(*args, cwd=case, status=1, out=out)
                self.assertEqual(self.bmp_files(case), [])

    def test_current_folder(self):
        kopc_data.write_test_world(self.dir)
        os.remove(self.path("MAPG20"))
        self.kopc(status=1, out="error: open 'MAPG20'\nerror: read map data 'MAPG20'\n" + MAP_ERROR)
        with open(self.path("MAPG20"), "wb") as f:
            f.write(kopc_data.test_map(15))
        self.kopc(status=0, out="")
        self.assertEqual(self.bmp_files(), sorted(row[2] for row in CAT))
        self.assert_file(CAT[15][2], kopc_data.expected_map(15))

    def test_names_in_any_case_and_longer_files(self):
        data = self.path("data")
        kopc_data.write_test_world(data)
        for row, (map_file, mon_file, *_rest) in enumerate(CAT):
            # Bytes behind the first 4096 and 256 are never read.
            with open(os.path.join(data, map_file), "ab") as f:
                f.write(b"\xFC" * (row + 1))
            with open(os.path.join(data, mon_file), "ab") as f:
                f.write(b"\x01\x02\x03")
            os.rename(os.path.join(data, map_file), os.path.join(data, map_file.lower()))
            os.rename(os.path.join(data, mon_file), os.path.join(data, mon_file.capitalize()))
        os.rename(os.path.join(data, "KOEGA.EXE"), os.path.join(data, "KoEga.exe"))
        self.kopc("data\\", status=0, out="")
        self.assertEqual(len(self.bmp_files()), 31)
        for row in (0, 30):
            self.assert_file(CAT[row][2], kopc_data.expected_map(row))


if __name__ == "__main__":
    kopc_data.main()
