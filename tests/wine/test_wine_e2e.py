"""End-to-end tests of folmar.exe under wine, in the prefix that
run-wine-tests.sh makes: D: fixed, E: remote, F: CD-ROM, H: listed but never
ready (its folder is missing), C: typed CD-ROM, Z: removed, B: holding
folmar.exe and folmar95.exe (the same program, which wine shows Windows 95 to).

What wine does differently from Windows is taken as a fact of wine here:
entries come in upper-cased name order, names beginning with '.' are hidden,
short names use wine's hashing scheme (read back from wine's own "dir /x").
Expected reports are built from the trees the tests make; every line of the
program's output must end in CR LF. Redirected output and the report file are
in the prefix's ANSI code page, cp1252. Run by run-wine-tests.sh."""

import datetime
import os
import pty
import re
import select
import shutil
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import make_tree  # noqa: E402  (the trees of the Linux end-to-end tests)

ROOT = os.environ.get("FOLMAR_WINE_ROOT", "")
PREFIX = os.environ.get("WINEPREFIX", "")
WINE_RUN = os.path.join(HERE, "wine-run.sh")
EXE = os.path.join(ROOT, "bin", "folmar.exe")
EXE95 = os.path.join(ROOT, "bin", "folmar95.exe")
DRIVE_DIRS = {"D": os.path.join(ROOT, "d"), "E": os.path.join(ROOT, "e"),
              "F": os.path.join(ROOT, "f")}
DRIVE_C = os.path.join(PREFIX, "drive_c")
REPORT_FILE = os.path.join(DRIVE_C, "FolmarAll.txt")

VERSION_LINE = "Directory Size Ver. 5.1b of 18 January, 2008 "
NO_SETTINGS = ["", "Folmar==>  C:\\Orvan\\Folmar.ini File Not Found ",
               "Folmar==>  Default Parameters will be used ",
               "Folmar==>  Press Enter to continue "]
DATE_RE = re.compile(r"(\d\d)-(\d\d)-(\d{4}) at (\d\d):(\d\d) Hours ")


def run(args, cwd, exe=EXE, stdin_text=None, stdout_to_null=False, partial=False, timeout=60):
    """Runs the program under wine without a terminal (so with no console:
    every wait returns at once). Returns (exit code, standard output as lines
    without their CR LF); with `partial` an unfinished last line is kept."""
    proc = subprocess.run(
        ["/bin/sh", WINE_RUN, exe] + list(args), cwd=cwd,
        input=stdin_text.encode("latin-1") if stdin_text is not None else None,
        stdin=None if stdin_text is not None else subprocess.DEVNULL,
        stdout=subprocess.DEVNULL if stdout_to_null else subprocess.PIPE,
        stderr=subprocess.PIPE, timeout=timeout, start_new_session=True)
    if proc.returncode in (53, 125, 126):
        raise AssertionError("wine could not run the program (exit %d): %r"
                             % (proc.returncode, proc.stderr))
    return proc.returncode, ([] if stdout_to_null else crlf_lines(proc.stdout, partial))


def crlf_lines(data, partial=False):
    """Splits text written in text mode; a bare LF or a missing final CR LF fails."""
    pieces = data.decode("latin-1").split("\r\n")
    for piece in pieces:
        if "\n" in piece or "\r" in piece:
            raise AssertionError("line without CR LF: %r" % piece)
    if pieces[-1] == "":
        return pieces[:-1]
    if not partial:
        raise AssertionError("output does not end in CR LF: %r" % pieces[-1])
    return pieces


def ansi(text):
    """`text` as the program writes it to a file or a pipe: in cp1252, '?' for
    each character cp1252 cannot hold (as read back by crlf_lines)."""
    return text.encode("cp1252", "replace").decode("latin-1")


def short_names(win_dir):
    """Wine's short names below win_dir, from its own "dir /x /a:d /s":
    {windows directory path: {long name: short name or ""}}."""
    out = subprocess.run(["/bin/sh", WINE_RUN, "cmd", "/c", "dir /x /a:d /s " + win_dir],
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, timeout=60,
                         start_new_session=True).stdout.decode("latin-1")
    names, current = {}, None
    for line in out.split("\r\n"):
        if line.startswith("Directory of "):
            current = names.setdefault(line[len("Directory of "):], {})
        elif current is not None and "<DIR>" in line:
            at = line.index("<DIR>") + 5 + 9
            current[line[at + 13:]] = line[at:at + 13].strip()
    return names


