"""folmar.exe under wine: what only the real Win32 calls show. Layout, totals
and settings are unit-tested against the fake; here a report is compared by its
directory lines (path, bytes) and disk figures, for small trees. Run by
run-wine-tests.sh, whose prefix has D: fixed, E: remote, F: CD-ROM, H: never
ready, C: a CD-ROM, no Z:, and folmar95.exe, which wine shows Windows 95."""

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
from pathlib import Path

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import make_tree  # noqa: E402

ROOT = os.environ.get("FOLMAR_WINE_ROOT", "")
EXE, EXE95 = os.path.join(ROOT, "bin", "folmar.exe"), os.path.join(ROOT, "bin", "folmar95.exe")
D, E, F = (os.path.join(ROOT, letter) for letter in "def")
DRIVE_C = os.path.join(os.environ.get("WINEPREFIX", ""), "drive_c")
REPORT_FILE = os.path.join(DRIVE_C, "FolmarAll.txt")


def run(args, cwd, exe=EXE, answer="", stdout=subprocess.PIPE):
    """Runs the program with no console, so every wait returns at once, and
    `answer` on standard input. Returns its exit code and output lines."""
    proc = subprocess.run(["/bin/sh", os.path.join(HERE, "wine-run.sh"), exe] + args, cwd=cwd, timeout=60,
                          input=answer.encode(), stdout=stdout, start_new_session=True)
    return proc.returncode, [] if proc.stdout is None else ansi_lines(proc.stdout)


def ansi_lines(data):
    """Lines in the ANSI code page, cp1252, each ended by CR LF."""
    text = data.decode("cp1252")
    if not text.endswith("\r\n") or re.search(r"\r(?!\n)|(?<!\r)\n", text):
        raise AssertionError("not CR LF lines: %r" % text[-200:])
    return text[:-2].split("\r\n")


def dir_lines(lines):
    found = [re.fullmatch(r"([A-Z]:\\.*?)\.+ ([0-9,]+)", line) for line in lines]
    return [(m.group(1), int(m.group(2).replace(",", ""))) for m in found if m]


def figures(lines, label):
    """The numbers of the totals lines "label = number", in order."""
    found = [re.match(r" +%s += +([0-9,]+)" % re.escape(label), line) for line in lines]
    return [int(m.group(1).replace(",", "")) for m in found if m]


class WineTest(unittest.TestCase):
    def setUp(self):
        for folder in (D, E, F):
            shutil.rmtree(folder)
            os.mkdir(folder)

    def all_drives(self, settings, answer, code=0, **kwargs):
        """An all-drives run from F: with these settings: its output and report file."""
        Path(F, "Folmar.ini").write_bytes(b"[Folmar settings]\n" + settings)
        Path(REPORT_FILE).unlink(missing_ok=True)
        rc, out = run(["/ALL"], cwd=F, answer=answer, **kwargs)
        self.assertEqual(rc, code)
        return out, ansi_lines(Path(REPORT_FILE).read_bytes()) if os.path.exists(REPORT_FILE) else None


