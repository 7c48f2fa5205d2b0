"""End-to-end tests of folmar.exe under wine, in the prefix that
run-wine-tests.sh makes: D: fixed, E: remote, F: CD-ROM, H: listed but never
ready (its folder is missing), C: typed CD-ROM, Z: removed, B: holding
folmar.exe and folmar95.exe (the same program, which wine shows Windows 95 to).

What wine does differently from Windows is taken as a fact of wine here:
entries come in upper-cased name order, names beginning with '.' are hidden,
short names use wine's hashing scheme (read back from wine's own "dir /x").
Expected reports are built from the trees the tests make; every line of the
program's output must end in CR LF.

Run by run-wine-tests.sh (FOLMAR_WINE_ROOT and WINEPREFIX set)."""

import datetime
import os
import pty
import re
import select
import shutil
import subprocess
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
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


# ---------------------------------------------------------------- running

def run(args, cwd, exe=EXE, stdin_text=None, stdout_to_null=False, partial=False, timeout=60):
    """Runs the program under wine without a terminal (a new session, so
    wine gives it no console and every wait returns at once). Returns
    (exit code, standard output as lines without their CR LF); with
    `partial`, output may end in an unfinished line, kept as the last."""
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
    """Splits text written in text mode; a bare LF, or (unless `partial`) a
    missing final CR LF, fails the test that reads it."""
    text = data.decode("latin-1")
    pieces = text.split("\r\n")
    for piece in pieces:
        if "\n" in piece or "\r" in piece:
            raise AssertionError("line without CR LF: %r" % piece)
    if pieces[-1] == "":
        return pieces[:-1]
    if not partial:
        raise AssertionError("output does not end in CR LF: %r" % pieces[-1])
    return pieces


