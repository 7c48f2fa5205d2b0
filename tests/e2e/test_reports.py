"""The reports over real Linux trees, by their directory lines and totals (the page text is the unit tests'):
one path (links count their own size and are never followed, dot-directories are skipped, a name Windows could
not hold is counted but not entered, and named on standard error; drive C is / without FOLMAR_DRIVES), all
drives into the report file (fixed and remote, not CD-ROM, removable or missing), started on no drive."""

import os
import re

import harness

TREE = {"t/.dotfile": 11, "t/notes %s %n.txt": 42, "t/.cache/hidden.bin": 5000, "t/real/big.bin": 1 << 20,
        "t/real/100% %s %n/disk.raw": 5 << 30, "t/real/100% %s %n/a\x01b/inside": 1000,
        "t/real/100% %s %n/a?b/real.bin": 20}  # the last two shown alike
LINKS = {"t/filelink": "real/big.bin", "t/dangling": "nowhere/at/all", "t/dirlink": "real", "t/real/up": ".."}

LINES = [  # the directory lines, 125 wide when redirected
    "C:\\t" + "." * 118 + " 83",                        # 11 + 42 + links of 12, 14 and 4
    "C:\\t\\real" + "." * 106 + " 1,048,578",           # big.bin and the link up
    "C:\\t\\real\\100% %s %n" + "." * 91 + " 5,368,709,120",
    "C:\\t\\real\\100% %s %n\\a?b" + "." * 98 + " 20",  # once: a\x01b is counted, never entered
]


class Reports(harness.TreeTest):

    def test_report_of_a_real_tree_with_and_without_read_ahead(self):
        harness.make_tree(self.tmp, TREE)
        for link, target in LINKS.items():
            os.symlink(target, os.path.join(self.tmp, link))
        unread = {"": "Folmar==>  1 directory could not be read; /E lists them \n",
                  "/E": "Folmar==>  Unable to read C:\\t\\real\\100% %s %n\\a?b (name this system cannot hold) \n"}
        for (mode, value), switch in zip(harness.READAHEAD_MODES.items(), ["", "/E", ""]):
            code, out, err = harness.run_folmar(["/L", "C:\\t"] + switch.split(), drives="C=" + self.tmp, cwd=self.tmp,
                                                readahead=value)
            self.assertEqual((code, err), (0, unread[switch]), mode)
            self.assertEqual([line for line in out.split("\n") if line.startswith("C:")], LINES, mode)
            self.assertEqual(harness.totals(out), (5, 9, 5369757801), mode)

    def test_without_a_mapping_drive_c_is_the_root(self):
        harness.make_tree(self.tmp, {"a/f": 1000})
        code, out, _ = harness.run_folmar(["C:" + self.tmp.replace("/", "\\") + "\\a"], cwd=self.tmp)
        self.assertEqual((code, harness.totals(out)), (0, (1, 1, 1000)))

    def test_fixed_and_remote_drives_go_into_the_report_file(self):
        # The working directory w, with the settings, is on no drive; no directory has two subdirectories to order.
        t, o, w = self.tmp, os.path.join(self.tmp, "o"), os.path.join(self.tmp, "w")
        harness.make_tree(t, {"c/c1": 100, "c/A/f": 1234, "c/A/B/g": 5000000, "r/N/h": 7, "e/SETUP/x": 99,
                              "o": None, "w": None})
        harness.write_settings(w, "lineWidthPrint=78\noutputFile=O:\\out.txt\nprocessRemoteDrives=Y\n")
        drives = "C=%s/c,fixed;R=%s/r,remote;E=%s/e,cdrom;O=%s/o,removable;D=%s/gone" % (t, t, t, t, t)
        for mode in ("0", None):
            code, out, err = harness.run_folmar(["/ALL"], drives=drives, cwd=w, readahead=mode)
            self.assertEqual((code, err), (0, ""))
            with open(os.path.join(o, "out.txt"), encoding="latin-1") as f:
                text = f.read()
            self.assertEqual(re.findall(r"^[A-Z]:\\.*\.\.\. [\d,]+$", text, re.M), [
                "C:\\" + "." * 71 + " 100", "C:\\A" + "." * 68 + " 1,234", "C:\\A\\B" + "." * 62 + " 5,000,000",
                "R:\\" + "." * 73 + " 0", "R:\\N" + "." * 72 + " 7"], mode)
            self.assertEqual(harness.TOTAL.findall(text), [  # C, R, then the grand totals
                ("Number of Dirs.", "2"), ("Number of Files", "3"), ("Allocation", "5,001,334"),
                ("Number of Dirs.", "1"), ("Number of Files", "1"), ("Allocation", "7"),
                ("Number of Dirs.", "3"), ("Number of Files", "4"), ("Allocation", "5,001,341")], mode)


if __name__ == "__main__":
    harness.main()
