"""folmar.exe under wine: what only the real Win32 calls show. Layout, totals
and settings are unit-tested against the fake; here a report is compared by its
directory lines (path, bytes) and disk figures, for small trees. Run by
run-wine-tests.sh, whose prefix has D: fixed, E: remote, F: CD-ROM, H: never
ready, C: a CD-ROM, no Z:, and three programs: the 64-bit and the 32-bit
folmar.exe shown Windows 10, and folmar95.exe (the 32-bit one where 32-bit wine
runs) shown Windows 95."""

import csv
import datetime
import functools
import os
import pty
import re
import select
import shutil
import subprocess
import sys
import time
import tty
import unittest
from pathlib import Path

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import imported, make_tree  # noqa: E402

ROOT = os.environ.get("FOLMAR_WINE_ROOT", "")
EXE, EXE32, EXE95 = (os.path.join(ROOT, "bin", name) for name in ("folmar.exe", "folmar32.exe", "folmar95.exe"))
D, E, F = (os.path.join(ROOT, letter) for letter in "def")
DRIVE_C = os.path.join(os.environ.get("WINEPREFIX", ""), "drive_c")
REPORT_FILE = os.path.join(DRIVE_C, "FolmarAll.txt")


def run(args, cwd, exe=EXE, answer="", stdout=subprocess.PIPE, errors=None):
    """Runs the program with no console, so every wait returns at once, and
    `answer` on standard input. Returns its exit code and output lines; the
    lines of its standard error go into the list `errors` when one is given."""
    proc = subprocess.run(["/bin/sh", os.path.join(HERE, "wine-run.sh"), exe] + args, cwd=cwd, timeout=60,
                          input=answer.encode(), stdout=stdout, start_new_session=True,
                          stderr=subprocess.PIPE if errors is not None else None)
    if errors is not None and proc.stderr:
        errors.extend(ansi_lines(proc.stderr))
    return proc.returncode, [] if proc.stdout is None else ansi_lines(proc.stdout)


