"""The all-drives run of the real program: drive letters mapped into a
temporary folder, a Folmar.ini in the working directory, the report file
compared line by line (dates and live disk figures masked), the width
question answered on standard input, and report files that cannot be opened
or written."""

import os
import re
import resource
import signal
import subprocess

from harness import FOLMAR, TreeTest, main, make_tree, run_folmar

# Lines of the live disk-space figures: (label, field width).
SPACE_LINES = [
    ("   Total Free Space  = ", 15), ("   Free space Avail. = ", 15),
    ("   Capacity          = ", 15), ("   Free Space        = ", 16),
]
GRAND_SPACE_LINES = {"   Free Space        = ", "   Free space Avail. = ",
                     "   Capacity          = "}
DATE = re.compile(r"\d\d-\d\d-\d{4} at \d\d:\d\d Hours")
FIELD = re.compile(r" *[0-9][0-9,]*|\**")


def mask(lines):
    """Dates become MM-DD-YYYY at hh:mm; the free-space and capacity fields,
    which the machine decides, become '#' of the same width after checking
    that each is a well-formed field of that width."""
    masked, in_grand = [], False
    for line in lines:
        line = DATE.sub("MM-DD-YYYY at hh:mm Hours", line)
        in_grand = in_grand or line.startswith("Grand Totals for the system")
        for label, width in SPACE_LINES:
            if not line.startswith(label):
                continue
            if in_grand and label in GRAND_SPACE_LINES:
                width = 16
            field = line[len(label):len(label) + width]
            if FIELD.fullmatch(field) and line[len(label) + width] == " ":
                line = label + "#" * width + line[len(label) + width:]
            break
        masked.append(line)
    return masked


def title_block(letter):
    return ["Directory Size (Folmar Ver. 2.0) ",
            "Directory Size Ver. 5.1b of 18 January, 2008 ",
            "Copyright (c) Orvan Software 1994-2008 ", "",
            "www.orvan.example ",
            "sales@orvan.example ", "",
            "Creating Directory List for Drive %s on MM-DD-YYYY at hh:mm Hours " % letter, ""]


def column_header_78(letter, page):
    return ["Directory Drive %s   Page %2d" % (letter, page) + " " * 45 + "Bytes ",
            "-" * 9 + " " * 59 + "-" * 10 + " "]


def dir_line(path, size, width=78):
    """A directory line: the path, its dot leader, the size with one blank."""
    column = width - 14
    return path + "." * (column - len(path)) + "." * (13 - len(size)) + " " + size


def drive_totals(letter, dirs, files, alloc):
    return ["", "Drive %s Totals: " % letter,
            "   Number of Dirs.   = %15s " % dirs,
            "   Number of Files   = %15s " % files,
            "   Allocation        = %15s " % alloc, "",
            "   Total Free Space  = " + "#" * 15 + "  (Bytes) ",
            "   Free space Avail. = " + "#" * 15 + "  (Bytes) ",
            "   Capacity          = " + "#" * 15 + "  (Bytes) ", ""]


def grand_totals(dirs, files, alloc):
    return [" ", "Grand Totals for the system: ",
            "   Number of Dirs.   = %16s " % dirs,
            "   Number of Files   = %16s " % files,
            "   Allocation        = %16s  (File Sizes) " % alloc,
            "   Free Space        = " + "#" * 16 + "  (Sectors) ",
            "   Free space Avail. = " + "#" * 16 + "  (Free Space) ",
            "   Capacity          = " + "#" * 16 + "  (Bytes) ", ""]


CLOSING = ["Directory Size Ver. 5.1b of 18 January, 2008 ", "MM-DD-YYYY at hh:mm Hours ", ""]


def run_with_input(args, drives, cwd, stdin_data):
    """As run_folmar, with `stdin_data` as standard input (the answer to the
    width question)."""
    env = dict(os.environ)
    env["FOLMAR_DRIVES"] = ";".join("%s=%s,%s" % (letter, d[0], d[1])
                                    for letter, d in drives.items())
    proc = subprocess.run([FOLMAR] + list(args), cwd=cwd, env=env,
                          input=stdin_data.encode("latin-1"),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          start_new_session=True, timeout=120)
    return (proc.returncode, proc.stdout.decode("latin-1"),
            proc.stderr.decode("latin-1"))


