"""The reports over real Linux trees, every line that matters written out: one path (links count their own
size and are never followed, dot-directories are skipped, a name Windows could not hold is counted but not
entered, and named on standard error; 125 wide when redirected; drive C is / without FOLMAR_DRIVES), all
drives into the report file (fixed and remote, not CD-ROM, removable or missing), started on no drive."""

import os

import harness

TREE = {"t/.dotfile": 11, "t/notes %s %n.txt": 42, "t/.cache/hidden.bin": 5000, "t/real/big.bin": 1 << 20,
        "t/real/100% %s %n/disk.raw": 5 << 30, "t/real/100% %s %n/a\x01b/inside": 1000,
        "t/real/100% %s %n/a?b/real.bin": 20}  # the last two shown alike
LINKS = {"t/filelink": "real/big.bin", "t/dangling": "nowhere/at/all", "t/dirlink": "real", "t/real/up": ".."}

SINGLE_PATH = [  # after the banner
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


def title(letter):
    return ["Directory Size (Folmar Ver. 2.0) ", "Directory Size Ver. 5.1b of 18 January, 2008 ",
            "Copyright (c) Orvan Software 1994-2008 ", "", "www.orvan.example ", "sales@orvan.example ", "",
            "Creating Directory List for Drive %s on MM-DD-YYYY at hh:mm Hours " % letter, "",
            "Directory Drive %s   Page  1" % letter + " " * 45 + "Bytes ",
            "---------" + " " * 59 + "---------- "]


def drive_totals(letter, dirs, files, alloc):
    """The block of a drive; the three figures are the fields, 15 wide."""
    return ["", "Drive %s Totals: " % letter, "   Number of Dirs.   = %s " % dirs,
            "   Number of Files   = %s " % files, "   Allocation        = %s " % alloc, "",
            "   Total Free Space  = ###############  (Bytes) ",
            "   Free space Avail. = ###############  (Bytes) ",
            "   Capacity          = ###############  (Bytes) ", ""]


ALL_DRIVES = (
    title("C")
    + ["C:\\" + "." * 71 + " 100", "C:\\A" + "." * 68 + " 1,234", "C:\\A\\B" + "." * 62 + " 5,000,000"]
    + drive_totals("C", "              2", "              3", "      5,001,334")
    + ["\f" + title("R")[0]] + title("R")[1:] + ["R:\\" + "." * 73 + " 0", "R:\\N" + "." * 72 + " 7"]
    + drive_totals("R", "              1", "              1", "              7")
    + ["\f ", "Grand Totals for the system: ",
       "   Number of Dirs.   =                3 ",
       "   Number of Files   =                4 ",
       "   Allocation        =        5,001,341  (File Sizes) ",
       "   Free Space        = ################  (Sectors) ",
       "   Free space Avail. = ################  (Free Space) ",
       "   Capacity          = ################  (Bytes) ", "",
       "Directory Size Ver. 5.1b of 18 January, 2008 ", "MM-DD-YYYY at hh:mm Hours ", ""])


class Reports(harness.TreeTest):

    def test_report_of_a_real_tree_line_by_line_with_and_without_read_ahead(self):
        harness.make_tree(self.tmp, TREE)
        for link, target in LINKS.items():
            os.symlink(target, os.path.join(self.tmp, link))
        unread = {"": "Folmar==>  1 directory could not be read; /E lists them \n",
                  "/E": "Folmar==>  Unable to read C:\\t\\real\\100% %s %n\\a?b (name this system cannot hold) \n"}
        for (mode, value), switch in zip(harness.READAHEAD_MODES.items(), ["", "/E", ""]):
            code, out, err = harness.run_folmar(["/L", "C:\\t"] + switch.split(), drives="C=" + self.tmp, cwd=self.tmp,
                                                readahead=value)
            self.assertEqual((code, err), (0, unread[switch]), mode)
            lines = harness.masked(out).split("\n")
            self.assertEqual(lines[lines.index(SINGLE_PATH[0]):], SINGLE_PATH, mode)

    def test_without_a_mapping_drive_c_is_the_root(self):
        harness.make_tree(self.tmp, {"a/f": 1000})
        code, out, _ = harness.run_folmar(["C:" + self.tmp.replace("/", "\\") + "\\a"], cwd=self.tmp)
        self.assertEqual((code, harness.totals(out)), (0, (1, 1, 1000)))

    def test_fixed_and_remote_drives_are_reported_page_by_page(self):
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
                self.assertEqual(harness.masked(f.read()).split("\n"), ALL_DRIVES)


if __name__ == "__main__":
    harness.main()
