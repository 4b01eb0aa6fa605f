# SPDX-License-Identifier: MIT
"""Writing the map images: the question before an existing file is replaced, and the
messages when an output file cannot be opened or written completely."""

import os

import kopc_data

NAMES = kopc_data.OUTPUTS


def asked(name):
    return "'%s' already exists\noverwrite ? (Y or N): " % name


def failed(row, what="write bitmap"):
    return "error: %s '%s'\nerror: write bitmap file '%s'\n" % (what, NAMES[row], NAMES[row])


class Output(kopc_data.ProgramTest):
    def setUp(self):
        super().setUp()
        kopc_data.write_data_set(self.path("data"))

    def case_dir(self, name, existing):
        """A fresh current folder holding `existing` output files with old contents."""
        case = self.path(name)
        os.mkdir(case)
        for row in existing:
            kopc_data.write(os.path.join(case, NAMES[row]), b"old %d" % row)
        return case

    def test_question(self):
        # (answer, existing files, status): x and the line break are read and ignored;
        # an answer ends the question, so "yy" answers two of them.
        cases = [(b"x\ny", [3], 0), (b"Y", [0], 0), (b"yy", [0, 30], 0), (b"N", [3], 1),
                 (b"n\ny", [3], 1), (b"x\nq\n", [3], 1), (b"", [3], 1)]
        if not kopc_data.windows_program():
            cases.append((None, [3], 1))  # standard input closed
        for i, (answer, existing, status) in enumerate(cases):
            with self.subTest(answer=answer):
                case = self.case_dir("case%d" % i, existing)
                out = "".join(asked(NAMES[row]) for row in existing)
                self.kopc("../data", cwd=case, stdin=answer, status=status,
                          out=out + ("error: write bitmap file '%s'\n" % NAMES[3] if status else ""))
                if status == 0:
                    self.assertEqual(self.bmp_files(case), sorted(NAMES))
                    for row in existing:
                        self.assert_file(NAMES[row], kopc_data.expected_map(row), case)
                else:  # a no ends the run at that file, after the maps before it
                    self.assertEqual(self.bmp_files(case), sorted(NAMES[:4]))
                    self.assert_file(NAMES[2], kopc_data.expected_map(2), case)
                    self.assert_file(NAMES[3], b"old 3", case)
        case = self.case_dir("all", range(31))
        self.kopc("--overwrite", "../data", cwd=case, stdin=b"n", status=0, out="")
        self.assert_file(NAMES[19], kopc_data.expected_map(19), case)

    def test_files_that_cannot_be_written(self):
        os.mkdir(self.path(NAMES[0]))
        self.kopc("data", "--overwrite", status=1, out=failed(0, "open"))
        self.kopc("data", stdin=b"y", status=1, out=asked(NAMES[0]) + failed(0, "open"))
        self.assertEqual(self.bmp_files(), [NAMES[0]])
        if kopc_data.windows_program() or not os.path.exists("/dev/full"):
            return  # the host's full device and file size limit mean nothing to Windows
        os.rmdir(self.path(NAMES[0]))
        os.symlink("/dev/full", self.path(NAMES[1]))
        self.kopc("data", "--overwrite", status=1, out=failed(1))
        self.assert_file(NAMES[0], kopc_data.expected_map(0))
        # 1-bit maps of 1 x 1 tiles: a file of 574 bytes whose failure shows only at the close.
        kopc_data.write(self.path("tiles.bmp"), kopc_data.bmp_bytes(16, 4, 1, [1] * 64, bytes(8)))
        self.kopc("-s", "tiles.bmp", "data", "--overwrite", status=1, out=failed(1))
        # 8-bit rows go from the image to the file, many a system call: a limit on the file
        # size cuts the first call short and refuses the next.
        kopc_data.write(self.path("tiles.bmp"),
                        kopc_data.bmp_bytes(256, 64, 8, [7] * 256 * 64, bytes(1024)))
        self.kopc("-s", "tiles.bmp", "data", "--overwrite", status=1, out=failed(0),
                  preexec=kopc_data.file_size_limit(1 << 16))
        self.assertEqual(os.path.getsize(self.path(NAMES[0])), 1 << 16)


if __name__ == "__main__":
    kopc_data.main()