class AllDrivesRun(TreeTest):
    """Drives C (fixed), R (remote) and E (CD-ROM) in the temporary folder;
    O (removable, never reported) holds the working directory, the settings
    and the report file. Every directory has at most one subdirectory, so the
    report does not depend on the order in which the file system lists them."""

    def setUp(self):
        super().setUp()
        t = self.tmp
        make_tree(os.path.join(t, "c"), {"c1": 100, "A/f": 1234, "A/B/g": 5000000})
        make_tree(os.path.join(t, "r"), {"N/h": 7})
        make_tree(os.path.join(t, "e"), {"SETUP/x": 99})
        make_tree(os.path.join(t, "o"), {"keep": 0})
        self.drives = {"C": (os.path.join(t, "c"), "fixed"),
                       "R": (os.path.join(t, "r"), "remote"),
                       "E": (os.path.join(t, "e"), "cdrom"),
                       "O": (os.path.join(t, "o"), "removable")}
        self.report_path = os.path.join(t, "o", "out.txt")

    def run_all(self, settings, stdin_data=None, extra_drives=None):
        with open(os.path.join(self.tmp, "o", "Folmar.ini"), "w") as f:
            f.write("[Folmar settings]\n" + settings)
        drives = dict(self.drives)
        drives.update(extra_drives or {})
        if stdin_data is None:
            return run_folmar(["/ALL"], drives=drives, cwd=os.path.join(self.tmp, "o"))
        return run_with_input(["/ALL"], drives, os.path.join(self.tmp, "o"), stdin_data)

    def report(self):
        with open(self.report_path, "rb") as f:
            return f.read().decode("latin-1")

    def test_fixed_and_remote_drives_are_reported_page_by_page(self):
        code, out, _ = self.run_all("lineWidthPrint=78\noutputFile=O:\\out.txt\n"
                                    "processRemoteDrives=Y\n")
        self.assertEqual(code, 0)
        expected = (title_block("C") + column_header_78("C", 1) +
                    [dir_line("C:\\", "100"), dir_line("C:\\A", "1,234"),
                     dir_line("C:\\A\\B", "5,000,000")] +
                    drive_totals("C", "2", "3", "5,001,334"))
        # Each drive's block ends with a form feed; what follows stands on its line.
        expected += ["\f" + title_block("R")[0]] + title_block("R")[1:]
        expected += (column_header_78("R", 1) +
                     [dir_line("R:\\", "0"), dir_line("R:\\N", "7")] +
                     drive_totals("R", "1", "1", "7"))
        expected += ["\f "] + grand_totals("3", "4", "5,001,341")[1:] + CLOSING
        self.assertLinesEqual(mask(self.report().split("\n")), expected)
        self.assertTrue(out.endswith(
            "\nFolmar==>  Processing multiple drives \n"
            "Folmar==>  Output will be in O:\\out.txt\n"
            "Folmar==>  To print O:\\out.txt, use a 12 CPI, fixed pitch font \n\n"
            "Folmar==>  Processing Drive C\n"
            "Folmar==>  Processing Drive R\n"
            "\nFolmar==>  Folmar Ver. 5.1b Completed \n"
            "Folmar==>  Output is in O:\\out.txt\n"), out)

    def test_no_directory_lines_gives_the_short_title_and_no_headers(self):
        code, _, _ = self.run_all("showDirs=N\nlineWidthPrint=78\noutputFile=O:\\out.txt\n")
        self.assertEqual(code, 0)
        expected = (["Directory Size Ver. 5.1b of 18 January, 2008 ",
                     "Copyright (c) Orvan Software 1994-2008 ", "",
                     "www.orvan.example ", "sales@orvan.example ", ""] +
                    drive_totals("C", "2", "3", "5,001,334") +
                    grand_totals("2", "3", "5,001,334") + CLOSING)
        self.assertLinesEqual(mask(self.report().split("\n")), expected)

    def test_answer_three_gives_lines_of_112(self):
        code, out, _ = self.run_all("outputFile=O:\\out.txt\n", stdin_data="3\n")
        self.assertEqual(code, 0)
        self.assertIn("Folmar==>     4 = 125 (17 cpi) \n"
                      "Folmar==>  Enter (1-4) or 0 to End: \n"
                      "Folmar==>  Processing multiple drives \n", out)
        self.assertIn("use a 15 CPI, fixed pitch font", out)
        lines = self.report().split("\n")
        self.assertIn(dir_line("C:\\A\\B", "5,000,000", 112), lines)
        header = [l for l in lines if l.startswith("Directory Drive C   Page  1")]
        self.assertEqual(len(header), 1)
        self.assertEqual(len(header[0]), 112)

    def test_answer_out_of_range_when_redirected_gives_125(self):
        for answer in ("7\n", "-1\n"):
            code, out, _ = self.run_all("outputFile=O:\\out.txt\n", stdin_data=answer)
            self.assertEqual(code, 0)
            self.assertIn("use a 17 CPI, fixed pitch font", out)
            self.assertIn(dir_line("C:\\A", "1,234", 125), self.report().split("\n"))

    def test_answer_zero_or_no_number_ends_without_a_file(self):
        for answer in ("0\n", "four\n", ""):
            code, out, _ = self.run_all("outputFile=O:\\out.txt\n", stdin_data=answer)
            self.assertEqual(code, 0, repr(answer))
            self.assertTrue(out.endswith("Folmar==>  Enter (1-4) or 0 to End: "), repr(out))
            self.assertFalse(os.path.exists(self.report_path), repr(answer))

    def test_report_file_in_a_missing_folder_cannot_be_opened(self):
        code, out, _ = self.run_all("lineWidthPrint=78\noutputFile=O:\\nowhere\\out.txt\n")
        self.assertEqual(code, 0)
        self.assertTrue(out.endswith(
            "Folmar==>  Unable to open the FolmarAll.txt output file \n"
            "Folmar==>  Most likely the disk drive is full \n"
            "Folmar==>  Program will terminate \n"
            "Folmar==>  Press Enter to continue \n"), out)
        self.assertNotIn("Processing", out)
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "o", "nowhere")))

    def test_full_disk_is_never_called_complete(self):
        def small_files():  # a disk that fills after 100 bytes
            resource.setrlimit(resource.RLIMIT_FSIZE, (100, 100))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        with open(os.path.join(self.tmp, "o", "Folmar.ini"), "w") as f:
            f.write("[Folmar settings]\nlineWidthPrint=78\noutputFile=O:\\out.txt\n")
        code, out, _ = run_folmar(["/ALL"], drives=self.drives, cwd=os.path.join(self.tmp, "o"),
                                  preexec=small_files)
        self.assertEqual(code, 1, out)
        self.assertNotIn("Completed", out)
        self.assertTrue(out.endswith(
            "Folmar==>  Processing Drive C\n"
            "Folmar==>  Unable to write the output file O:\\out.txt \n"
            "Folmar==>  Most likely the disk drive is full \n"), out)


if __name__ == "__main__":
    main()