class SinglePathTest(WineTest):
    def setUp(self):
        super().setUp()
        make_tree(D, {"work/a.txt": 6, "work/big.bin": 5368709120, "work/alpha": None, "work/Zeta/w": 9,
                      "work/_under/z": 5, "work/Long Directory Name/Inner Folder Name/y": 1,
                      "n/Français/été.txt": 3, "n/Dvořák/a": 1000, "n/Dvorák/a": 10, "n/Ćirilica/a": 2000,
                      "n/cirilica/a": 20, "n/Ελληνικά/Υπο/β": 12, "n/emoji \U0001F389/x": 8})

    def test_current_directory_walked_with_64_bit_sizes_and_the_extended_query(self):
        rc, out = run([], cwd=os.path.join(D, "work"))  # wine lists names in upper-cased order
        self.assertEqual((rc, dir_lines(out)), (0, [
            ("D:\\work", 5368709126), ("D:\\work\\alpha", 0), ("D:\\work\\Long Directory Name", 0),
            ("D:\\work\\Long Directory Name\\Inner Folder Name", 1), ("D:\\work\\Zeta", 9), ("D:\\work\\_under", 5)]))
        self.assertIn("D:\\work\\_under" + "." * 109 + " 5", out)  # a pipe is no console: 125 wide
        # Windows 10: the extended query, the figures of the file system under D:.
        capacity = shutil.disk_usage(D).total
        self.assertEqual(figures(out, "Capacity"), [capacity])
        for free in figures(out, "Free Space") + figures(out, "Free space Avail."):
            self.assertTrue(0 < free <= capacity, free)

    def test_short_name_switch_builds_paths_from_wines_short_names(self):
        paths = "\n".join(path for path, _ in dir_lines(run(["/S", "D:\\work"], cwd=D)[1]))
        self.assertRegex(paths, r"\AD:\\work\nD:\\work\\alpha\nD:\\work\\LONG~\w{3}\n"
                                r"D:\\work\\LONG~\w{3}\\INNE~\w{3}\nD:\\work\\Zeta\nD:\\work\\_under\Z")

    def test_current_directory_on_no_drive_exits_1_and_a_letter_of_none_fails_with_error_code_3(self):
        rc, out = run([], cwd="/tmp")
        self.assertEqual((rc, out[-1][:48]), (1, "Folmar==>  The current directory is on no drive:"))
        for exe, query, drive in [(EXE, "GetFreeDiskSpaceEx()", '"Q:\\"'),
                                  (EXE95, "GetFreeDiskSpace()", "Drive 'Q'")]:
            rc, out = run(["q:\\x"], cwd=D, exe=exe)
            failed = ["Call to %s failed with Error Code 3 " % query, "Unable to obtain free space for %s " % drive,
                      "File not found: Q:\\X\\"]
            self.assertEqual((rc, [line for line in out if line in failed]), (0, failed), exe)

    def test_windows_10_enters_every_directory_by_its_real_name(self):
        # Redirected output is in cp1252, '?' for what it cannot hold.
        rc, out = run([], cwd=os.path.join(D, "n"))
        greek = [("D:\\n\\????????", 0), ("D:\\n\\????????\\???", 12)]
        self.assertEqual((rc, sorted(dir_lines(out))), (0, sorted(greek + [
            ("D:\\n", 0), ("D:\\n\\Français", 3), ("D:\\n\\Dvo?ák", 1000), ("D:\\n\\Dvorák", 10),
            ("D:\\n\\?irilica", 2000), ("D:\\n\\cirilica", 20), ("D:\\n\\emoji ?", 8)])))
        # The target from the wide command line (a lone one upper-cased in
        # ASCII only), the current directory from the wide call.
        self.assertEqual(dir_lines(run(["D:\\n\\Dvořák"], cwd=D)[1]), [("D:\\N\\DVO?áK", 1000)])
        self.assertEqual(dir_lines(run([], cwd=os.path.join(D, "n", "Ελληνικά"))[1]), greek)

    def test_windows_95_enters_look_alikes_by_their_short_names(self):
        # The best-fit ANSI name of "Dvořák" is its sibling "Dvorák", that of "Ćirilica" is "Cirilica", which
        # names "cirilica" on a file system blind to case: each is walked once, with its own bytes.
        rc, out = run([], cwd=os.path.join(D, "n"), exe=EXE95)
        self.assertEqual((rc, sorted(size for _, size in dir_lines(out))),
                         (0, [0, 0, 3, 8, 10, 12, 20, 1000, 2000]))

    def test_names_windows_cannot_hold_are_counted_never_entered(self):
        # Wine lists Linux names holding '?', '*' or a control character as
        # they are; "q?r" must not be taken as a pattern matching "qxr".
        make_tree(D, {"u/ab/g": 12, "u/q?r/h": 5, "u/a*b/s": 30, "u/line\nbreak/n": 3, "u/qxr/k": 1})
        rc, out = run([], cwd=os.path.join(D, "u"))
        self.assertEqual((rc, dir_lines(out)), (0, [("D:\\u", 0), ("D:\\u\\ab", 12), ("D:\\u\\qxr", 1)]))
        self.assertEqual(figures(out, "Number of Dirs."), [6])
        self.assertFalse([line for line in out if re.search(r"[\x00-\x1f\x7f]", line)])


