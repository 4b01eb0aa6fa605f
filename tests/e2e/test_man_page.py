# SPDX-License-Identifier: MIT
"""The manual page (KOPC_MAN_PAGE): groff renders it without a single warning, its
OPTIONS are exactly the options of the usage text, and its FILES list the catalogue."""

import os
import re
import shutil
import subprocess

import kopc_data

OPTION = re.compile(r"(?<![\w-])(-\?|--?[a-z][a-z-]*)")


def section(text, title):
    """The lines of a top-level section (from its heading to the next one)."""
    lines = text.splitlines()
    start = lines.index(title) + 1
    end = next((i for i in range(start, len(lines)) if re.match(r"[A-Z]", lines[i])), len(lines))
    return lines[start:end]


class ManPage(kopc_data.ProgramTest):
    def test_page(self):
        groff, page = shutil.which("groff"), os.environ.get("KOPC_MAN_PAGE", "")
        if not groff or not os.path.isfile(page):
            self.skipTest("needs groff and the page")
        warned = subprocess.run([groff, "-man", "-Tascii", "-ww", "-z", page], capture_output=True)
        self.assertEqual((warned.returncode, warned.stdout + warned.stderr), (0, b""))
        # -P-cbou: plain characters, no overstriking for bold or underline.
        text = subprocess.run([groff, "-man", "-Tascii", "-P-cbou", page], capture_output=True,
                              text=True, check=True).stdout

        usage = self.kopc("--help", status=1)[1].decode("ascii").splitlines()[2:]
        usage_options = {o for line in usage for o in OPTION.findall(line[:32])}
        self.assertGreaterEqual(len(usage_options), 4 if "import" in page else 13)
        page_options = {o for line in section(text, "OPTIONS") if re.match(r" {7}-", line)
                        for o in OPTION.findall(line.strip().split("  ")[0])}
        self.assertEqual(page_options, usage_options)

        if os.path.basename(page) != "kopc_map.1":
            return  # kopc_atlas.1 lists its page, not the images
        listed = [m.groups() for m in (re.match(r" +(ko\.\S+\.bmp) +(MAP\w+) (MON\w+) +(.+)$", line)
                                       for line in section(text, "FILES")) if m]
        self.assertEqual(listed, [(out, m, n, title) for m, n, out, title, _ in kopc_data.CATALOGUE])


if __name__ == "__main__":
    kopc_data.main()