def reset_drives():
    """Empties D:, E: and F:; removes the shared settings and the report file."""
    for d in DRIVE_DIRS.values():
        shutil.rmtree(d)
        os.mkdir(d)
    shutil.rmtree(os.path.join(DRIVE_C, "Orvan"), ignore_errors=True)
    if os.path.exists(REPORT_FILE):
        os.remove(REPORT_FILE)


def walk(unix_dir, win_dir, shorts=None, long_dir=None):
    """The walk as wine lets the program see it: directories in upper-cased
    name order, names beginning with '.' not entered, paths built from the
    short names in `shorts` (from short_names()) where there are any. Returns
    (lines, dirs, files, total): lines are (windows path with its final
    backslash, bytes of the files directly inside)."""
    long_dir = long_dir or win_dir
    entries = sorted(os.scandir(unix_dir), key=lambda e: e.name.upper())
    files = [e for e in entries if not e.is_dir(follow_symlinks=False)]
    own = sum(e.stat(follow_symlinks=False).st_size for e in files)
    lines, dirs, nfiles, total = [(win_dir, own)], 0, len(files), own
    for e in entries:
        if not e.is_dir(follow_symlinks=False) or e.name.startswith("."):
            continue
        name = (shorts or {}).get(long_dir.rstrip("\\"), {}).get(e.name) or e.name
        sub = walk(e.path, win_dir + name + "\\", shorts, long_dir + e.name + "\\")
        lines += sub[0]
        dirs, nfiles, total = dirs + 1 + sub[1], nfiles + sub[2], total + sub[3]
    return lines, dirs, nfiles, total


def field(n, width):
    return "{:,}".format(n).rjust(width)


def dir_line(path, size, width):
    """A one-line directory line: the path (final backslash dropped but at a
    root), a dot leader and the size text."""
    path = path[:-1] if len(path) > 4 else path
    size_text = " " + "{:,}".format(size)
    return path + "." * (width - len(path) - len(size_text)) + size_text


def header(letter, width, in_file=False):
    """The column header of page 1, of the report file or of standard output."""
    before, after, dashes, base = (18, 24, 23 + 33, 75) if in_file else (21, 23, 25 + 32, 78)
    fill = " " * max(width - base, 0)
    return ["Directory Drive %s   Page  1" % letter + " " * before + fill + " " * after + "Bytes ",
            "-" * 9 + " " * dashes + fill + "-" * 10 + " "]


def after_banner(lines):
    """The lines after the four banner lines (their maker texts are free)."""
    for i, line in enumerate(lines):
        if line == "Folmar==>  Ver. 5.1b   18 January, 2008 ":
            assert lines[i + 1] == "Folmar==>  Directory Summary Report Generator "
            assert lines[i + 2].startswith("Folmar==>  from ")
            assert lines[i + 3].startswith("Folmar==>  email: ")
            return lines[i + 4:]
    raise AssertionError("no banner in %r" % lines)


def figure(line, label, width, suffix):
    """The number of a totals line "label<field of width>suffix"."""
    m = re.fullmatch(re.escape(label) + r"([ 0-9,]{%d})" % width + re.escape(suffix), line)
    if not m:
        raise AssertionError("not a %r line of width %d: %r" % (label, width, line))
    return int(m.group(1).replace(",", "").strip() or "-1")


def counts(dirs, files, total):
    """The first lines of a single-path totals block."""
    return ["", "   Number of Dirs.     = " + field(dirs, 15),
            "   Number of Files     = " + field(files, 15),
            "   Allocation          = " + field(total, 15) + "  (File Sizes) "]


def write_settings(text):
    """A settings file in F:, the working directory of the runs that use one;
    `text` in UTF-8, or bytes as they are."""
    with open(os.path.join(DRIVE_DIRS["F"], "Folmar.ini"), "wb") as f:
        f.write(text if isinstance(text, bytes) else text.encode("utf-8"))


