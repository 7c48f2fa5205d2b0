"""The reports over real Linux trees, by their directory lines and totals (the page text is the unit tests'):
one path (links count their own size and are never followed, dot-directories are walked, a name with a control
character is walked and shown with '?', one with a backslash is counted but not entered, and named on standard
error; drive C is / without FOLMAR_DRIVES), subdirectories in the order Windows lists them, all drives into the
report file (fixed and remote, not CD-ROM, removable or missing), started on no drive."""

import os
import re

import harness

TREE = {"t/.dotfile": 11, "t/notes %s %n.txt": 42, "t/.cache/hidden.bin": 5000, "t/real/big.bin": 1 << 20,
        "t/real/100% %s %n/disk.raw": 5 << 30, "t/real/100% %s %n/a\tb/inside": 1000,
        "t/real/100% %s %n/a?b/real.bin": 20, "t/real/100% %s %n/b\\s/kept": 300}  # a\tb and a?b shown alike
LINKS = {"t/filelink": "real/big.bin", "t/dangling": "nowhere/at/all", "t/dirlink": "real", "t/real/up": ".."}

LINES = [  # the directory lines, 125 wide when redirected
    "C:\\t" + "." * 118 + " 83",                        # 11 + 42 + links of 12, 14 and 4
    "C:\\t\\.cache" + "." * 108 + " 5,000",
    "C:\\t\\real" + "." * 106 + " 1,048,578",           # big.bin and the link up
    "C:\\t\\real\\100% %s %n" + "." * 91 + " 5,368,709,120",
    "C:\\t\\real\\100% %s %n\\a?b" + "." * 95 + " 1,000",  # a\tb: the tab comes before '?'
    "C:\\t\\real\\100% %s %n\\a?b" + "." * 98 + " 20",  # b\\s is counted, never entered
]


class Reports(harness.TreeTest):

    def test_report_of_a_real_tree_with_and_without_read_ahead(self):
        harness.make_tree(self.tmp, TREE)
        for link, target in LINKS.items():
            os.symlink(target, os.path.join(self.tmp, link))
        unread = {"": "Folmar==>  1 directory could not be read; /E lists them \n",
                  "/E": "Folmar==>  Unable to read C:\\t\\real\\100% %s %n\\b?s (name this system cannot hold) \n"}
        for (mode, value), switch in zip(harness.READAHEAD_MODES.items(), ["", "/E", ""]):
            code, out, err = harness.run_folmar(["/L", "C:\\t"] + switch.split(), drives="C=" + self.tmp, cwd=self.tmp,
                                                readahead=value)
            self.assertEqual((code, err), (0, unread[switch]), mode)
            self.assertEqual([line for line in out.split("\n") if line.startswith("C:")], LINES, mode)
            self.assertEqual(harness.totals(out), (7, 11, 5369763801), mode)

    def test_subdirectories_in_the_order_windows_lists_them(self):
        # By UTF-16 units upper-cased: '_' after the letters, a shorter name first, a character past U+FFFF
        # (a surrogate pair) before U+FFE6; dotless i and sharp s keep their own place; names that only
        # Linux can hold apart (A and a) by their bytes.
        order = ["10", "9", "A", "a", "a b", "ab", "alpha", "Beta", "eclair", "I", "zeta", "_under", "\u00c9clair",
                 "\u00df", "\u0131", "\u00ff", "\u0178x", "\U0001f600", "\uffe6"]
        harness.make_tree(self.tmp, {"t/" + name: None for name in reversed(order)})
        for mode, value in harness.READAHEAD_MODES.items():
            code, out, _ = harness.run_folmar(["/L", "C:\\t"], drives="C=" + self.tmp, readahead=value)
            lines = [line.encode("latin-1").decode() for line in out.split("\n") if line.startswith("C:\\t\\")]
            self.assertEqual([re.sub(r"\.+ 0$", "", line) for line in lines], ["C:\\t\\" + name for name in order], mode)

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
