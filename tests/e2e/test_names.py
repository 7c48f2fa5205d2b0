"""Names beyond ASCII on Linux: a tree named in several scripts is reported
with exactly the directories, files and bytes it holds; every line is valid
UTF-8 and every line that carries a size is exactly the line width in
terminal columns (as Python's Unicode tables count them); the 259-character
limit counts characters, not bytes."""

import os
import unicodedata

import harness

NAMES = ["Données", "Übersicht", "Dvořák", "Ελληνικά", "日本語ディレクトリ", "emoji-\U0001F600", "e\u0301te",
         "mixed 日本 and ASCII with a rather long name to wrap the line"]


def columns(text):
    return sum(0 if unicodedata.combining(ch) else 2 if unicodedata.east_asian_width(ch) in "WF" else 1
               for ch in text)


class NamesBeyondAscii(harness.TreeTest):

    def test_every_byte_counted_and_every_size_line_straight(self):
        tree = {}
        for size, name in enumerate(NAMES, 1):
            tree["t/%s/file-%s" % (name, name)] = size
            tree["t/%s/%s/inner" % (name, NAMES[(size + 2) % len(NAMES)])] = size * 10
        # 4 + 6 * 40 characters below C:\: far more than 259 bytes, fewer characters.
        tree["t/deep/" + "/".join(["é" * 39] * 6) + "/f"] = 1000
        harness.make_tree(self.tmp, tree)
        for width in (75, 125):
            harness.write_settings(self.tmp, "lineWidthPrint=%d\n" % width)
            code, out, _ = harness.run_folmar(["/L", "C:\\t"], drives="C=" + self.tmp, cwd=self.tmp)
            text = out.encode("latin-1").decode("utf-8")  # fails on any invalid byte
            # t, 8 directories each with one inside, deep and its chain of 6
            self.assertEqual((code, harness.totals(text)), (0, (24, 17, 1396)))
            sized = [line for line in text.split("\n") if ".." in line and line[-1:].isdigit()]
            # every directory entered, each line once and as wide as the width
            self.assertEqual([columns(line) for line in sized], [width] * 24, sized)


if __name__ == "__main__":
    harness.main()