def disk_total(unix_dir):
    s = os.statvfs(unix_dir)
    return s.f_blocks * s.f_frsize


class WineTest(unittest.TestCase):
    maxDiff = None  # lists of lines are compared whole, their differences shown

    def setUp(self):
        reset_drives()
        self.d = DRIVE_DIRS["D"]

    def assertDateNear(self, line, before, after):
        m = DATE_RE.fullmatch(line)
        self.assertIsNotNone(m, line)
        stamp = datetime.datetime(*(int(m.group(i)) for i in (3, 1, 2, 4, 5)))  # mm-dd-yyyy hh:mm
        self.assertLessEqual(before.replace(second=0, microsecond=0), stamp)
        self.assertLessEqual(stamp, after)


TREE = {"work/a.txt": 6, "work/B.dat": 1000, "work/.dotfile": 7, "work/big.bin": 5368709120,
        "work/sub/b.txt": 3, "work/sub/deep/c": 1234567, "work/sub/empty": None,
        "work/Long Directory Name/x.doc": 2048, "work/Long Directory Name/Inner Folder Name/y": 1,
        "work/_under/z": 5, "work/Zeta/w": 9, "work/alpha": None, "work/.hidden/skipped.bin": 999999}


class SinglePathRunTest(WineTest):
    def test_working_directory_report_matches_the_tree_as_wine_lists_it(self):
        make_tree(self.d, TREE)
        rc, out = run([], cwd=os.path.join(self.d, "work"))
        self.assertEqual(rc, 0)
        self.assertEqual(out[:4], NO_SETTINGS)
        lines, dirs, files, total = walk(os.path.join(self.d, "work"), "D:\\work\\")
        # Redirected output without settings: 125 characters wide.
        expected = [""] + header("D", 125) + [dir_line(p, s, 125) for p, s in lines]
        expected += counts(dirs + 1, files, total) + [""]
        body = after_banner(out)
        self.assertEqual(body[:len(expected)], expected)
        # Extended query (Windows 10): 64-bit figures of the drive's file system.
        space = body[len(expected):]
        self.assertEqual(space[3:], [""])
        free = figure(space[0], "   Free Space          = ", 15, "  (Sectors) ")
        avail = figure(space[1], "   Free space Avail.   = ", 15, "  (Free Space) ")
        capacity = figure(space[2], "   Capacity            = ", 15, "  (Bytes) ")
        self.assertEqual(capacity, disk_total(self.d))
        self.assertTrue(0 < avail <= capacity and 0 < free <= capacity, space)
        # The figures the tree was built for, stated outright.
        self.assertEqual((dirs, files, total), (8, 10, 5368709120 + 6 + 1000 + 7 + 3 + 1234567
                                                + 2048 + 1 + 5 + 9))
        self.assertIn("D:\\work\\_under" + "." * 109 + " 5", body)

    def test_short_name_switch_builds_paths_from_wines_short_names(self):
        make_tree(self.d, TREE)
        rc, out = run(["/S", "D:\\work"], cwd=self.d)
        self.assertEqual(rc, 0)
        shorts = short_names("D:\\work")
        lines, _, _, _ = walk(os.path.join(self.d, "work"), "D:\\work\\", shorts)
        body = after_banner(out)
        self.assertEqual(body[3:3 + len(lines)], [dir_line(p, s, 125) for p, s in lines])
        # The hashed short names are really used, and 8.3 names stay as they are.
        long_dir = shorts["D:\\work"]["Long Directory Name"]
        self.assertRegex(long_dir, r"^LONG~[A-Z0-9]{3}$")
        inner = shorts["D:\\work\\Long Directory Name"]["Inner Folder Name"]
        self.assertIn(dir_line("D:\\work\\%s\\%s\\" % (long_dir, inner), 1, 125), body)
        self.assertIn(dir_line("D:\\work\\sub\\deep\\", 1234567, 125), body)
        self.assertFalse(any("Long Directory Name" in line for line in body))

    def test_letter_that_names_no_drive_fails_the_query_with_error_code_3(self):
        # A lone target is upper-cased; the block shows zeros in the form of
        # the query: the extended one (Windows 10), the classic one (Windows 95).
        for exe, messages, space in [
                (EXE, ["Call to GetFreeDiskSpaceEx() failed with Error Code 3 ",
                       "Unable to obtain free space for \"Q:\\\" "],
                 ["   Free Space          = " + field(0, 15) + "  (Sectors) ",
                  "   Free space Avail.   = " + field(0, 15) + "  (Free Space) ",
                  "   Capacity            = " + field(0, 15) + "  (Bytes) "]),
                (EXE95, ["Call to GetFreeDiskSpace() failed with Error Code 3 ",
                         "Unable to obtain free space for Drive 'Q' "],
                 ["   Allocation          = " + field(0, 14) + "  (Sectors) ",
                  "   Free space          = " + field(0, 14) + "  (Free Space) ",
                  "   Capacity            = " + field(0, 14) + "  (Bytes) "])]:
            with self.subTest(exe=os.path.basename(exe)):
                rc, out = run(["q:\\x"], cwd=self.d, exe=exe)
                self.assertEqual(rc, 0)
                self.assertEqual(after_banner(out)[3:], messages + ["File not found: Q:\\X\\"]
                                 + counts(1, 0, 0) + [""] + space + [""])