def short_names(win_dir):
    """Wine's short names of the subdirectories of every directory below
    win_dir (inclusive), read from its own "dir /x /a:d /s":
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


# ---------------------------------------------------------------- trees

def reset_drives():
    """Empties the folders behind D:, E: and F: and removes the shared
    settings file and the default report file."""
    for d in DRIVE_DIRS.values():
        for name in os.listdir(d):
            path = os.path.join(d, name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            else:
                os.remove(path)
    shutil.rmtree(os.path.join(DRIVE_C, "Orvan"), ignore_errors=True)
    if os.path.exists(REPORT_FILE):
        os.remove(REPORT_FILE)


def make_tree(root, spec):
    """spec: relative path (with '/') -> size in bytes (a sparse file), or
    None for a directory."""
    for rel, size in spec.items():
        path = os.path.join(root, rel)
        if size is None:
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.truncate(size)


def walk(unix_dir, win_dir, shorts=None, long_dir=None):
    """The walk as wine lets the program see it: directories in upper-cased
    name order, names beginning with '.' not entered; with `shorts` (from
    short_names()), paths are built from short names where there are any.
    Returns (lines, dirs, files, total): lines are (windows path with its
    final backslash, bytes of the files directly inside); dirs counts the
    subdirectories found below."""
    long_dir = long_dir or win_dir
    entries = sorted(os.scandir(unix_dir), key=lambda e: e.name.upper())
    files = [e for e in entries if not e.is_dir(follow_symlinks=False)]
    subdirs = [e for e in entries if e.is_dir(follow_symlinks=False)
               and not e.name.startswith(".")]
    own = sum(e.stat(follow_symlinks=False).st_size for e in files)
    lines, dirs, nfiles, total = [(win_dir, own)], 0, len(files), own
    for e in subdirs:
        dirs += 1
        name = e.name
        if shorts is not None:
            name = shorts.get(long_dir.rstrip("\\"), {}).get(e.name) or e.name
        sub = walk(e.path, win_dir + name + "\\", shorts, long_dir + e.name + "\\")
        lines += sub[0]
        dirs += sub[1]
        nfiles += sub[2]
        total += sub[3]
    return lines, dirs, nfiles, total


# ---------------------------------------------------------------- layout

def field(n, width):
    return "{:,}".format(n).rjust(width)


def dir_line(path, size, width):
    """A directory line that fits on one line: the path (final backslash
    dropped except at a root), a dot leader and the size text."""
    if len(path) > 4:
        path = path[:-1]
    size_text = "{:,}".format(size)
    size_text = "." * (13 - len(size_text)) + " " + size_text
    return path + "." * (width - 14 - len(path)) + size_text


def stdout_header(letter, width):
    fill = " " * max(width - 78, 0)
    return ["Directory Drive %s   Page  1" % letter + " " * 21 + fill + " " * 23 + "Bytes ",
            "-" * 9 + " " * 25 + " " * 32 + fill + "-" * 10 + " "]


def file_header(letter, width):
    fill = " " * max(width - 75, 0)
    return ["Directory Drive %s   Page  1" % letter + " " * 18 + fill + " " * 24 + "Bytes ",
            "-" * 9 + " " * 23 + " " * 33 + fill + "-" * 10 + " "]


def banner_end(lines):
    """Index just after the four banner lines (their maker texts are free)."""
    for i, line in enumerate(lines):
        if line == "Folmar==>  Ver. 5.1b   18 January, 2008 ":
            assert lines[i + 1] == "Folmar==>  Directory Summary Report Generator "
            assert lines[i + 2].startswith("Folmar==>  from ")
            assert lines[i + 3].startswith("Folmar==>  email: ")
            return i + 4
    raise AssertionError("no banner in %r" % lines)


def figure(line, label, width, suffix):
    """The number of a totals line "label<field of width>suffix"."""
    m = re.fullmatch(re.escape(label) + r"([ 0-9,]{%d})" % width + re.escape(suffix), line)
    if not m:
        raise AssertionError("not a %r line of width %d: %r" % (label, width, line))
    return int(m.group(1).replace(",", "").strip() or "-1")


def disk_total(unix_dir):
    s = os.statvfs(unix_dir)
    return s.f_blocks * s.f_frsize


class WineTest(unittest.TestCase):
    def setUp(self):
        reset_drives()
        self.d = DRIVE_DIRS["D"]

    def assertLinesEqual(self, got, expected):
        for i, (g, e) in enumerate(zip(got, expected)):
            self.assertEqual(g, e, "line %d differs:\n got: %r\nwant: %r" % (i + 1, g, e))
        self.assertEqual(len(got), len(expected),
                         "line counts differ:\n got: %r\nwant: %r" % (got, expected))

    def assertDateNear(self, line, before, after):
        m = DATE_RE.fullmatch(line)
        self.assertIsNotNone(m, line)
        month, day, year, hour, minute = (int(x) for x in m.groups())
        stamp = datetime.datetime(year, month, day, hour, minute)
        self.assertLessEqual(before.replace(second=0, microsecond=0), stamp)
        self.assertLessEqual(stamp, after)


# ---------------------------------------------------------------- single-path runs

TREE = {
    "work/a.txt": 6, "work/B.dat": 1000, "work/.dotfile": 7, "work/big.bin": 5368709120,
    "work/sub/b.txt": 3, "work/sub/deep/c": 1234567, "work/sub/empty": None,
    "work/Long Directory Name/x.doc": 2048, "work/Long Directory Name/Inner Folder Name/y": 1,
    "work/_under/z": 5, "work/Zeta/w": 9, "work/alpha": None,
    "work/.hidden/skipped.bin": 999999,
}


class SinglePathRunTest(WineTest):
    def test_working_directory_report_matches_the_tree_as_wine_lists_it(self):
        make_tree(self.d, TREE)
        rc, out = run([], cwd=os.path.join(self.d, "work"))
        self.assertEqual(rc, 0)
        self.assertEqual(out[:4], NO_SETTINGS)
        lines, dirs, files, total = walk(os.path.join(self.d, "work"), "D:\\work\\")
        # Redirected output without settings: 125 characters wide.
        expected = [""] + stdout_header("D", 125) + [dir_line(p, s, 125) for p, s in lines]
        expected += ["", "   Number of Dirs.     = " + field(dirs + 1, 15),
                     "   Number of Files     = " + field(files, 15),
                     "   Allocation          = " + field(total, 15) + "  (File Sizes) ", ""]
        body = out[banner_end(out):]
        self.assertLinesEqual(body[:len(expected)], expected)
        # Extended query (Windows 10): 64-bit figures of the drive's file system.
        space = body[len(expected):]
        self.assertEqual(len(space), 4, space)
        free = figure(space[0], "   Free Space          = ", 15, "  (Sectors) ")
        avail = figure(space[1], "   Free space Avail.   = ", 15, "  (Free Space) ")
        capacity = figure(space[2], "   Capacity            = ", 15, "  (Bytes) ")
        self.assertEqual(space[3], "")
        self.assertEqual(capacity, disk_total(self.d))
        self.assertTrue(0 < avail <= capacity and 0 < free <= capacity, space)
        # The figures the tree was built for, stated outright.
        self.assertEqual((dirs, files, total), (8, 10, 5368709120 + 6 + 1000 + 7 + 3 + 1234567
                                                + 2048 + 1 + 5 + 9))
        self.assertIn("D:\\work\\_under" + "." * 109 + " 5", body)

    def test_lone_target_is_upper_cased_and_found_without_regard_to_case(self):
        make_tree(self.d, TREE)
        rc, out = run(["work\\SUB"], cwd=os.path.join(self.d, "work", "Zeta"))
        self.assertEqual(rc, 0)
        body = out[banner_end(out):]
        # Relative to the root of the current drive, upper-cased as one argument;
        # subdirectories keep their own names.
        self.assertEqual(body[3:6], [dir_line("D:\\WORK\\SUB\\", 3, 125),
                                     dir_line("D:\\WORK\\SUB\\deep\\", 1234567, 125),
                                     dir_line("D:\\WORK\\SUB\\empty\\", 0, 125)])
        self.assertEqual(body[6:9], ["", "   Number of Dirs.     = " + field(3, 15),
                                     "   Number of Files     = " + field(2, 15)])

    def test_target_that_does_not_exist_reports_file_not_found(self):
        rc, out = run(["D:\\nothere\\*.*"], cwd=self.d)
        self.assertEqual(rc, 0)
        body = out[banner_end(out):]
        self.assertEqual(body[3:8], ["File not found: D:\\NOTHERE\\", "",
                                     "   Number of Dirs.     = " + field(1, 15),
                                     "   Number of Files     = " + field(0, 15),
                                     "   Allocation          = " + field(0, 15) + "  (File Sizes) "])

    def test_short_name_switch_builds_paths_from_wines_short_names(self):
        make_tree(self.d, TREE)
        rc, out = run(["/S", "D:\\work"], cwd=self.d)
        self.assertEqual(rc, 0)
        shorts = short_names("D:\\work")
        lines, dirs, _, _ = walk(os.path.join(self.d, "work"), "D:\\work\\", shorts)
        body = out[banner_end(out):]
        self.assertLinesEqual(body[3:3 + len(lines)], [dir_line(p, s, 125) for p, s in lines])
        # The hashed short names are really used, and 8.3 names stay as they are.
        long_dir = shorts["D:\\work"]["Long Directory Name"]
        self.assertRegex(long_dir, r"^LONG~[A-Z0-9]{3}$")
        inner = shorts["D:\\work\\Long Directory Name"]["Inner Folder Name"]
        self.assertIn(dir_line("D:\\work\\%s\\%s\\" % (long_dir, inner), 1, 125), body)
        self.assertIn(dir_line("D:\\work\\sub\\deep\\", 1234567, 125), body)
        self.assertFalse(any("Long Directory Name" in line for line in body))


class UnrepresentableNameTest(WineTest):
    """Names the ANSI code page cannot hold come back with '?' in them. Such a
    directory is counted, but cannot be entered by that name: it must never
    be taken for a sibling that the '?' would match as a wildcard."""

    TREE = {"u/ab/g": 12, "u/\u0436b/secret": 1234, "u/x\u0436/other": 77,
            "u/q?r/h": 5, "u/line\nbreak/n": 3, "u/caf\u00e9/k": 1}

    def test_long_names_with_question_marks_are_counted_but_not_entered(self):
        make_tree(self.d, self.TREE)
        rc, out = run([], cwd=os.path.join(self.d, "u"))
        self.assertEqual(rc, 0)
        body = out[banner_end(out):]
        self.assertEqual(body[3:6], [dir_line("D:\\u\\", 0, 125),
                                     dir_line("D:\\u\\ab\\", 12, 125),
                                     dir_line("D:\\u\\caf\u00e9\\", 1, 125)])
        self.assertEqual(body[6:10], ["", "   Number of Dirs.     = " + field(7, 15),
                                      "   Number of Files     = " + field(2, 15),
                                      "   Allocation          = " + field(13, 15)
                                      + "  (File Sizes) "])
        for line in out:
            self.assertFalse(re.search(r"[\x00-\x1f\x7f]", line), repr(line))

    def test_short_names_reach_the_directories_long_names_cannot(self):
        make_tree(self.d, self.TREE)
        rc, out = run(["/S", "D:\\u"], cwd=self.d)
        self.assertEqual(rc, 0)
        shorts = short_names("D:\\u")["D:\\u"]
        hidden = shorts["\u0436b".encode("cp1252", "replace").decode("cp1252")]
        self.assertTrue(hidden, shorts)
        body = out[banner_end(out):]
        self.assertIn(dir_line("D:\\u\\%s\\" % hidden, 1234, 125), body)
        self.assertIn(dir_line("D:\\u\\ab\\", 12, 125), body)


# ---------------------------------------------------------------- version and disk space

class OsLevelTest(WineTest):
    def test_windows_95_uses_the_classic_query_and_its_block_form(self):
        make_tree(self.d, {"w/f": 10})
        rc, out = run(["D:\\w"], cwd=self.d, exe=EXE95)
        self.assertEqual(rc, 0)
        body = out[banner_end(out):]
        self.assertEqual(body[3:8], [dir_line("D:\\W\\", 10, 125), "",
                                     "   Number of Dirs.     = " + field(1, 15),
                                     "   Number of Files     = " + field(1, 15),
                                     "   Allocation          = " + field(10, 15) + "  (File Sizes) "])
        self.assertEqual(body[8], "")
        used = figure(body[9], "   Allocation          = ", 14, "  (Sectors) ")
        free = figure(body[10], "   Free space          = ", 14, "  (Free Space) ")
        capacity = figure(body[11], "   Capacity            = ", 14, "  (Bytes) ")
        self.assertEqual(body[12:], [""])
        self.assertEqual(capacity, (used + free) % 2 ** 32)
        self.assertGreater(capacity, 0)

    def test_windows_10_uses_the_extended_query_and_its_block_form(self):
        make_tree(self.d, {"w/f": 10})
        rc, out = run(["D:\\w"], cwd=self.d)
        self.assertEqual(rc, 0)
        body = out[banner_end(out):]
        self.assertEqual(body[8], "")
        figure(body[9], "   Free Space          = ", 15, "  (Sectors) ")
        figure(body[10], "   Free space Avail.   = ", 15, "  (Free Space) ")
        self.assertEqual(figure(body[11], "   Capacity            = ", 15, "  (Bytes) "),
                         disk_total(self.d))


class DiskSpaceFailureTest(WineTest):
    ZERO_BLOCK_START = ["File not found: Q:\\X\\", "",
                        "   Number of Dirs.     = " + field(1, 15),
                        "   Number of Files     = " + field(0, 15),
                        "   Allocation          = " + field(0, 15) + "  (File Sizes) ", ""]

    def test_extended_query_of_a_letter_that_names_no_drive(self):
        rc, out = run(["q:\\x"], cwd=self.d)
        self.assertEqual(rc, 0)
        body = out[banner_end(out):]
        self.assertLinesEqual(body[3:], [
            "Call to GetFreeDiskSpaceEx() failed with Error Code 3 ",
            "Unable to obtain free space for \"Q:\\\" "] + self.ZERO_BLOCK_START + [
            "   Free Space          = " + field(0, 15) + "  (Sectors) ",
            "   Free space Avail.   = " + field(0, 15) + "  (Free Space) ",
            "   Capacity            = " + field(0, 15) + "  (Bytes) ", ""])

    def test_classic_query_of_a_letter_that_names_no_drive(self):
        rc, out = run(["q:\\x"], cwd=self.d, exe=EXE95)
        self.assertEqual(rc, 0)
        body = out[banner_end(out):]
        self.assertLinesEqual(body[3:], [
            "Call to GetFreeDiskSpace() failed with Error Code 3 ",
            "Unable to obtain free space for Drive 'Q' "] + self.ZERO_BLOCK_START + [
            "   Allocation          = " + field(0, 14) + "  (Sectors) ",
            "   Free space          = " + field(0, 14) + "  (Free Space) ",
            "   Capacity            = " + field(0, 14) + "  (Bytes) ", ""])


# ---------------------------------------------------------------- all-drives runs

def split_title(lines):
    """Checks a drive's nine-line title block (maker lines free, date checked
    by the caller) and returns (date line, the rest)."""
    assert lines[0:2] == ["Directory Size (Folmar Ver. 2.0) ", VERSION_LINE], lines[:2]
    assert lines[3] == "" and lines[6] == "" and lines[8] == "", lines[:9]
    m = re.fullmatch(r"Creating Directory List for Drive . on (.*)", lines[7])
    assert m, lines[7]
    return m.group(1), lines[9:]


class AllDrivesTest(WineTest):
    def read_report(self):
        with open(REPORT_FILE, "rb") as f:
            return crlf_lines(f.read())

    def drive_section(self, letter, lines, width, unix_dir, before, after, forms):
        """Checks one drive's section of the report file; returns the lines
        after its form feed and the drive's (dirs, files, total, figures)."""
        date, rest = split_title(lines)
        self.assertDateNear(date, before, after)
        walked, dirs, files, total = walk(unix_dir, letter + ":\\")
        expected = file_header(letter, width) + [dir_line(p, s, width) for p, s in walked]
        expected += ["", "Drive %s Totals: " % letter,
                     "   Number of Dirs.   = " + field(dirs, 15) + " ",
                     "   Number of Files   = " + field(files, 15) + " ",
                     "   Allocation        = " + field(total, 15) + " ", ""]
        self.assertLinesEqual(rest[:len(expected)], expected)
        rest = rest[len(expected):]
        figures = [figure(rest[i], label, w, suffix) for i, (label, w, suffix) in enumerate(forms)]
        self.assertEqual(rest[3], "")
        self.assertTrue(rest[4].startswith("\f"), rest[4])
        return [rest[4][1:]] + rest[5:], (dirs, files, total, figures)

    def test_all_drives_run_with_width_question_and_a_remote_drive(self):
        make_tree(self.d, {"work/a": 100, "work/sub/b": 5000000000, "top.txt": 1})
        make_tree(DRIVE_DIRS["E"], {"share/doc": 42})
        make_tree(DRIVE_DIRS["F"], {"cd/never": 1})
        with open(os.path.join(DRIVE_DIRS["F"], "Folmar.ini"), "w") as f:
            f.write("[Folmar settings]\nprocessRemoteDrives = Y\n")
        before = datetime.datetime.now()
        rc, out = run(["/ALL"], cwd=DRIVE_DIRS["F"], stdin_text="3\n")
        after = datetime.datetime.now()
        self.assertEqual(rc, 0)
        self.assertLinesEqual(out[banner_end(out):], [
            "Folmar==>  Processing ALL Drives ",
            "Folmar==>  Output will be in C:\\FolmarAll.txt ",
            "Folmar==>  Select Line Width in Characters (1-4): ",
            "Folmar==>     1 =  75 (10 cpi) ", "Folmar==>     2 =  90 (12 cpi) ",
            "Folmar==>     3 = 112 (15 cpi) ", "Folmar==>     4 = 125 (17 cpi) ",
            "Folmar==>  Enter (1-4) or 0 to End: ",
            "Folmar==>  Processing multiple drives ",
            "Folmar==>  Output will be in C:\\FolmarAll.txt",
            "Folmar==>  To print C:\\FolmarAll.txt, use a 15 CPI, fixed pitch font ", "",
            "Folmar==>  Processing Drive D", "Folmar==>  Processing Drive E", "",
            "Folmar==>  Folmar Ver. 5.1b Completed ",
            "Folmar==>  Output is in C:\\FolmarAll.txt"])
        forms = [("   Total Free Space  = ", 15, "  (Bytes) "),
                 ("   Free space Avail. = ", 15, "  (Bytes) "),
                 ("   Capacity          = ", 15, "  (Bytes) ")]
        report = self.read_report()
        rest, d = self.drive_section("D", report, 112, self.d, before, after, forms)
        rest, e = self.drive_section("E", rest, 112, DRIVE_DIRS["E"], before, after, forms)
        self.assertEqual(d[:3], (2, 3, 5000000101))
        self.assertEqual(d[3][2], disk_total(self.d))
        grand = [("   Number of Dirs.   = ", " "), ("   Number of Files   = ", " "),
                 ("   Allocation        = ", "  (File Sizes) "),
                 ("   Free Space        = ", "  (Sectors) "),
                 ("   Free space Avail. = ", "  (Free Space) "),
                 ("   Capacity          = ", "  (Bytes) ")]
        self.assertEqual(rest[0:2], [" ", "Grand Totals for the system: "])
        sums = [figure(rest[2 + i], label, 16, suffix) for i, (label, suffix) in enumerate(grand)]
        self.assertEqual(sums[:3], [d[0] + e[0], d[1] + e[1], d[2] + e[2]])
        self.assertEqual(sums[5], d[3][2] + e[3][2])
        self.assertEqual(rest[8:10], ["", VERSION_LINE])
        self.assertDateNear(rest[10], before, after)
        self.assertEqual(len(rest), 11)

    def test_windows_95_all_drives_run_uses_classic_figures(self):
        make_tree(self.d, {"w/f": 300})
        rc, out = run(["/all"], cwd=self.d, exe=EXE95)
        self.assertEqual(rc, 0)
        self.assertEqual(out[:4], NO_SETTINGS)
        self.assertLinesEqual(out[banner_end(out):], [
            "", "Folmar==>  Processing multiple drives ",
            "Folmar==>  Output will be in C:\\FolmarAll.txt",
            "Folmar==>  To print C:\\FolmarAll.txt, use a 17 CPI, fixed pitch font ", "",
            "Folmar==>  Processing Drive D", "",
            "Folmar==>  Folmar Ver. 5.1b Completed ",
            "Folmar==>  Output is in C:\\FolmarAll.txt"])
        forms = [("   Allocation        = ", 14, "  (Sectors) "),
                 ("   Free space        = ", 14, "  (Free Space) "),
                 ("   Capacity          = ", 14, "  (Bytes) ")]
        now = datetime.datetime.now()
        rest, d = self.drive_section("D", self.read_report(), 125, self.d,
                                     now - datetime.timedelta(minutes=5), now, forms)
        used, free, capacity = d[3]
        self.assertEqual(capacity, (used + free) % 2 ** 32)
        self.assertEqual(rest[0:2], [" ", "Grand Totals for the system: "])
        self.assertEqual(figure(rest[4], "   Allocation        = ", 16, "  (File Sizes) "), 300)
        self.assertEqual(figure(rest[5], "   Allocation        = ", 16, "  (Sectors) "), used)
        self.assertEqual(figure(rest[6], "   Free space        = ", 16, "  (Free Space) "), free)
        self.assertEqual(figure(rest[7], "   Capacity          = ", 16, "  (Bytes) "), capacity)

    def test_nul_as_standard_output_counts_as_a_console(self):
        # NUL is a character device: the width stays 78 after an answer
        # outside 0 to 4.
        make_tree(self.d, {"w/f": 1})
        with open(os.path.join(DRIVE_DIRS["F"], "Folmar.ini"), "w") as f:
            f.write("[Folmar settings]\n")
        rc, _ = run(["/ALL"], cwd=DRIVE_DIRS["F"], stdin_text="7\n", stdout_to_null=True)
        self.assertEqual(rc, 0)
        report = self.read_report()
        self.assertIn(dir_line("D:\\w\\", 1, 78), report)
        self.assertIn(file_header("D", 78)[0], report)


