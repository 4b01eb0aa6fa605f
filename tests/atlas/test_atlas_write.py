# SPDX-License-Identifier: MIT
"""kopc_atlas (KOPC_ATLAS) runs at once in one folder with different options: each ends with
status 0 and no line, and atlas.html is the whole page of one of them."""

import os
import pathlib
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
import kopc_data  # noqa: E402


class AtlasWrite(kopc_data.ProgramTest):
    def test_runs_at_once_leave_one_whole_page(self):
        atlas = kopc_data.COMMAND[:-1] + [os.path.abspath(os.environ["KOPC_ATLAS"])]
        kopc_data.write_data_set(self.path("data"))
        runs = [atlas + ["--overwrite", os.path.join("..", "data")] + o for o in ([], ["--cga"])]
        folders = ["a", "b"] + ["both"] * 8  # each run alone first, for its own page
        for folder in folders[:3]:
            os.mkdir(self.path(folder))
        procs = [subprocess.Popen(runs[i % 2], cwd=self.path(folder), stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT) for i, folder in enumerate(folders)]
        self.assertEqual({(p.communicate()[0], p.returncode) for p in procs}, {(b"", 0)})
        self.assertEqual(os.listdir(self.path("both")), ["atlas.html"])
        pages = [pathlib.Path(self.path(f, "atlas.html")).read_bytes() for f in folders[:3]]
        self.assertIn(pages[2], pages[:2])


if __name__ == "__main__":
    kopc_data.main()
