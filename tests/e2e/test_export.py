"""The export of a real tree, read back by what it is made for: ncdu and gdu import the JSON and find the
report's totals and the tree's (skipped, and says so, without them); Python's csv module reads the CSV, every
row the tree's. Names beyond ASCII, no UTF-8, with commas, quotes and line breaks (shown with '?'); a folder
whose name holds a backslash (not read); a dot-folder; a sparse file. The path as typed; a full disk (a tmpfs
of 8 KiB, as root in a mount namespace) fails the run. Directories left out by patterns are never opened, not
even by the read-ahead, and ncdu and gdu find in the export what they find leaving out the same directories
themselves."""

import csv
import io
import os
import re
import shutil
import subprocess

import harness

NAMES = ["plain", "co,mma", 'q"uote', "été 日本", "bad\udcff", "new\nline", "back\\slash"]  # \udcff: the byte 0xFF
HEADER = ["Path", "Bytes", "Files", "Subdirectories", "Subtree Files", "Subtree Bytes", "Read"]
# The rows of the tree: the path as the report shows it, its files' bytes and count, its subdirectories, the
# files and bytes of its subtree, read or not; the root's last.
ROWS = [["C:\\t\\plain\\sub", "0", "0", "0", "0", "0", "yes"], ["C:\\t\\plain", "1", "1", "1", "1", "1", "yes"],
        ["C:\\t\\co,mma", "1001", "1", "0", "1", "1001", "yes"],
        ["C:\\t\\q\"uote", "2001", "1", "0", "1", "2001", "yes"],
        ["C:\\t\\été 日本", "3001", "1", "0", "1", "3001", "yes"], ["C:\\t\\bad?", "4001", "1", "0", "1", "4001", "yes"],
        ["C:\\t\\new?line", "5001", "1", "0", "1", "5001", "yes"], ["C:\\t\\back?slash", "", "", "", "", "", "no"],
        ["C:\\t\\.dot", "9", "1", "0", "1", "9", "yes"], ["C:\\t", "52428800", "1", "9", "8", "52443815", "yes"]]


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
        reports = set()
        for export in (None, "out.json", "out.csv"):
            code, out, err = harness.run_folmar(["/L", "C:\\t"] + (["/X:" + export] if export else []),
                                                drives="C=" + self.tmp, cwd=self.tmp)
            self.assertEqual((code, err), (0, "Folmar==>  1 directory could not be read; /E lists them \n"))
            reports.add(harness.masked(out))
        self.assertEqual(len(reports), 1, reports)  # the report is the same without and with either export
        self.assertEqual(harness.totals(out), (10, 8, 52443815))
        with open(os.path.join(self.tmp, "out.csv"), encoding="utf-8", newline="") as f:
            text = f.read()
        self.assertEqual((text[0], text.count("\n"), text.count("\r\n")), ("\ufeff", 11, 11))
        table = list(csv.reader(io.StringIO(text[1:])))
        self.assertEqual((table[0], table[-1]), (HEADER, ROWS[-1]))
        self.assertCountEqual(table[1:], ROWS)
        read = harness.imported(os.path.join(self.tmp, "out.json"))
        if read is None:
            self.skipTest("ncdu and gdu are not installed: the JSON export is not read back")
        files = [os.path.join(root, name, "f,\n" + name) for name in NAMES[:-1]] + [os.path.join(root, "sparse"),
                                                                                os.path.join(root, ".dot", "hidden")]
        disk = sum(os.lstat(path).st_blocks * 512 for path in files)
        self.assertEqual(read, (10, 8, 52443815, disk, 1, 52443815, disk))

    def test_excluded_directories_are_never_opened_and_ncdu_and_gdu_leave_out_the_same(self):
        harness.make_tree(self.tmp, {"t/top": 5000, "t/a/l": 300, "t/a/node_modules/x/f": 7000, "t/keep/k": 1300,
                                     "t/b/c/Node_Modules/g": 900, "t/skip/y/h": 1100})
        root, log = os.path.join(self.tmp, "t"), os.path.join(self.tmp, "trace")
        excluded = [os.path.join(root, name) for name in ("a/node_modules", "b/c/Node_Modules", "skip")]
        strace = ["strace", "-f", "-qq", "-o", log, "-e", "trace=openat,open"] if shutil.which("strace") else []
        code, out, err = harness.run_folmar(["C:\\t", "/I:NODE_MODULES", "/I:C:\\t\\skip", "/X:out.json"],
                                            drives="C=" + self.tmp, cwd=self.tmp, readahead="4",
                                            command=strace + [harness.FOLMAR])
        if code != 0 and strace:
            self.skipTest("strace cannot trace here: %s" % err[:200])
        self.assertEqual((code, err), (0, "Folmar==>  3 directories excluded (NODE_MODULES;C:\\t\\skip) \n"))
        self.assertEqual(harness.totals(out), (5, 3, 6600))
        if strace:
            with open(log) as f:
                opened = re.findall(r'open(?:at)?\((?:\w+, )?"([^"]*)"', f.read())
            self.assertTrue(opened)
            self.assertEqual([name for name in opened if re.search(r"(?i)node_modules|skip", name)], [])
        read = harness.imported(os.path.join(self.tmp, "out.json"))
        if read is None:
            self.skipTest("ncdu and gdu are not installed: the JSON export is not read back")
        ncdu = harness.ncdu_figures(["--exclude", "[Nn]ode_[Mm]odules", "--exclude", excluded[2], root])
        self.assertEqual(harness.ncdu_figures(["-f", os.path.join(self.tmp, "out.json")]), ncdu)
        self.assertEqual(ncdu[5], 3)
        self.assertEqual(read[5:], harness.gdu_totals(["--ignore-dirs", ",".join(excluded), root], ncdu[0]))

    def test_path_as_typed_standard_output_and_a_full_disk(self):
        harness.make_tree(self.tmp, {"t/%03d" % i + "n" * 200: 1 for i in range(100)})
        drives, tree = "C=" + self.tmp, os.path.join(self.tmp, "t")
        self.assertEqual(harness.run_folmar(["/x:Mixed.Json"], drives=drives, cwd=tree)[0], 0)  # upper-cased alone
        self.assertTrue(os.path.isfile(os.path.join(tree, "Mixed.Json")))
        with open(os.path.join(tree, "Mixed.Json"), "w") as stdout:  # "> Mixed.Json": the report would be lost
            code = harness.run_folmar(["C:\\t", "/X:mixed.json"], drives=drives, cwd=tree, stdout=stdout)[0]
        refused = "Folmar==>  Unable to use the export file mixed.json \nFolmar==>  It is the standard output of this run \n"
        with open(os.path.join(tree, "Mixed.Json")) as f:
            self.assertEqual((code, f.read()[-len(refused):]), (1, refused))
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

    def test_hard_links_count_once_when_asked_and_ncdu_and_gdu_count_the_export_as_they_count_the_tree(self):
        root, outside = os.path.join(self.tmp, "t"), os.path.join(self.tmp, "outside")
        harness.make_tree(root, {"a/f": 3000, "b/single": 10, "c/k": 500})
        os.link(os.path.join(root, "a", "f"), os.path.join(root, "b", "g"))  # a second name in another folder
        os.link(os.path.join(root, "c", "k"), outside)  # one outside the walk
        exports = set()
        for setting, totals in (("", (4, 4, 6510)), ("hardLinks=Once\n", (4, 3, 3510))):
            harness.write_settings(self.tmp, "showDirs=L\nlineWidthPrint=78\n" + setting)
            code, out, err = harness.run_folmar(["C:\\t", "/T:2", "/X:out.json"], drives="C=" + self.tmp, cwd=self.tmp)
            self.assertEqual((code, err, harness.totals(out)), (0, "", totals))
            first, second = sorted("ab", key=lambda d: out.index("C:\\t\\" + d + "."))  # the walk's order
            name = {"a": "f", "b": "g"}
            counted = {first: 3000, second: 0 if setting else 3000}
            for folder in "ab":  # the folder met first holds the file under Once
                self.assertIn(line("C:\\t\\" + folder, counted[folder] + (10 if folder == "b" else 0)), out)
            last = ("C:\\t\\c\\k", 500) if setting else ("C:\\t\\%s\\%s" % (second, name[second]), 3000)
            self.assertTrue(out.endswith("Largest files: \n" + line("C:\\t\\%s\\%s" % (first, name[first]), 3000) +
                                         line(*last) + "\n"), out[-300:])
            with open(os.path.join(self.tmp, "out.json")) as f:
                exports.add(f.read())
        self.assertEqual(len(exports), 1)  # the export is the same whatever the setting
        exported = exports.pop()  # the three names of one file say so; a file of one name does not
        self.assertEqual((exported.count('"hlnkc":true,"nlink":2}'), exported.count('"ino":')), (3, 3))
        read = harness.imported(os.path.join(self.tmp, "out.json"))
        if read is None:
            self.skipTest("ncdu and gdu are not installed: the JSON export is not read back")
        own = harness.ncdu_figures([root])[:5]
        dirs = [os.lstat(os.path.join(root, d)) for d in ("", "a", "b", "c")]
        gdu = [int(subprocess.run(["gdu", root, "-n", "-p", "-s", "--no-prefix"] + flag, check=True,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL).stdout.split()[0]) - less
               for flag, less in ((["-a"], sum(d.st_size for d in dirs)), ([], sum(d.st_blocks * 512 for d in dirs)))]
        self.assertEqual(read, tuple(own) + tuple(gdu))
        self.assertEqual(read[2], 3510)


def line(path, size):
    """A report line of width 78: the path, the dot leader and the size."""
    size = "{:,}".format(size)
    return path + "." * (77 - len(path) - len(size)) + " " + size + "\n"


if __name__ == "__main__":
    harness.main()