# ---------------------------------------------------------------- the console

class ConsoleRun:
    """The program on a pseudo-terminal: wine gives it a console on that
    terminal, so key reads really wait and keys typed into the terminal
    arrive as console input events (an escape sequence as one cursor key)."""

    def __init__(self, args, cwd):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:  # the child: a new session with the terminal as its own
            try:
                os.chdir(cwd)
                os.environ["TERM"] = "xterm"
                os.execvp("/bin/sh", ["/bin/sh", WINE_RUN, EXE] + list(args))
            finally:
                os._exit(127)
        self.status = None

    def settle(self, quiet=1.0, at_least=3.0, limit=60.0):
        """Reads the terminal until it has been quiet for `quiet` seconds, at
        least `at_least` seconds after the call, or the program ended."""
        start = last = time.time()
        while time.time() - start < limit and self.running():
            ready, _, _ = select.select([self.fd], [], [], 0.1)
            if ready:
                try:
                    if os.read(self.fd, 65536):
                        last = time.time()
                except OSError:
                    pass
            elif time.time() - last >= quiet and time.time() - start >= at_least:
                return

    def running(self):
        if self.status is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.status = status
        return self.status is None

    def type(self, keys):
        os.write(self.fd, keys)

    def exit_code(self, limit=60.0):
        """Waits for the end of the program; its exit code."""
        self.settle(quiet=limit, at_least=0, limit=limit)
        self.assert_ended()
        return os.WEXITSTATUS(self.status)

    def assert_ended(self):
        if self.running():
            raise AssertionError("the program still waits")

    def close(self):
        """Ends the program if it still runs; may be called more than once."""
        if self.running():
            os.kill(self.pid, 9)
            self.status = os.waitpid(self.pid, 0)[1]
        if self.fd >= 0:
            os.close(self.fd)
            self.fd = -1


