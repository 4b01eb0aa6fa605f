# SPDX-License-Identifier: MIT
"""Command line of kopc_map: the usage text and every parse error. None of these runs
may touch a file; all of them end with status 1."""

import os

import kopc_data

USAGE = """usage: kopc_map [options] [DATA-PATH]
option:
           --cga                read CGA version shapes
           --ega                read EGA version shapes (default)
        -s|--shape SHAPES-BMP   read shape data from specified file
        -n|--no-npcs            draw no NPCs/monsters
           --no-mon-files       not use NPCs/monsters data files
           --ignore-diff        ignore difference of map and mon data
                                use mon data
        -t|--time-doors         draw time doors
           --overwrite          overwrite output files
        -?|--help               print usage

read map data from current directory if not specified
"""


class CommandLine(kopc_data.ProgramTest):
    def test_usage_and_errors(self):
        # A complete data set in the current folder: a run that got past parsing would
        # write maps, so every case also proves that parsing stopped the run.
        kopc_data.write_data_set(self.dir)
        cases = [
            (["-?"], USAGE),
            (["data", "--overwrite", "--help", "--bogus", "x", "y"], USAGE),
            (["-s", "--help"], "error: open '--help'\nerror: read shape bitmap '--help'\n"),
            (["a", "b", "--help"], "error: illegal parameter 'b'\n"),
            (["", "b"], "error: illegal parameter 'b'\n"),
            (["--bogus", "--help"], "error: unknown option '--bogus'\n"),
            (["-"], "error: unknown option '-'\n"),
            (["--HELP"], "error: unknown option '--HELP'\n"),
            (["--time-door"], "error: unknown option '--time-door'\n"),
            (["-s"], "error: no shape bitmap filename\n"),
            (["-t", "--shape"], "error: no shape bitmap filename\n"),
        ]
        for args, out in cases:
            with self.subTest(args=args):
                self.kopc(*args, status=1, out=out)
        self.assertEqual(self.bmp_files(), [])
        self.assertFalse(os.path.exists(self.path("--help")))


if __name__ == "__main__":
    kopc_data.main()
