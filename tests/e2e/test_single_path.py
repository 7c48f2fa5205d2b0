"""The single-path report over a real Linux tree, every line written out, in
every read-ahead mode: links count their own size and are never followed,
dot-directories are skipped, dot-files counted, a name Windows could not hold
counted but not entered, nor its look-alike entered twice; without a settings
file a redirected report is 125 wide. Without FOLMAR_DRIVES drive C is /.
Folmar.ini in the working directory comes before C:\\Orvan\\Folmar.ini."""

import os

import harness

TREE = {
    "t/.dotfile": 11, "t/notes %s %n.txt": 42, "t/.cache/hidden.bin": 5000,
    "t/real/big.bin": 1 << 20, "t/real/100% %s %n/disk.raw": 5 << 30,
    "t/real/100% %s %n/a\x01b/inside": 1000, "t/real/100% %s %n/a?b/real.bin": 20,  # shown alike
}
LINKS = {"t/filelink": "real/big.bin", "t/dangling": "nowhere/at/all", "t/dirlink": "real", "t/real/up": ".."}

REPORT = [  # after the banner
    "Directory Drive C   Page  1" + " " * 91 + "Bytes ",
    "---------" + " " * 104 + "---------- ",
    "C:\\t" + "." * 118 + " 83",                        # 11 + 42 + links of 12, 14 and 4
    "C:\\t\\real" + "." * 106 + " 1,048,578",           # big.bin and the link up
    "C:\\t\\real\\100% %s %n" + "." * 91 + " 5,368,709,120",
    "C:\\t\\real\\100% %s %n\\a?b" + "." * 98 + " 20",  # once: a\x01b is counted, never entered
    "",
    "   Number of Dirs.     =               5",
    "   Number of Files     =               9",
    "   Allocation          =   5,369,757,801  (File Sizes) ",
    "",
    "   Free Space          = ###############  (Sectors) ",
    "   Free space Avail.   = ###############  (Free Space) ",
    "   Capacity            = ###############  (Bytes) ",
    "",
    "",
]


class SinglePathReport(harness.TreeTest):

    def test_report_of_a_real_tree_line_by_line_with_and_without_read_ahead(self):
        harness.make_tree(self.tmp, TREE)
        for link, target in LINKS.items():
            os.symlink(target, os.path.join(self.tmp, link))
        for mode, value in harness.READAHEAD_MODES.items():
            code, out, err = harness.run_folmar(["/L", "C:\\t"], drives="C=" + self.tmp, cwd=self.tmp,
                                                readahead=value)
            self.assertEqual((code, err), (0, ""), mode)
            lines = harness.masked(out).split("\n")
            self.assertEqual(lines[lines.index(REPORT[0]):], REPORT, mode)

    def test_without_a_mapping_drive_c_is_the_root(self):
        harness.make_tree(self.tmp, {"a/f": 1000})
        code, out, _ = harness.run_folmar(["C:" + self.tmp.replace("/", "\\") + "\\a"], cwd=self.tmp)
        self.assertEqual((code, harness.totals(out)), (0, (1, 1, 1000)))

    def test_settings_file_of_the_working_directory_before_the_shared_one(self):
        work = os.path.join(self.tmp, "work")
        harness.make_tree(self.tmp, {"work/a/one.txt": 1000, "Orvan": None})
        harness.write_settings(os.path.join(self.tmp, "Orvan"), "lineWidthPrint = 90\n")
        harness.write_settings(work, "lineWidthPrint = 100\n")

        def widths():
            _, out, _ = harness.run_folmar([], drives="C=" + self.tmp, cwd=work)
            return [len(line) for line in out.split("\n") if line.startswith("C:\\")]
        self.assertEqual(widths(), [100, 100])
        os.remove(os.path.join(work, "Folmar.ini"))
        self.assertEqual(widths(), [90, 90])

if __name__ == "__main__":
    harness.main()