class ConsoleTest(WineTest):
    def test_wait_blocks_until_a_key_is_pressed(self):
        con = ConsoleRun(["/?"], cwd=self.d)
        try:
            con.settle()
            self.assertTrue(con.running(), "the help screen did not wait for a key")
            con.type(b"x")
            self.assertEqual(con.exit_code(), 1)
        finally:
            con.close()

    def test_cursor_key_ends_one_wait_and_leaves_nothing_for_the_next(self):
        # No settings file: a wait after its messages; then /P pauses after 23
        # directory lines. Both parts of the cursor key go to the first wait.
        make_tree(self.d, {"p/d%02d" % i: None for i in range(25)})
        con = ConsoleRun(["/P", "D:\\p"], cwd=self.d)
        try:
            con.settle()
            self.assertTrue(con.running(), "no wait after the settings messages")
            con.type(b"\x1b[A")
            con.settle()
            self.assertTrue(con.running(), "the /P pause did not wait: a key was left behind")
            con.type(b"x")
            self.assertEqual(con.exit_code(), 0)
        finally:
            con.close()


# ---------------------------------------------------------------- exit codes

class ExitCodeTest(WineTest):
    def test_help_screen_ends_with_exit_code_one(self):
        rc, out = run(["/?"], cwd=self.d)
        self.assertEqual(rc, 1)
        self.assertEqual(out[0:3], ["Folmar==>  Ver. 5.1b of 18 January, 2008 ", "",
                                    "Folmar (Ver. 5.1b) Usage:  Folmar  parm "])

    def test_answer_zero_ends_with_exit_code_zero_and_no_report_file(self):
        with open(os.path.join(DRIVE_DIRS["F"], "Folmar.ini"), "w") as f:
            f.write("[Folmar settings]\n")
        rc, out = run(["/ALL"], cwd=DRIVE_DIRS["F"], stdin_text="0\n", partial=True)
        self.assertEqual(rc, 0)
        self.assertEqual(out[-2:], ["Folmar==>     4 = 125 (17 cpi) ",
                                    "Folmar==>  Enter (1-4) or 0 to End: "])
        self.assertFalse(os.path.exists(REPORT_FILE))

    def test_current_directory_on_no_drive_ends_with_exit_code_one(self):
        rc, out = run([], cwd="/tmp")
        self.assertEqual(rc, 1)
        self.assertTrue(any(line.startswith("Folmar==>  The current directory is on no drive: ")
                            for line in out), out)


if __name__ == "__main__":
    if not (ROOT and PREFIX):
        raise SystemExit("run me through tests/wine/run-wine-tests.sh")
    unittest.main(verbosity=2)
