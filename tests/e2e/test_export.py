"""The export of a real tree, read back by what it is made for: ncdu and gdu import the JSON and find the
report's totals and the tree's (skipped, and says so, without them); Python's csv module reads the CSV, every
row the tree's. Names beyond ASCII, no UTF-8, with commas, quotes and line breaks; a folder whose name Windows
cannot hold (not read); a sparse file. The path as typed; a full disk (a tmpfs of 8 KiB, as root in a mount
namespace) fails the run."""

import csv
import io
import os
import re

import harness

NAMES = ["plain", "co,mma", 'q"uote', "été 日本", "bad\udcff", "new\nline"]  # \udcff: the byte 0xFF
HEADER = ["Path", "Bytes", "Files", "Subdirectories", "Subtree Files", "Subtree Bytes", "Read"]


def walk(path, shown, rows):
    """The CSV figures of the walk of `path` (its path `shown` as the report shows it) and the disk bytes of its
    files; the rows of it and its subfolders go into `rows`, by path."""
    own, own_size, files, size, subdirs, disk = 0, 0, 0, 0, 0, 0
    for entry in os.scandir(path):
        if not entry.is_dir(follow_symlinks=False):
            stat = entry.stat(follow_symlinks=False)
            own, own_size, disk = own + 1, own_size + stat.st_size, disk + stat.st_blocks * 512
        elif not entry.name.startswith("."):
            child = shown + "\\" + re.sub(r"[\x00-\x1f\udc80-\udcff]", "?", entry.name)
            subdirs += 1
            if "\n" in entry.name:
                rows[child] = [""] * 5 + ["no"]
                continue
            figures, child_disk = walk(entry.path, child, rows)
            subdirs, files, size, disk = subdirs + figures[2], files + figures[3], size + figures[4], disk + child_disk
    figures = (own_size, own, subdirs, own + files, own_size + size)
    rows[shown] = [str(n) for n in figures] + ["yes"]
    return figures, disk


class Export(harness.TreeTest):

    def test_both_formats_of_a_real_tree_read_back_by_ncdu_gdu_and_csv(self):
        root = os.path.join(self.tmp, "t")
        for i, name in enumerate(NAMES):
            os.makedirs(os.path.join(root, name, "sub" if i == 0 else ""))
            with open(os.path.join(root, name, "f,\n" + name), "wb") as f:
                f.write(b"x" * (1000 * i + 1))
        with open(os.path.join(root, "sparse"), "wb") as f:
            f.truncate(50 << 20)
            f.write(b"y")
        harness.make_tree(root, {".dot/hidden": 9})
        rows = {}
        figures, disk = walk(root, "C:\\t", rows)
        reports = set()
        for export in (None, "out.json", "out.csv"):
            code, out, err = harness.run_folmar(["/L", "C:\\t"] + (["/X:" + export] if export else []),
                                                drives="C=" + self.tmp, cwd=self.tmp)
            self.assertEqual((code, err), (0, "Folmar==>  1 directory could not be read; /E lists them \n"))
            reports.add(harness.masked(out))
        self.assertEqual(len(reports), 1, reports)  # the report is the same without and with either export
        dirs, files, size = harness.totals(out)
        self.assertEqual((dirs, files, size), (figures[2] + 1, figures[3], figures[4]))
        read = harness.imported(os.path.join(self.tmp, "out.json"))
        if read is None:
            self.skipTest("ncdu and gdu are not installed: the JSON export is not read back")
        self.assertEqual(read, (dirs, files, size, disk, 1, size, disk))
        with open(os.path.join(self.tmp, "out.csv"), encoding="utf-8", newline="") as f:
            text = f.read()
        self.assertEqual((text[0], text.count("\n"), text.count("\r\n")), ("\ufeff", len(rows) + 1, len(rows) + 1))
        table = list(csv.reader(io.StringIO(text[1:])))
        self.assertEqual((table[0], table[-1][0], len(table)), (HEADER, "C:\\t", len(rows) + 1))  # the root last
        self.assertEqual({row[0]: row[1:] for row in table[1:]}, rows)

    def test_path_as_typed_and_a_full_disk(self):
        harness.make_tree(self.tmp, {"t/%03d" % i + "n" * 200: 1 for i in range(100)})
        drives, tree = "C=" + self.tmp, os.path.join(self.tmp, "t")
        self.assertEqual(harness.run_folmar(["/x:Mixed.Json"], drives=drives, cwd=tree)[0], 0)  # upper-cased alone
        self.assertTrue(os.path.isfile(os.path.join(tree, "Mixed.Json")))
        full = os.path.join(self.tmp, "full")
        os.mkdir(full)
        script = 'mount -t tmpfs -o size=8k tmpfs "$1" && exec "$2" "$3" "$4"'
        code, out, err = harness.run_folmar(["sh", "-c", script, "sh", full, harness.FOLMAR, "C:\\t",
                                             "/X:C:\\full\\out.json"], drives=drives, cwd=self.tmp,
                                            command=["unshare", "-m"])
        if code != 0 and "Folmar" not in out:
            self.skipTest("no tmpfs in a mount namespace here: " + err[:200])
        self.assertEqual(code, 1)
        self.assertTrue(out.endswith("  (Bytes) \n\nFolmar==>  Unable to write the export file C:\\full\\out.json \n"
                                     "Folmar==>  Most likely the disk drive is full \n"), out[-400:])


if __name__ == "__main__":
    harness.main()