class AllDrivesTest(WineTest):
    def test_fixed_and_remote_drives_wine_lists_are_walked_into_the_report_file(self):
        make_tree(D, {"work/a": 100, "work/sub/b": 5000000000, "top.txt": 1})
        make_tree(E, {"share/doc": 42})
        before = datetime.datetime.now().replace(second=0, microsecond=0)
        out, report = self.all_drives(b"processRemoteDrives = Y\n", "3\n")
        # Not C: and F: (CD-ROMs), nor H: (not ready).
        self.assertEqual([line for line in out if "Processing Drive" in line],
                         ["Folmar==>  Processing Drive D", "Folmar==>  Processing Drive E"])
        self.assertEqual(dir_lines(report), [("D:\\", 1), ("D:\\work", 100), ("D:\\work\\sub", 5000000000),
                                             ("E:\\", 0), ("E:\\share", 42)])
        self.assertIn("D:\\work\\sub" + "." * 87 + " 5,000,000,000", report)  # the answer 3: 112 wide
        stamp = re.search(r"\nCreating Directory List for Drive D on (.*) Hours \n", "\n".join(report)).group(1)
        self.assertTrue(before <= datetime.datetime.strptime(stamp, "%m-%d-%Y at %H:%M") <= datetime.datetime.now())

    def test_windows_95_to_nul_keeps_the_console_width_and_asks_the_classic_query(self):
        # NUL is a character device: the width stays 78 after an answer outside 0 to 4.
        make_tree(D, {"w/f": 300})
        _, report = self.all_drives(b"", "7\n", exe=EXE95, stdout=subprocess.DEVNULL)
        self.assertIn("D:\\w" + "." * 70 + " 300", report)
        # The classic layout (its "Free space" line), with the figures of a query that worked.
        free, total = figures(report, "Free space"), figures(report, "Capacity")
        self.assertTrue(free and 0 < free[0] <= total[0], (free, total))

    def test_report_file_must_be_a_regular_file_and_is_named_by_its_real_name(self):
        # A folder or a device is refused; a name beyond ASCII, in a settings
        # file in UTF-8 or in the ANSI code page, names its file, replaced whole.
        os.makedirs(os.path.join(DRIVE_C, "Folder.txt"), exist_ok=True)
        for value, made in [(b"C:\\Folder.txt", None), (b"NUL", None), (b"COM1", None), (b"CON", None),
                            ("C:\\Résumé-Dvořák.txt".encode(), "Résumé-Dvořák.txt"),
                            ("C:\\Résumé.txt".encode("cp1252"), "Résumé.txt")]:
            if made:
                Path(DRIVE_C, made).write_bytes(b"the previous report\r\n")
            out, _ = self.all_drives(b"outputFile = " + value + b"\n", "4\n")
            refused = [line for line in out if line.endswith("Unable to open the FolmarAll.txt output file ")]
            self.assertEqual(bool(refused), made is None, value)
            if made:
                self.assertTrue(Path(DRIVE_C, made).read_bytes().startswith(b"Directory Size"), value)
                os.remove(os.path.join(DRIVE_C, made))
        self.assertEqual([name for name in os.listdir(DRIVE_C) if name.upper().startswith("~FOL")], [])
        # The settings file this run read, by another spelling: refused, and left as it was.
        for exe in (EXE, EXE95):
            out, _ = self.all_drives(b"outputFile = f:\\FOLMAR.INI\n", "4\n", code=1, exe=exe)
            self.assertTrue("\n".join(out).endswith("Folmar==>  Unable to use the output file f:\\FOLMAR.INI \n"
                                                     "Folmar==>  It is the settings file of this run "), out[-2:])
            self.assertEqual(Path(F, "Folmar.ini").read_bytes(), b"[Folmar settings]\noutputFile = f:\\FOLMAR.INI\n")


class ConsoleTest(WineTest):
    def test_cursor_key_ends_one_wait_and_leaves_nothing_for_the_next(self):
        # A pseudo-terminal is the console: the wait after the settings messages and the /P pause after
        # 23 directory lines really wait, and a cursor key (an escape sequence) is one key.
        make_tree(D, dict({"p/d%02d" % i: None for i in range(25)}, **{"p/Dvořák": None}))
        terminal, own = pty.openpty()
        proc = subprocess.Popen(["/bin/sh", os.path.join(HERE, "wine-run.sh"), EXE, "/P", "D:\\p"], cwd=D, stdin=own,
                                stdout=own, stderr=own, env=dict(os.environ, TERM="xterm"), start_new_session=True)
        self.addCleanup(os.close, terminal)
        self.addCleanup(os.close, own)  # open here too, so that reading never fails once the program ends
        self.addCleanup(lambda: proc.kill() or proc.wait())
        shown = bytearray()

        def screen():  # wine draws a blank as a cursor move, ESC [ n C
            text = re.sub(r"\x1b\[(\d*)C", lambda m: " " * int(m.group(1) or 1), shown.decode("utf-8", "replace"))
            return re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", text)

        def read(seconds, prompts=None):  # for `seconds`, or until `prompts` prompts show; the exit code
            end = time.time() + seconds
            while proc.poll() is None and time.time() < end and screen().count("Press Enter to continue") != prompts:
                if select.select([terminal], [], [], 0.1)[0]:
                    shown.extend(os.read(terminal, 65536))
            return proc.poll()

        for key, prompts in [(b"\x1b[A", 1), (b"x", 2)]:
            read(60, prompts)
            self.assertEqual((read(1.5), screen().count("Press Enter to continue")), (None, prompts), "no wait")
            os.write(terminal, key)
        self.assertEqual(read(60), 0)
        self.assertIn("D:\\p\\Dvořák.", screen())  # the real characters on the console


if __name__ == "__main__":
    unittest.main(verbosity=2)