def directory_lines(out):
    """The directory lines of a single-path report as (path, size) pairs, and
    the three counts lines after them."""
    body = after_banner(out)
    end = body.index("", 3)
    lines = [re.fullmatch(r"(.+?)\.+ ([0-9,]+)", line) for line in body[3:end]]
    return [(m.group(1), int(m.group(2).replace(",", ""))) for m in lines], body[end:end + 4]


class NamesBeyondAsciiTest(WineTest):
    """Names in several scripts, with look-alike siblings: the best-fit ANSI
    name of "Dvořák" is "Dvorák", that of "Ćirilica" "Cirilica", which names
    "cirilica" on a file system blind to case."""

    TREE = {"names/Français/été.txt": 3, "names/Größe/Maß.dat": 4, "names/Čeština/ž.txt": 5,
            "names/Dvořák/a": 1000, "names/Dvorák/a": 10, "names/Ćirilica/a": 2000, "names/cirilica/a": 20,
            "names/Ελληνικά/Υπο/β": 12, "names/日本語/ファイル": 7, "names/emoji \U0001F389/x": 8,
            "names/cafe\u0301/y": 9, "names/caf\u00e9/z": 11}

    def setUp(self):
        super().setUp()
        make_tree(self.d, self.TREE)
        self.names = os.path.join(self.d, "names")
        walked, dirs, files, total = walk(self.names, "D:\\names\\")
        self.assertEqual((dirs + 1, files, total), (14, 12, 3089))  # the tree, stated outright
        self.expected = sorted((ansi(p.rstrip("\\")), size) for p, size in walked)
        self.counts = counts(dirs + 1, files, total)

    def test_windows_10_enters_every_directory_by_its_real_name(self):
        rc, out = run([], cwd=self.names)
        self.assertEqual(rc, 0)
        lines, totals = directory_lines(out)
        self.assertEqual((sorted(lines), totals), (self.expected, self.counts))
        for pair in [("D:\\names\\Dvo?\u00e1k", 1000), ("D:\\names\\Dvor\u00e1k", 10),
                     ("D:\\names\\?irilica", 2000), ("D:\\names\\cirilica", 20)]:
            self.assertEqual(lines.count(pair), 1, pair)
        # The target from the wide command line, the current directory from
        # the wide call (a lone argument is upper-cased, ASCII letters only).
        for args, cwd, want in [(["D:\\names\\Dvořák"], self.d, [("D:\\NAMES\\DVO?\u00e1K", 1000)]),
                                ([], os.path.join(self.names, "Ελληνικά"),
                                 [("D:\\names\\" + "?" * 8, 0), ("D:\\names\\" + "?" * 8 + "\\???", 12)])]:
            rc, out = run(args, cwd=cwd)
            self.assertEqual((rc, directory_lines(out)[0]), (0, want))

    def test_windows_95_enters_no_directory_twice(self):
        # ANSI calls: look-alikes are entered by their short names, so every
        # directory is reported once, with its own bytes.
        rc, out = run([], cwd=self.names, exe=EXE95)
        self.assertEqual(rc, 0)
        lines, totals = directory_lines(out)
        self.assertEqual(totals, self.counts)
        self.assertEqual(len({path.upper() for path, _ in lines}), len(lines), lines)
        self.assertEqual(sorted(size for _, size in lines), sorted(size for _, size in self.expected))

    def test_names_windows_cannot_hold_are_counted_never_entered(self):
        # Wine lists Linux names holding '?', '*' or a control character as
        # they are. Such a directory is counted but not entered: "q?r" must
        # not be taken for "qxr", which it would match as a pattern.
        make_tree(self.d, {"u/ab/g": 12, "u/q?r/h": 5, "u/a*b/s": 30, "u/line\nbreak/n": 3, "u/qxr/k": 1})
        rc, out = run([], cwd=os.path.join(self.d, "u"))
        self.assertEqual(rc, 0)
        self.assertEqual(directory_lines(out), ([("D:\\u", 0), ("D:\\u\\ab", 12), ("D:\\u\\qxr", 1)],
                                                counts(6, 2, 13)))
        for line in out:
            self.assertFalse(re.search(r"[\x00-\x1f\x7f]", line), repr(line))


