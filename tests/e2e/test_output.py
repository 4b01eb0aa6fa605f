"""Writing the map images: the question before an existing file is replaced, and the
messages when an output file cannot be opened or written."""

import os
import unittest

import kopc_data

NAMES = [row[2] for row in kopc_data.CATALOGUE]


def asked(name):
    return "'%s' already exists\noverwrite ? (Y or N): " % name


class Output(kopc_data.ProgramTest):
    def setUp(self):
        super().setUp()
        kopc_data.write_test_world(self.path("data"))

    def case_dir(self, name, existing):
        """A fresh current folder holding `existing` output files with old contents."""
        case = self.path(name)
        os.mkdir(case)
        for row in existing:
            with open(os.path.join(case, NAMES[row]), "wb") as f:
                f.write(b"old %d" % row)
        return case

    def test_yes_replaces_the_file(self):
        for i, (answer, existing) in enumerate([(b"x\ny", [3]), (b"Y", [0]), (b"yy", [0, 30]),
                                                (b"\n\r\tyes\n", [30])]):
            with self.subTest(answer=answer):
                case = self.case_dir("yes%d" % i, existing)
                self.kopc("../data", cwd=case, stdin=answer, status=0,
                          out="".join(asked(NAMES[row]) for row in existing))
                self.assertEqual(self.bmp_files(case), sorted(NAMES))
                for row in existing:
                    self.assert_file(NAMES[row], kopc_data.expected_map(row), case)

    def test_no_ends_the_run_at_that_file(self):
        answers = [b"N", b"n\ny", b"x\nq\n", b""]
        if not kopc_data.windows_program():
            answers.append(None)  # standard input closed
        for i, answer in enumerate(answers):
            with self.subTest(answer=answer):
                case = self.case_dir("no%d" % i, [3])
                self.kopc("../data", cwd=case, stdin=answer, status=1,
                          out=asked(NAMES[3]) + "error: write bitmap file '%s'\n" % NAMES[3])
                # The maps before it were written, in catalogue order; none after it.
                self.assertEqual(self.bmp_files(case), sorted(NAMES[:4]))
                self.assert_file(NAMES[2], kopc_data.expected_map(2), case)
                self.assert_file(NAMES[3], b"old 3", case)

    def test_overwrite_asks_nothing(self):
        case = self.case_dir("all", range(31))
        self.kopc("--overwrite", "../data", cwd=case, stdin=b"n", status=0, out="")
        for row in (0, 19, 30):
            self.assert_file(NAMES[row], kopc_data.expected_map(row), case)

    def test_output_name_is_a_folder(self):
        os.mkdir(self.path(NAMES[0]))
        failed = "error: open '%s'\nerror: write bitmap file '%s'\n" % (NAMES[0], NAMES[0])
        self.kopc("data", "--overwrite", status=1, out=failed)
        self.kopc("data", stdin=b"y", status=1, out=asked(NAMES[0]) + failed)
        self.assertEqual(self.bmp_files(), [NAMES[0]])

    @unittest.skipUnless(os.path.exists("/dev/full"), "needs /dev/full")
    def test_full_disk(self):
        if kopc_data.windows_program():
            self.skipTest("a symbolic link to /dev/full means nothing to a Windows program")
        os.symlink("/dev/full", self.path(NAMES[1]))
        failed = "error: write bitmap '%s'\nerror: write bitmap file '%s'\n" % (NAMES[1], NAMES[1])
        self.kopc("data", "--overwrite", status=1, out=failed)
        self.assert_file(NAMES[0], kopc_data.expected_map(0))
        # 1-bit maps of 1 x 1 tiles: a file of 574 bytes may fail only when it is closed.
        with open(self.path("tiles.bmp"), "wb") as f:
            f.write(kopc_data.bmp_bytes(16, 4, 1, [1] * 64, bytes(8)))
        self.kopc("-s", "tiles.bmp", "data", "--overwrite", status=1, out=failed)

    @unittest.skipIf(os.name != "posix" or os.geteuid() == 0,
                     "needs a user whom file permissions bind")
    def test_read_only_folder(self):
        case = self.case_dir("ro", [])
        os.chmod(case, 0o555)
        self.addCleanup(os.chmod, case, 0o755)
        self.kopc("../data", cwd=case, status=1,
                  out="error: open '%s'\nerror: write bitmap file '%s'\n" % (NAMES[0], NAMES[0]))


if __name__ == "__main__":
    kopc_data.main()
