"""The all-drives run: fixed C and remote R reported (the settings ask for
remote drives), CD-ROM E and removable O not; the report file at width 78
compared line by line, with read-ahead off and on. No directory has two
subdirectories, so the order in which the file system lists them is moot."""

import os

import harness


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


REPORT = (title("C")
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


class AllDrivesRun(harness.TreeTest):

    def test_fixed_and_remote_drives_are_reported_page_by_page(self):
        t, o = self.tmp, os.path.join(self.tmp, "o")
        harness.make_tree(t, {"c/c1": 100, "c/A/f": 1234, "c/A/B/g": 5000000, "r/N/h": 7, "e/SETUP/x": 99,
                              "o": None})
        harness.write_settings(o, "lineWidthPrint=78\noutputFile=O:\\out.txt\nprocessRemoteDrives=Y\n")
        drives = "C=%s/c,fixed;R=%s/r,remote;E=%s/e,cdrom;O=%s/o,removable" % (t, t, t, t)
        for mode in ("0", None):
            code, out, err = harness.run_folmar(["/ALL"], drives=drives, cwd=o, readahead=mode)
            self.assertEqual((code, err), (0, ""))
            self.assertIn("Drive C\nFolmar==>  Processing Drive R\n\nFolmar==>  Folmar Ver. 5.1b Completed",
                          out)
            with open(os.path.join(o, "out.txt"), encoding="latin-1") as f:
                self.assertEqual(harness.masked(f.read()).split("\n"), REPORT)


if __name__ == "__main__":
    harness.main()