def each(*programs):
    """Runs the test once with each of `programs` that is there, as self.exe, on fresh drives."""
    def wrap(test):
        @functools.wraps(test)
        def run_each(self):
            for n, exe in enumerate(exe for exe in programs if os.path.exists(exe)):
                with self.subTest(program=os.path.basename(exe)):
                    if n > 0:
                        self.setUp()
                    self.exe = exe
                    test(self)
        return run_each
    return wrap


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
    exe = EXE

    def setUp(self):
        for folder in (D, E, F):
            shutil.rmtree(folder)
            os.mkdir(folder)

    def all_drives(self, settings, answer, encoding="utf-8", code=0, **kwargs):
        """An all-drives run from F: with these settings, saved in `encoding`: its output and report file."""
        Path(F, "Folmar.ini").write_bytes(("[Folmar settings]\n" + settings).encode(encoding))
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

    @each(EXE, EXE32)
    def test_current_directory_walked_with_64_bit_sizes_and_the_extended_query(self):
        rc, out = run([], cwd=os.path.join(D, "work"), exe=self.exe)  # wine lists names in upper-cased order
        self.assertEqual((rc, dir_lines(out)), (0, [
            ("D:\\work", 5368709126), ("D:\\work\\alpha", 0), ("D:\\work\\Long Directory Name", 0),
            ("D:\\work\\Long Directory Name\\Inner Folder Name", 1), ("D:\\work\\Zeta", 9), ("D:\\work\\_under", 5)]))
        self.assertIn("D:\\work\\_under" + "." * 109 + " 5", out)  # a pipe is no console: 125 wide
        # Windows 10: the extended query, the figures of the file system under D:.
        capacity = shutil.disk_usage(D).total
        self.assertEqual(figures(out, "Capacity"), [capacity])
        for free in figures(out, "Free Space") + figures(out, "Free space Avail."):
            self.assertTrue(0 < free <= capacity, free)

    def test_exports_of_the_windows_program_read_back_on_linux(self):
        # The JSON read by ncdu and gdu, the CSV by the csv module, as on Linux: the report's totals; a file takes
        # its size in whole clusters on disk; the CSV byte for byte (no line end of text mode).
        rc, out = run(["D:\\work", "/X:D:\\out.json"], cwd=D)
        rc_csv, out_csv = run(["D:\\work", "/X:D:\\out.csv"], cwd=D)
        self.assertEqual((rc_csv, dir_lines(out_csv)), (rc, dir_lines(out)))
        totals = tuple(figures(out, label)[0] for label in ("Number of Dirs.", "Number of Files", "Allocation"))
        read = imported(os.path.join(D, "out.json"))
        if read is None:
            self.skipTest("ncdu and gdu are not installed: the JSON export is not read back")
        self.assertEqual((rc,) + read[:3] + read[4:6], (0,) + totals + (0, totals[2]))
        sizes = [6, 5368709120, 9, 5, 1]
        self.assertIn(read[3], [sum(-(-size // (512 << n)) * (512 << n) for size in sizes) for n in range(8)])
        text = Path(D, "out.csv").read_bytes().decode("utf-8")
        rows = list(csv.reader(text[1:].splitlines()))
        self.assertEqual((text[0], text.count("\r\n"), text.count("\n")), ("\ufeff", totals[0] + 1, totals[0] + 1))
        self.assertEqual((rows[0][0], rows[-1]), ("Path", ["D:\\work", "5368709126", "2", str(totals[0] - 1),
                                                            str(totals[1]), str(totals[2]), "yes"]))

    @each(EXE, EXE32)
    def test_short_name_switch_builds_paths_from_wines_short_names(self):
        paths = "\n".join(path for path, _ in dir_lines(run(["/S", "D:\\work"], cwd=D, exe=self.exe)[1]))
        self.assertRegex(paths, r"\AD:\\work\nD:\\work\\alpha\nD:\\work\\LONG~\w{3}\n"
                                r"D:\\work\\LONG~\w{3}\\INNE~\w{3}\nD:\\work\\Zeta\nD:\\work\\_under\Z")

    def test_current_directory_on_no_drive_exits_1_and_a_letter_of_none_fails_with_error_code_3(self):
        rc, out = run([], cwd="/tmp")
        self.assertEqual((rc, out[-1][:48]), (1, "Folmar==>  The current directory is on no drive:"))
        for exe, query, drive in [(EXE, "GetFreeDiskSpaceEx()", '"Q:\\"'), (EXE32, "GetFreeDiskSpaceEx()", '"Q:\\"'),
                                  (EXE95, "GetFreeDiskSpace()", "Drive 'Q'")]:
            if not os.path.exists(exe):
                continue
            rc, out = run(["q:\\x"], cwd=D, exe=exe, errors=[])
            failed = ["Call to %s failed with Error Code 3 " % query, "Unable to obtain free space for %s " % drive,
                      "File not found: Q:\\X\\"]
            self.assertEqual((rc, [line for line in out if line in failed]), (0, failed), exe)

    @each(EXE, EXE32)
    def test_windows_10_enters_every_directory_by_its_real_name(self):
        # Redirected output is in cp1252, '?' for what it cannot hold.
        rc, out = run([], cwd=os.path.join(D, "n"), exe=self.exe)
        greek = [("D:\\n\\????????", 0), ("D:\\n\\????????\\???", 12)]
        self.assertEqual((rc, sorted(dir_lines(out))), (0, sorted(greek + [
            ("D:\\n", 0), ("D:\\n\\Français", 3), ("D:\\n\\Dvo?ák", 1000), ("D:\\n\\Dvorák", 10),
            ("D:\\n\\?irilica", 2000), ("D:\\n\\cirilica", 20), ("D:\\n\\emoji ?", 8)])))
        # The target from the wide command line (a lone one upper-cased in
        # ASCII only), the current directory from the wide call.
        self.assertEqual(dir_lines(run(["D:\\n\\Dvořák"], cwd=D, exe=self.exe)[1]), [("D:\\N\\DVO?áK", 1000)])
        self.assertEqual(dir_lines(run([], cwd=os.path.join(D, "n", "Ελληνικά"), exe=self.exe)[1]), greek)

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
        errors = []
        rc, out = run([], cwd=os.path.join(D, "u"), errors=errors)
        self.assertEqual((rc, dir_lines(out)), (0, [("D:\\u", 0), ("D:\\u\\ab", 12), ("D:\\u\\qxr", 1)]))
        self.assertEqual(errors, ["Folmar==>  3 directories could not be read; /E lists them "])
        self.assertEqual(figures(out, "Number of Dirs."), [6])
        self.assertFalse([line for line in out if re.search(r"[\x00-\x1f\x7f]", line)])

    @each(EXE, EXE32)
    def test_deep_paths_entered_on_windows_10_and_named_too_long_on_windows_95(self):
        # 36 folders of 90 characters: 3,276 characters, past MAX_PATH (within what wine reaches on Linux), and
        # so many that Windows 95, which walks by the short names, passes it too.
        folder, files, size = os.path.join(D, "deep"), 0, 0
        for level in range(36):
            folder = os.path.join(folder, "%02d" % level + "-" * 87)
            make_tree(folder, {"f": level})
            files, size = files + 1, size + level
        errors = []
        rc, out = run(["D:\\deep", "/E"], cwd=D, exe=self.exe, errors=errors)
        self.assertEqual((rc, errors, [figures(out, label) for label in ("Number of Dirs.", "Allocation")]),
                         (0, [], [[37], [size]]))
        rc, _ = run(["D:\\deep"], cwd=D, exe=EXE95, errors=errors)
        self.assertEqual((rc, errors), (0, ["Folmar==>  1 directory could not be read; /E lists them "]))
        run(["D:\\deep", "/E"], cwd=D, exe=EXE95, errors=errors)
        self.assertEqual(len(errors), 2)
        self.assertRegex(errors[1], r"^Folmar==>  Unable to read D:\\deep\\.{240,} \(path too long for this system\) $")

    @each(EXE, EXE32)
    def test_two_links_to_the_folder_itself_end_at_once_with_exact_totals(self):
        make_tree(D, {"loop/f": 5, "loop/sub/g": 7})
        for link, target in [("loop/l1", "."), ("loop/l2", "."), ("loop/sub/up", "..")]:
            os.symlink(target, os.path.join(D, link))
        errors = []
        rc, out = run(["D:\\loop", "/E"], cwd=D, exe=self.exe, errors=errors)
        self.assertEqual((rc, dir_lines(out), figures(out, "Number of Dirs.")),
                         (0, [("D:\\loop", 5), ("D:\\loop\\sub", 7)], [5]))
        self.assertEqual(errors, ["Folmar==>  Unable to read D:\\loop\\%s (loop) " % name
                                  for name in ("l1", "l2", "sub\\up")])


class AllDrivesTest(WineTest):
    @each(EXE, EXE32)
    def test_fixed_and_remote_drives_wine_lists_are_walked_into_the_report_file(self):
        make_tree(D, {"work/a": 100, "work/sub/b": 5000000000, "top.txt": 1})
        make_tree(E, {"share/doc": 42})
        before = datetime.datetime.now().replace(second=0, microsecond=0)
        out, report = self.all_drives("processRemoteDrives = Y\n", "3\n", exe=self.exe)
        # Not C: and F: (CD-ROMs), nor H: (not ready).
        self.assertEqual([line for line in out if "Processing Drive" in line],
                         ["Folmar==>  Processing Drive D", "Folmar==>  Processing Drive E"])
        self.assertEqual(dir_lines(report), [("D:\\", 1), ("D:\\work", 100), ("D:\\work\\sub", 5000000000),
                                             ("E:\\", 0), ("E:\\share", 42)])
        self.assertIn("D:\\work\\sub" + "." * 87 + " 5,000,000,000", report)  # the answer 3: 112 wide
        stamp = re.search(r"\nCreating Directory List for Drive D on (.*) Hours \n", "\n".join(report)).group(1)
        self.assertTrue(before <= datetime.datetime.strptime(stamp, "%m-%d-%Y at %H:%M") <= datetime.datetime.now())
        # Nothing to read for the width question (a scheduled task): exit code 1, no report.
        out, report = self.all_drives("", "", code=1, exe=self.exe)
        self.assertEqual((out[-1], report), ("Folmar==>  No answer: set lineWidthPrint in Folmar.ini", None))

    def test_windows_95_to_nul_keeps_the_console_width_and_asks_the_classic_query(self):
        # NUL is a character device: the width stays 78 after an answer outside 0 to 4.
        make_tree(D, {"w/f": 300})
        _, report = self.all_drives("", "7\n", exe=EXE95, stdout=subprocess.DEVNULL)
        self.assertIn("D:\\w" + "." * 70 + " 300", report)
        # The classic layout (its "Free space" line), with the figures of a query that worked.
        free, total = figures(report, "Free space"), figures(report, "Capacity")
        self.assertTrue(free and 0 < free[0] <= total[0], (free, total))

    @each(EXE, EXE32, EXE95)
    def test_report_file_must_be_a_regular_file_on_a_drive_named_by_the_settings_as_saved(self):
        # A folder, a device (a printer port that cannot be opened, in any folder), a UNC or device-namespace name are refused (a settings file in the working folder must
        # not send the user's credentials to a server); a name beyond ASCII names its file, whichever way an editor
        # saved the settings, and is shown as it is; it is replaced whole. Windows 95 can name no file beyond its
        # ANSI code page.
        os.makedirs(os.path.join(DRIVE_C, "Folder.txt"), exist_ok=True)
        share = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "unc", "server", "share")
        os.makedirs(os.path.dirname(share), exist_ok=True)
        if not os.path.islink(share):
            os.symlink(D, share)  # \\server\share is D:'s folder
        nt = self.exe != EXE95
        for value, encoding, made in [
                ("C:\\Folder.txt", "utf-8", None), ("NUL", "utf-8", None), ("COM1", "utf-8", None), ("CON", "utf-8", None),
                ("LPT1", "utf-8", None), ("C:\\Folder.txt\\lpt9.log", "utf-8", None),  # ports with no printer
                ("\\\\server\\share\\r.txt", "utf-8", None), ("//server/share/r.txt", "utf-8", None),
                ("\\\\?\\C:\\r.txt", "utf-8", None), ("\\\\.\\C:\\r.txt", "utf-8", None), ("\\??\\C:\\r.txt", "utf-8", None),
                ("C:\\Résumé-Dvořák.txt", "utf-8", "Résumé-Dvořák.txt" if nt else None),
                ("C:\\Größe-mark.txt", "utf-8-sig", "Größe-mark.txt"), ("C:\\Größe-16.txt", "utf-16", "Größe-16.txt"),
                ("C:\\Grüße.txt", "cp1252", "Grüße.txt")]:
            if made:
                Path(DRIVE_C, made).write_bytes(b"the previous report\r\n")
            out, _ = self.all_drives("outputFile = " + value + "\n", "4\n", encoding, code=0 if made else 1,
                                     exe=self.exe)
            refused = [line for line in out if line.endswith("Unable to open the FolmarAll.txt output file ")]
            self.assertEqual(bool(refused), made is None, value)
            self.assertEqual(any(line.startswith("Folmar==>  The system says: ") for line in out), made is None, out)
            if made:
                self.assertIn("Folmar==>  Output is in " + value.encode("cp1252", "replace").decode("cp1252"), out)
                self.assertTrue(Path(DRIVE_C, made).read_bytes().startswith(b"Directory Size"), value)
                os.remove(os.path.join(DRIVE_C, made))
        # A port with a device behind it (here a terminal) gets the report straight, whatever folder or extension.
        controller, device = pty.openpty()
        tty.setraw(device)
        port = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "lpt3")
        os.symlink(os.ttyname(device), port)
        try:
            out, _ = self.all_drives("outputFile = C:\\Folder.txt\\Lpt3.txt\n", "4\n", exe=self.exe)
            printed = b""
            while select.select([controller], [], [], 0.5)[0]:
                printed += os.read(controller, 65536)
        finally:
            os.remove(port)
            os.close(controller), os.close(device)
        self.assertEqual(out[-1], "Folmar==>  Output is in C:\\Folder.txt\\Lpt3.txt")
        self.assertTrue(printed.startswith(b"Directory Size") and printed.endswith(b"\r\n"), printed[-40:])
        self.assertFalse(os.path.exists(os.path.join(DRIVE_C, "Folder.txt", "Lpt3.txt")))
        # The settings file this run read, by another spelling: refused, and left as it was.
        out, _ = self.all_drives("outputFile = f:\\FOLMAR.INI\n", "4\n", code=1, exe=self.exe)
        self.assertTrue("\n".join(out).endswith("Folmar==>  Unable to use the output file f:\\FOLMAR.INI \n"
                                                 "Folmar==>  It is the settings file of this run "), out[-2:])
        self.assertEqual(Path(F, "Folmar.ini").read_bytes(), b"[Folmar settings]\noutputFile = f:\\FOLMAR.INI\n")

    @each(EXE, EXE32)
    def test_lines_that_carry_a_size_are_exactly_the_width_in_the_code_page(self):
        # In cp1252 a wide character, an emoji and each combining mark is one '?': one byte, one column.
        make_tree(D, {"日本語/a": 1, "e\u0301\u0301 x/b": 2, "emoji \U0001F389/c": 3, "日" * 70 + "/d": 4})
        for width, lines in [(125, run([], cwd=D, exe=self.exe)[1]), (75, self.all_drives("", "1\n", exe=self.exe)[1])]:
            sized = [line for line in lines if re.search(r"\. [0-9,]+$", line)]
            self.assertEqual([len(line.encode("cp1252")) for line in sized], [width] * 5, "\n".join(sized))


    @each(EXE, EXE95)
    def test_a_report_or_export_another_program_holds_open_is_refused_before_the_walk(self):
        # cmd holds the file open for writing, letting others only read it (as a spreadsheet holds its file): the
        # replacement could not be moved onto it at the end, so the run says so at the start and keeps it.
        held = os.path.join(DRIVE_C, "held.csv")
        Path(held).write_bytes(b"last run\r\n")
        holder = subprocess.Popen(["/bin/sh", os.path.join(HERE, "wine-run.sh"), "cmd", "/c", "set /p x=held>> C:\\held.csv"],
                                  cwd=F, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, start_new_session=True)
        try:
            for _ in range(400):
                if Path(held).read_bytes().endswith(b"held"):
                    break
                time.sleep(0.05)
            self.assertTrue(Path(held).read_bytes().endswith(b"held"), "cmd did not start")
            out, report = self.all_drives("outputFile = C:\\held.csv\n", "4\n", code=1, exe=self.exe)
            Path(F, "Folmar.ini").write_bytes(b"[Folmar settings]\n")
            rc, exported = run(["/ALL", "/X:C:\\held.csv"], cwd=F, answer="4\n", exe=self.exe)
        finally:
            holder.stdin.close()
            holder.wait(timeout=30)
        self.assertIn("Unable to open the FolmarAll.txt output file \nFolmar==>  Another program has it open \n"
                      "Folmar==>  Program will terminate \nFolmar==>  The system says: ", "\n".join(out))
        self.assertEqual(out[-1], "Folmar==>  Press Enter to continue ")
        self.assertIsNone(report)
        self.assertEqual(rc, 1)
        self.assertTrue("\n".join(exported).endswith("Unable to open the export file C:\\held.csv \n"
                                                      "Folmar==>  Another program has it open \n"
                                                      "Folmar==>  Program will terminate "), exported[-3:])
        self.assertFalse([line for line in out + exported if "Processing Drive" in line])
        self.assertEqual(Path(held).read_bytes(), b"last run\r\nheld")


    @each(EXE, EXE95)
    def test_the_runs_own_new_report_and_export_are_in_no_figure(self):
        # They lie on the drive walked, unfinished while it is walked: the export lists neither, no total has them.
        make_tree(D, {"a": 100})
        Path(F, "Folmar.ini").write_bytes(b"[Folmar settings]\noutputFile = D:\\r.txt\n")
        rc, out = run(["/ALL", "/X:D:\\x.json"], cwd=F, answer="3\n", exe=self.exe)
        report = ansi_lines(Path(D, "r.txt").read_bytes())
        self.assertEqual((rc, dir_lines(report), figures(report, "Number of Files")), (0, [("D:\\", 100)], [1, 1]))
        self.assertNotIn("~FOL", Path(D, "x.json").read_text())


class ConsoleTest(WineTest):
    def test_keys_end_the_waits_on_a_console_that_shows_the_real_characters(self):
        # A pseudo-terminal is the console: a cursor key (an escape sequence) ends the wait after the settings
        # messages, another key the /P pause after 23 directory lines; the console shows what cp1252 cannot hold.
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
            self.assertEqual(screen().count("Press Enter to continue"), prompts)
            os.write(terminal, key)
        self.assertEqual(read(60), 0)
        self.assertIn("D:\\p\\Dvořák.", screen())  # the real characters on the console


if __name__ == "__main__":
    unittest.main(verbosity=2)
