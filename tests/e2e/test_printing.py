"""The printing commands that README.md and the manual page give, run as given on an all-drives report of several
pages with names beyond ASCII, at each width with its pitch from README's table, on A4 and on US Letter: every
page of the report is one sheet of the PostScript and holds the page's lines, none wrapped. The report's fullest
pages hold pageSize + 11 lines, the figure both documents give. Skipped, and says so, without paps."""

import os
import re
import shutil
import subprocess

import harness

ROOT = os.path.join(harness.HERE, "..", "..")
# Drive C ends its first page with pageSize 55 at the last line the page takes, drive D with 60; D's second page.
TREE = dict({"c/%02d" % i: None for i in range(41)}, **{"c/café": None, "c/Dvořák": None, "c/Ωμέγα": None},
            **{"d/%02d/f" % i: 1000 * i for i in range(49)}, o=None, w=None)


def section(path, start, end):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        text = f.read()
    return text[text.index(start):text.index(end, text.index(start))]


def paps_commands(text):
    """The paps command lines of a document's text, continuation lines joined."""
    return [line for line in re.sub(r"\\\n *", "", text).split("\n") if line.startswith("paps ")]


class Printing(harness.TreeTest):

    def test_each_page_of_the_report_is_one_sheet_at_each_width(self):
        readme = section("README.md", "## Printing the report", "\n## ")
        manual = section("docs/folmar.1", '.SH "PRINTING THE REPORT"', "\n.SH ")
        commands = paps_commands(readme[readme.index("```sh"):])
        self.assertEqual(paps_commands(manual.replace("\\-", "-").replace("\\e", "\\")), commands)
        pitches = dict(re.findall(r"^\| (\d+) \| (\d+) \|$", readme, re.M))
        self.assertEqual(list(pitches), ["75", "90", "112", "125"])
        if not shutil.which("paps"):
            self.skipTest("paps is not installed (Debian: apt-get install paps): the printing commands are not run")
        harness.make_tree(self.tmp, TREE)
        out = os.path.join(self.tmp, "o")
        drives = "C=%s/c;D=%s/d;O=%s" % (self.tmp, self.tmp, out)
        for (width, cpi), page_size in zip(pitches.items(), [55, 60, 55, 60]):
            harness.write_settings(os.path.join(self.tmp, "w"), "lineWidthPrint=%s\npageSize=%d\ndriveList=CD\n"
                                   "outputFile=O:\\FolmarAll.txt\n" % (width, page_size))
            code, _, err = harness.run_folmar([], drives=drives, cwd=os.path.join(self.tmp, "w"))
            self.assertEqual((code, err), (0, ""))
            with open(os.path.join(out, "FolmarAll.txt"), encoding="utf-8") as f:
                pages = [page.split("\n") for page in f.read().removesuffix("\n").split("\f")]
            self.assertEqual(max(len(lines) - 1 for lines in pages), page_size + 11, width)
            for paper in ("a4", "letter"):
                for command in commands:
                    command = command.replace("--cpi=17", "--cpi=" + cpi).replace("--paper=a4", "--paper=" + paper)
                    subprocess.run(command, shell=True, cwd=out, check=True)
                with open(os.path.join(out, "FolmarAll.ps"), encoding="latin-1") as f:
                    sheets = f.read().split("\n%%Page: ")[1:]
                # paps draws each line with one paps_exec, an empty line before a form feed too.
                self.assertEqual([len(re.findall(r"paps_exec$", sheet, re.M)) for sheet in sheets],
                                 [len(lines) for lines in pages], (width, paper))


if __name__ == "__main__":
    harness.main()
