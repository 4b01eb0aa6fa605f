# SPDX-License-Identifier: MIT
"""Reading the game's data files: the order in which they are read, the stack of lines
for a missing or short file, data path joining with a backslash, and file names that
differ from the catalogue's only in case."""

import os

import kopc_data

CAT = kopc_data.CATALOGUE
MAP_ERROR = "error: read map data\n"
SHAPES_ERROR = "error: read shapes\n"


def remove(*names):
    return lambda d: [os.remove(os.path.join(d, n)) for n in names]


def cut(name, length):
    return lambda d: os.truncate(os.path.join(d, name), length)


def lines(*texts):
    return "".join(t + "\n" for t in texts)


class DataFiles(kopc_data.ProgramTest):
    def test_failures(self):
        cases = [
            # A row's map file is read before its NPC file, row 0's NPC file before row 1.
            (remove("MAPX10", "MONX10"), ["data"],
             lines("error: open 'data\\MAPX10'", "error: read map data 'MAPX10'") + MAP_ERROR),
            (remove("MAPX03", "MONX00"), ["data"],
             lines("error: open 'data\\MONX00'", "error: read npc data 'MONX00'") + MAP_ERROR),
            (cut("MAPX41", 4095), ["data"],
             lines("error: read 'data\\MAPX41'", "error: read map data 'MAPX41'") + MAP_ERROR),
            (cut("MONG93", 255), ["--cga", "data"],
             lines("error: read 'data\\MONG93'", "error: read npc data 'MONG93'") + MAP_ERROR),
            (remove("MONG41"), ["--no-mon-files", "data"],
             lines("error: open 'data\\MONG41'", "error: read npc data 'MONG41'") + MAP_ERROR),
            (lambda d: (os.remove(os.path.join(d, "MAPX00")), os.mkdir(os.path.join(d, "MAPX00"))),
             ["data"],
             lines("error: open 'data\\MAPX00'", "error: read map data 'MAPX00'") + MAP_ERROR),
            # The shapes come first: a missing map file is not reached.
            (remove("KOEGA.EXE", "MAPX00"), ["data"], "error: open 'data\\KOEGA.EXE'\n" + SHAPES_ERROR),
            (cut("KOEGA.EXE", kopc_data.EGA_OFFSET + 8191), ["data"],
             "error: read 'data\\KOEGA.EXE'\n" + SHAPES_ERROR),
            # Seeking past the end of a file is no failure; the read fails.
            (cut("KOEGA.EXE", 100), ["data"], "error: read 'data\\KOEGA.EXE'\n" + SHAPES_ERROR),
            (cut("KOGAME.EXE", kopc_data.CGA_OFFSET + 4223), ["data", "--cga"],
             "error: read 'data\\KOGAME.EXE'\n" + SHAPES_ERROR),
            # The backslash is always added, after a trailing one or an empty path too.
            (remove("MAPX10"), ["data\\"],
             lines("error: open 'data\\\\MAPX10'", "error: read map data 'MAPX10'") + MAP_ERROR),
            (remove("KOGAME.EXE"), ["data\\", "--cga"],
             "error: open 'data\\\\KOGAME.EXE'\n" + SHAPES_ERROR),
            (None, ["", "--cga"], "error: open '\\KOGAME.EXE'\n" + SHAPES_ERROR),
            (None, [], "error: open 'KOEGA.EXE'\n" + SHAPES_ERROR),
        ]
        for i, (change, args, out) in enumerate(cases):
            with self.subTest(args=args, out=out):
                case = self.path("case%d" % i)
                kopc_data.write_data_set(os.path.join(case, "data"))
                if change:
                    change(os.path.join(case, "data"))
                self.kopc(*args, cwd=case, status=1, out=out)
                self.assertEqual(self.bmp_files(case), [])

    def test_current_folder_names_in_any_case_and_longer_files(self):
        kopc_data.write_data_set(self.dir)
        for row, (map_file, mon_file, *_) in enumerate(CAT):
            # Bytes behind the first 4096 and 256 are never read.
            with open(self.path(map_file), "ab") as f:
                f.write(b"\xFC" * (row + 1))
            with open(self.path(mon_file), "ab") as f:
                f.write(b"\x01\x02\x03")
            os.rename(self.path(map_file), self.path(map_file.lower()))
            os.rename(self.path(mon_file), self.path(mon_file.capitalize()))
        os.rename(self.path("KOEGA.EXE"), self.path("KoEga.exe"))
        # Found in the current folder, and in a folder named by a path with backslashes.
        os.mkdir(self.path("sub"))
        for cwd, args in ((self.dir, []), (self.path("sub"), ["..\\"])):
            self.kopc(*args, cwd=cwd, status=0, out="")
            self.assertEqual(self.bmp_files(cwd), sorted(kopc_data.OUTPUTS))
            for row in (0, 15, 30):
                self.assert_file(CAT[row][2], kopc_data.expected_map(row), cwd)


if __name__ == "__main__":
    kopc_data.main()
