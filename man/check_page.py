"""Checks of the manual page kopc_map.1 (Python 3 standard library only).

  check_page.py --groff G --page P render
      groff renders the page with every warning enabled and prints nothing at all.
  check_page.py --groff G --page P --catalogue-dir D content PROGRAM...
      the OPTIONS section names exactly the options of `PROGRAM --help`, and the output
      file list matches the catalogue typed into D/kopc_data.py, row for row.
  check_page.py --groff G --page P install CMAKE BUILD-DIR --config=C PROGRAM PREFIX
      `cmake --install` puts the program into bin/ and the page into share/man/man1/.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys


def fail(text):
    print("FAIL: " + text)
    sys.exit(1)


def check_render(args):
    done = subprocess.run([args.groff, "-man", "-Tascii", "-ww", "-z", args.page],
                          capture_output=True, text=True)
    if done.returncode != 0 or done.stderr or done.stdout:
        fail("groff (status %d) said:\n%s%s" % (done.returncode, done.stderr, done.stdout))


def rendered_text(args):
    # -P-cbou: plain characters, no overstriking for bold or underline.
    done = subprocess.run([args.groff, "-man", "-Tascii", "-P-cbou", args.page],
                          capture_output=True, text=True, check=True)
    return done.stdout


def section(text, title):
    """The lines of a top-level section (a heading line in column 0)."""
    lines = text.splitlines()
    start = lines.index(title) + 1
    end = next((i for i in range(start, len(lines)) if re.match(r"[A-Z]", lines[i])),
               len(lines))
    return lines[start:end]


OPTION = re.compile(r"(?<![\w-])(-\?|--?[a-z][a-z-]*)")


def check_content(args):
    text = rendered_text(args)

    usage = subprocess.run(args.rest + ["--help"], capture_output=True).stdout
    usage = usage.decode("ascii").replace("\r\n", "\n")
    usage_options = set()
    for line in usage.splitlines()[2:]:
        usage_options.update(OPTION.findall(line[:32]))
    if len(usage_options) < 10:
        fail("too few options in the usage text:\n" + usage)

    # Option headings are the OPTIONS lines indented by exactly 7 spaces.
    page_options = set()
    for line in section(text, "OPTIONS"):
        if re.match(r" {7}-", line):
            page_options.update(OPTION.findall(line.strip().split("  ")[0]))
    if page_options != usage_options:
        fail("options only in the usage text: %s; only on the page: %s"
             % (sorted(usage_options - page_options), sorted(page_options - usage_options)))

    sys.path.insert(0, args.catalogue_dir)
    import kopc_data  # noqa: E402 (the catalogue as the tests type it in)

    expected = [(out, map_file, mon_file, title)
                for (map_file, mon_file, out, title, _doors, _keep) in kopc_data.CATALOGUE]
    listed = []
    for line in section(text, "FILES"):
        found = re.match(r" +(ko\.\S+\.bmp) +(MAP\w+) (MON\w+) +(.+)$", line)
        if found:
            listed.append(found.groups())
    if listed != expected:
        for i, (want, got) in enumerate(zip(expected, listed)):
            if want != got:
                fail("output file row %d: page %r, catalogue %r" % (i, got, want))
        fail("the page lists %d output files, the catalogue %d" % (len(listed), len(expected)))


def check_install(args):
    cmake, build, config, program, prefix = args.rest
    shutil.rmtree(prefix, ignore_errors=True)
    command = [cmake, "--install", build, "--prefix", prefix]
    if config != "--config=":
        command += ["--config", config.split("=", 1)[1]]
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        fail("cmake --install failed:\n" + done.stdout + done.stderr)
    for path in ["bin/" + program, "share/man/man1/kopc_map.1"]:
        if not os.path.isfile(os.path.join(prefix, path)):
            fail(path + " was not installed")
    with open(os.path.join(prefix, "share/man/man1/kopc_map.1"), "rb") as installed, \
            open(args.page, "rb") as source:
        if installed.read() != source.read():
            fail("the installed page differs from its source")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--groff", required=True)
    parser.add_argument("--page", required=True)
    parser.add_argument("--catalogue-dir")
    parser.add_argument("what", choices=["render", "content", "install"])
    parser.add_argument("rest", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    {"render": check_render, "content": check_content, "install": check_install}[
        args.what](args)


if __name__ == "__main__":
    main()