class AllDrivesTest(WineTest):
    def read_report(self):
        with open(REPORT_FILE, "rb") as f:
            return crlf_lines(f.read())

    def drive_section(self, letter, lines, width, unix_dir, before, after, classic=False):
        """Checks one drive's title block (maker lines free), header, lines and
        totals; returns the lines after it and its (dirs, files, total, figures)."""
        self.assertEqual(lines[0:2], ["Directory Size (Folmar Ver. 2.0) ", VERSION_LINE])
        self.assertEqual([lines[3], lines[6], lines[8]], ["", "", ""])
        m = re.fullmatch(r"Creating Directory List for Drive %s on (.*)" % letter, lines[7])
        self.assertTrue(m, lines[7])
        self.assertDateNear(m.group(1), before, after)
        walked, dirs, files, total = walk(unix_dir, letter + ":\\")
        expected = header(letter, width, True) + [dir_line(ansi(p), s, width) for p, s in walked]
        expected += ["", "Drive %s Totals: " % letter,
                     "   Number of Dirs.   = " + field(dirs, 15) + " ",
                     "   Number of Files   = " + field(files, 15) + " ",
                     "   Allocation        = " + field(total, 15) + " ", ""]
        rest = lines[9:]
        self.assertEqual(rest[:len(expected)], expected)
        rest = rest[len(expected):]
        forms = ([("Allocation", "Sectors"), ("Free space", "Free Space"), ("Capacity", "Bytes")] if classic
                 else [("Total Free Space", "Bytes"), ("Free space Avail.", "Bytes"), ("Capacity", "Bytes")])
        figures = [figure(rest[i], "   %-18s= " % label, 14 if classic else 15, "  (%s) " % unit)
                   for i, (label, unit) in enumerate(forms)]
        self.assertEqual(rest[3], "")
        self.assertTrue(rest[4].startswith("\f"), rest[4])
        return [rest[4][1:]] + rest[5:], (dirs, files, total, figures)

    def test_all_drives_run_with_width_question_and_a_remote_drive(self):
        make_tree(self.d, {"work/a": 100, "work/sub/b": 5000000000, "work/Dvořák/c": 7, "top.txt": 1})
        make_tree(DRIVE_DIRS["E"], {"share/doc": 42})
        make_tree(DRIVE_DIRS["F"], {"cd/never": 1})
        write_settings("[Folmar settings]\nprocessRemoteDrives = Y\n")
        before = datetime.datetime.now()
        rc, out = run(["/ALL"], cwd=DRIVE_DIRS["F"], stdin_text="3\n")
        after = datetime.datetime.now()
        self.assertEqual(rc, 0)
        self.assertEqual(after_banner(out), [
            "Folmar==>  Processing ALL Drives ", "Folmar==>  Output will be in C:\\FolmarAll.txt ",
            "Folmar==>  Select Line Width in Characters (1-4): ",
            "Folmar==>     1 =  75 (10 cpi) ", "Folmar==>     2 =  90 (12 cpi) ",
            "Folmar==>     3 = 112 (15 cpi) ", "Folmar==>     4 = 125 (17 cpi) ",
            "Folmar==>  Enter (1-4) or 0 to End: ", "Folmar==>  Processing multiple drives ",
            "Folmar==>  Output will be in C:\\FolmarAll.txt",
            "Folmar==>  To print C:\\FolmarAll.txt, use a 15 CPI, fixed pitch font ", "",
            "Folmar==>  Processing Drive D", "Folmar==>  Processing Drive E", "",
            "Folmar==>  Folmar Ver. 5.1b Completed ", "Folmar==>  Output is in C:\\FolmarAll.txt"])
        rest, d = self.drive_section("D", self.read_report(), 112, self.d, before, after)
        rest, e = self.drive_section("E", rest, 112, DRIVE_DIRS["E"], before, after)
        self.assertEqual(d[:3], (3, 4, 5000000108))
        self.assertEqual(d[3][2], disk_total(self.d))
        grand = [("   Number of Dirs.   = ", " "), ("   Number of Files   = ", " "),
                 ("   Allocation        = ", "  (File Sizes) "),
                 ("   Free Space        = ", "  (Sectors) "),
                 ("   Free space Avail. = ", "  (Free Space) "), ("   Capacity          = ", "  (Bytes) ")]
        self.assertEqual(rest[0:2], [" ", "Grand Totals for the system: "])
        sums = [figure(rest[2 + i], label, 16, suffix) for i, (label, suffix) in enumerate(grand)]
        self.assertEqual(sums[:3], [d[0] + e[0], d[1] + e[1], d[2] + e[2]])
        self.assertEqual(sums[5], d[3][2] + e[3][2])
        self.assertEqual(rest[8:10], ["", VERSION_LINE])
        self.assertDateNear(rest[10], before, after)
        self.assertEqual(len(rest), 11)

    def test_windows_95_run_with_nul_as_output_uses_classic_figures_at_78(self):
        # NUL is a character device: the width stays 78 after an answer
        # outside 0 to 4.
        make_tree(self.d, {"w/f": 300})
        write_settings("[Folmar settings]\n")
        before = datetime.datetime.now()
        rc, _ = run(["/all"], cwd=DRIVE_DIRS["F"], exe=EXE95, stdin_text="7\n", stdout_to_null=True)
        rest, d = self.drive_section("D", self.read_report(), 78, self.d, before, datetime.datetime.now(),
                                     classic=True)
        self.assertEqual(rc, 0)
        used, free, capacity = d[3]
        self.assertEqual(capacity, (used + free) % 2 ** 32)
        self.assertGreater(capacity, 0)
        self.assertEqual(rest[0:2], [" ", "Grand Totals for the system: "])
        self.assertEqual(figure(rest[4], "   Allocation        = ", 16, "  (File Sizes) "), 300)
        self.assertEqual(figure(rest[5], "   Allocation        = ", 16, "  (Sectors) "), used)
        self.assertEqual(figure(rest[6], "   Free space        = ", 16, "  (Free Space) "), free)
        self.assertEqual(figure(rest[7], "   Capacity          = ", 16, "  (Bytes) "), capacity)


