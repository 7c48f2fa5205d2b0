"""Windows paths on Linux: drive letters mapped with FOLMAR_DRIVES, names
looked up without regard to case (the exact name first, else the first match
in byte order), targets relative to the current drive, the current directory
found on the drive with the longest matching directory, and the settings and
report files opened through the same translation."""

import os
import re

import harness

dir_sizes = harness.dir_sizes


class DriveLetters(harness.TreeTest):

    def setUp(self):
        super().setUp()
        harness.make_tree(self.tmp, {
            "c/Home/Ann/notes.txt": 100,
            "c/Home/Ann/Docs/a.doc": 20,
            "c/Home/Ann/work/b.txt": 3,
            "c/Home/ann/x": 7000,       # same name in another case, later in byte order
            "c/Ann/root.txt": 55,
            "c/orvan": None,
        })
        self.c = os.path.join(self.tmp, "c")

    def test_lone_target_is_upper_cased_and_found_without_regard_to_case(self):
        code, out, _ = harness.run_folmar(["c:\\home\\ann"], drives={"C": self.c}, cwd=self.c)
        self.assertEqual(code, 0)
        # "Ann" comes before "ann" in byte order; subdirectories keep their real names.
        self.assertEqual(sorted(dir_sizes(out)), [
            ("C:\\HOME\\ANN", 100), ("C:\\HOME\\ANN\\Docs", 20), ("C:\\HOME\\ANN\\work", 3)])

    def test_exact_name_wins_over_other_spellings(self):
        code, out, _ = harness.run_folmar(["/L", "C:\\Home\\ann"], drives={"C": self.c}, cwd=self.c)
        self.assertEqual(code, 0)
        self.assertEqual(dir_sizes(out), [("C:\\Home\\ann", 7000)])

    def test_relative_targets_start_at_the_root_of_the_current_drive(self):
        cwd = os.path.join(self.c, "Home")
        for args, expected in [
                (["ann"], [("C:\\ANN", 55)]),
                (["/L", "Home\\Ann\\Docs"], [("C:\\Home\\Ann\\Docs", 20)]),
                (["/L", "\\Home\\\\Ann\\Docs\\"], [("C:\\\\Home\\\\Ann\\Docs", 20)])]:
            with self.subTest(args=args):
                code, out, _ = harness.run_folmar(args, drives={"C": self.c}, cwd=cwd)
                self.assertEqual(code, 0)
                self.assertEqual(dir_sizes(out), expected)

    def test_current_directory_is_on_the_drive_with_the_longest_directory(self):
        drives = {"C": self.c, "D": os.path.join(self.c, "Home")}
        code, out, _ = harness.run_folmar([], drives=drives, cwd=os.path.join(self.c, "Home", "Ann"))
        self.assertEqual(code, 0)
        self.assertEqual(dir_sizes(out)[0], ("D:\\Ann", 100))
        self.assertTrue(harness.report_lines(out)[0].startswith("Directory Drive D "))
        code, out, _ = harness.run_folmar([], drives=drives, cwd=self.c)
        self.assertEqual(dir_sizes(out)[0], ("C:\\", 0))

    def test_current_directory_on_no_drive_ends_the_run(self):
        outside = os.path.join(self.tmp, "elsewhere")
        os.mkdir(outside)
        code, out, _ = harness.run_folmar([], drives={"C": self.c}, cwd=outside)
        self.assertEqual(code, 1)
        self.assertIn("Folmar==>  The current directory is on no drive: " + outside + "\n", out)
        self.assertEqual(harness.report_lines(out), [])

    def test_malformed_mapping_entries_are_reported_once_and_ignored(self):
        mapping = "C=%s;junk;Q=relative/dir;D=%s,floppy;;" % (self.c, self.c)
        code, out, err = harness.run_folmar(["C:\\Ann"], cwd=self.c,
                                            env_extra={"FOLMAR_DRIVES": mapping})
        self.assertEqual(code, 0)
        self.assertEqual(dir_sizes(out), [("C:\\ANN", 55)])
        for entry in ["junk", "Q=relative/dir", "D=%s,floppy" % self.c]:
            self.assertEqual(err.count(entry), 1, err)
        self.assertEqual(len(err.strip().split("\n")), 3, err)

    def test_unmapped_drive_reports_nothing(self):
        code, out, _ = harness.run_folmar(["E:\\"], drives={"C": self.c}, cwd=self.c)
        self.assertEqual(code, 0)
        self.assertEqual(dir_sizes(out), [])
        self.assertIn("File not found: E:\\", out)


class SettingsAndReportFiles(harness.TreeTest):
    """openFile() goes through the same translation as the walk."""

    def setUp(self):
        super().setUp()
        self.c = os.path.join(self.tmp, "c")
        harness.make_tree(self.c, {"Data/f.bin": 4096, "ORVAN": None, "Reports": None})

    def settings(self, path, text):
        with open(path, "w") as f:
            f.write("[Folmar settings]\n" + text)

    def test_settings_file_names_match_without_regard_to_case(self):
        self.settings(os.path.join(self.c, "ORVAN", "folmar.INI"), "lineWidthPrint=80\n")
        code, out, _ = harness.run_folmar(["C:\\Data"], drives={"C": self.c}, cwd=self.c)
        self.assertEqual(code, 0)
        self.assertNotIn("File Not Found", out)
        line = harness.report_lines(out)[2]
        self.assertEqual((len(line), line[:9]), (80, "C:\\DATA.."))
        # The one in the current directory comes first.
        self.settings(os.path.join(self.c, "Data", "FOLMAR.ini"), "lineWidthPrint=90\n")
        _, out, _ = harness.run_folmar(["C:\\Data"], drives={"C": self.c},
                                       cwd=os.path.join(self.c, "Data"))
        self.assertEqual(len(harness.report_lines(out)[2]), 90)

    def test_report_file_is_written_into_its_directory_found_without_regard_to_case(self):
        self.settings(os.path.join(self.c, "Folmar.ini"),
                      "lineWidthPrint=90\noutputFile=c:\\reports\\All.txt\n")
        code, out, _ = harness.run_folmar(["/ALL"], drives={"C": self.c}, cwd=self.c)
        written = os.path.join(self.c, "Reports", "All.txt")
        self.assertTrue(os.path.exists(written), out)
        self.assertFalse(os.path.exists(os.path.join(self.c, "reports")))
        with open(written, encoding="latin-1") as f:
            self.assertIn("C:\\Data", f.read())


if __name__ == "__main__":
    harness.main()