class ReportFileTest(WineTest):
    def test_report_file_is_a_regular_file_named_by_its_real_name(self):
        # A device or a directory is refused; a name beyond ASCII, from a
        # settings file in UTF-8 or in the ANSI code page, names its file.
        folder = os.path.join(DRIVE_C, "Folder.txt")
        os.mkdir(folder)
        self.addCleanup(os.rmdir, folder)
        for value, made in [("C:\\Folder.txt", None), ("NUL", None), ("COM1", None), ("CON", None),
                            ("C:\\Résumé-Dvořák.txt", "Résumé-Dvořák.txt"),
                            ("C:\\Résumé.txt".encode("cp1252"), "Résumé.txt")]:
            with self.subTest(value=value):
                write_settings(b"[Folmar settings]\noutputFile = " +
                               (value if isinstance(value, bytes) else value.encode("utf-8")) + b"\n")
                rc, out = run(["/ALL"], cwd=DRIVE_DIRS["F"], stdin_text="4\n")
                self.assertEqual(rc, 0)
                refused = any(line.endswith("Folmar==>  Unable to open the FolmarAll.txt output file ")
                              for line in out)
                self.assertEqual(refused, made is None, out)
                if made is not None:
                    with open(os.path.join(DRIVE_C, made), "rb") as f:
                        self.assertEqual(crlf_lines(f.read())[0], "Directory Size (Folmar Ver. 2.0) ")
                    os.remove(os.path.join(DRIVE_C, made))


class ConsoleTest(WineTest):
    """The program on a pseudo-terminal, its console: key reads really wait and
    typed keys arrive as console input events (an escape sequence as one key)."""

    def setUp(self):
        super().setUp()
        self.pid, self.fd, self.seen = None, -1, b""

    def tearDown(self):
        if self.pid is not None:
            os.kill(self.pid, 9)
            os.waitpid(self.pid, 0)
        if self.fd >= 0:
            os.close(self.fd)

    def settle(self, quiet=1.0, at_least=3.0, limit=60.0):
        """Reads the terminal until it is quiet for `quiet` seconds, `at_least`
        after the call (None: the program waits) or the program ends (its exit code)."""
        start = last = time.time()
        while time.time() - start < limit:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.pid = None
                return os.WEXITSTATUS(status)
            if select.select([self.fd], [], [], 0.1)[0]:
                try:
                    data = os.read(self.fd, 65536)
                    self.seen, last = self.seen + data, time.time() if data else last
                except OSError:
                    pass
            elif time.time() - last >= quiet and time.time() - start >= at_least:
                return None
        return None

    def test_cursor_key_ends_one_wait_and_leaves_nothing_for_the_next(self):
        # No settings file: a wait after its messages; then /P pauses after 23
        # directory lines. Both parts of the cursor key go to the first wait.
        # Names beyond ASCII show their real characters on the console.
        make_tree(self.d, {"p/d%02d" % i: None for i in range(25)})
        make_tree(self.d, {"p/Dvořák": None, "p/日本語": None})
        self.pid, self.fd = pty.fork()
        if self.pid == 0:  # the child: a new session with the terminal as its own
            try:
                os.chdir(self.d)
                os.environ["TERM"] = "xterm"
                os.execvp("/bin/sh", ["/bin/sh", WINE_RUN, EXE, "/P", "D:\\p"])
            finally:
                os._exit(127)
        self.assertIsNone(self.settle(), "no wait after the settings messages")
        os.write(self.fd, b"\x1b[A")
        self.assertIsNone(self.settle(), "the /P pause did not wait: a key was left behind")
        os.write(self.fd, b"x")
        self.assertEqual(self.settle(quiet=60, at_least=0), 0, "the program still waits, or failed")
        shown = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", self.seen).decode("utf-8", "replace")
        for name in ["D:\\p\\Dvořák.", "D:\\p\\日本語."]:
            self.assertIn(name, shown)


class ExitCodeTest(WineTest):
    def test_help_and_a_current_directory_on_no_drive_end_with_exit_code_one(self):
        rc, out = run(["/?"], cwd=self.d)
        self.assertEqual(rc, 1)
        self.assertEqual(out[0:3], ["Folmar==>  Ver. 5.1b of 18 January, 2008 ", "",
                                    "Folmar (Ver. 5.1b) Usage:  Folmar  parm "])
        rc, out = run([], cwd="/tmp")
        self.assertEqual(rc, 1)
        self.assertTrue(any(line.startswith("Folmar==>  The current directory is on no drive: ")
                            for line in out), out)

    def test_answer_zero_ends_with_exit_code_zero_and_no_report_file(self):
        write_settings("[Folmar settings]\n")
        rc, out = run(["/ALL"], cwd=DRIVE_DIRS["F"], stdin_text="0\n", partial=True)
        self.assertEqual(rc, 0)
        self.assertEqual(out[-2:], ["Folmar==>     4 = 125 (17 cpi) ",
                                    "Folmar==>  Enter (1-4) or 0 to End: "])
        self.assertFalse(os.path.exists(REPORT_FILE))


if __name__ == "__main__":
    if not (ROOT and PREFIX):
        raise SystemExit("run me through tests/wine/run-wine-tests.sh")
    unittest.main(verbosity=2)
