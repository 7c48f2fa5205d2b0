"""The program on a hostile or unlucky machine: paths that try to leave their
drive, report and settings files that are links, FIFOs, devices or
directories, standard output closed, full or cut, a low limit of open files,
little memory, absurd sparse files, control characters in names and in the
environment, Windows spellings with trailing dots, a directory that can be
listed but not searched, a working directory too deep for a Windows path.
One case per fault; each says what it sets up, runs and what must hold."""

import os
import resource
import shutil
import signal
import subprocess

import harness
from harness import run_folmar, totals

SETTINGS = "[Folmar settings]\nlineWidthPrint=78\n"


class HostileMachine(harness.TreeTest):

    def setUp(self):
        super().setUp()
        self.c = os.path.join(self.tmp, "c")
        harness.make_tree(self.c, {"d/f": 5, "Orvan/Folmar.ini": 0})
        self.drives = {"C": self.c}

    def write(self, rel, text):
        with open(os.path.join(self.c, rel), "w") as f:
            f.write(text)

    def run_c(self, args, **kw):
        kw.setdefault("drives", self.drives)
        kw.setdefault("cwd", self.c)
        return run_folmar(args, **kw)

    def test_paths_never_leave_their_drive(self):
        harness.make_tree(self.tmp, {"outside/secret/s": 1000})
        for target in ["1:\\..\\..\\outside\\secret", "C:\\..\\..\\outside\\secret",
                       "..\\..\\outside\\secret"]:
            with self.subTest(target=target):
                code, out, _ = self.run_c(["/L", target])
                self.assertEqual(code, 0)
                self.assertEqual(totals(out), (1, 0, 0), out)
        # The report file's name climbs no higher than the drive's root either.
        self.write("d/Folmar.ini", SETTINGS + "outputFile=..\\..\\evil.txt\n")
        code, out, _ = self.run_c(["/ALL"], cwd=os.path.join(self.c, "d"))
        self.assertIn("Completed", out)
        self.assertTrue(os.path.exists(os.path.join(self.c, "evil.txt")))
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "evil.txt")))

    def test_report_file_is_never_a_link_a_fifo_or_a_device(self):
        self.write("Folmar.ini", SETTINGS + "outputFile=C:\\FolmarAll.txt\n")
        report = os.path.join(self.c, "FolmarAll.txt")
        victim = os.path.join(self.tmp, "victim")
        with open(victim, "w") as f:
            f.write("precious")
        for make in [lambda: os.symlink(victim, report), lambda: os.mkfifo(report),
                     lambda: os.symlink("/dev/null", report)]:
            make()
            code, out, _ = self.run_c(["/ALL"], timeout=20)
            self.assertEqual(code, 0)
            self.assertIn("Unable to open the FolmarAll.txt output file", out)
            self.assertNotIn("Completed", out)
            os.remove(report)
        with open(victim) as f:
            self.assertEqual(f.read(), "precious")

    def test_settings_file_is_used_only_when_regular(self):
        # The shared file says showDirs=N: no directory lines when it is read.
        self.write("Orvan/Folmar.ini", "[Folmar settings]\nshowDirs=N\n")
        ini = os.path.join(self.c, "Folmar.ini")
        for make in [lambda: os.mkfifo(ini), lambda: os.symlink("/dev/zero", ini),
                     lambda: os.mkdir(ini)]:
            make()
            code, out, _ = self.run_c(["C:\\d"], timeout=20)
            self.assertEqual(code, 0)
            self.assertNotIn("File Not Found", out)
            self.assertEqual(harness.dir_sizes(out), [])
            os.rmdir(ini) if os.path.isdir(ini) and not os.path.islink(ini) else os.remove(ini)

    def test_closed_standard_output_never_lets_console_text_into_the_report(self):
        # File names listed during the walk overflow the console's buffer.
        harness.make_tree(self.c, {"d/listed-file-%s-%04d" % ("x" * 40, i): 0 for i in range(1500)})
        self.write("Folmar.ini", SETTINGS + "showFiles=L\noutputFile=C:\\out.txt\n")
        code, _, _ = self.run_c(["/ALL"], preexec=lambda: os.close(1), stdout=None)
        self.assertEqual(code, 0)
        with open(os.path.join(self.c, "out.txt")) as f:
            report = f.read()
        self.assertIn("Drive C Totals", report)
        self.assertNotIn("Folmar==>", report)
        self.assertNotIn("listed-file", report)

    def test_standard_output_that_cannot_be_written_is_a_failure(self):
        with open("/dev/full", "w") as full:
            code, _, err = self.run_c(["C:\\"], stdout=full)
        self.assertEqual(code, 1)
        self.assertEqual(err, "Folmar==>  Unable to write to standard output \n"
                              "Folmar==>  Most likely the disk drive is full \n")
        # A pipe closed by its reader ends the program as it ends any filter.
        harness.make_tree(self.c, {"many/d%04d" % i: None for i in range(1100)})
        proc = subprocess.Popen([harness.FOLMAR, "C:\\many"], cwd=self.c, stdout=subprocess.PIPE,
                                stdin=subprocess.DEVNULL, start_new_session=True,
                                env=dict(os.environ, FOLMAR_DRIVES="C=" + self.c))
        proc.stdout.read(100)
        proc.stdout.close()
        self.assertEqual(proc.wait(timeout=30), -signal.SIGPIPE)

    def test_a_low_limit_of_open_files_never_cuts_the_walk_short(self):
        path = os.path.join(self.c, *(["deep"] + ["d"] * 100))
        os.makedirs(path)
        for soft, hard in [(24, None), (16, 16)]:
            def limit():
                _, old_hard = resource.getrlimit(resource.RLIMIT_NOFILE)
                resource.setrlimit(resource.RLIMIT_NOFILE, (soft, hard or old_hard))
            code, out, _ = self.run_c(["C:\\deep"], preexec=limit)
            self.assertEqual((code, totals(out)), (0, (101, 0, 0)), (soft, hard))

    def test_little_memory_never_changes_the_report(self):
        harness.make_tree(self.c, {"big/a%02d/file-with-a-longer-name-%04d" % (a, f): 0
                                   for a in range(6) for f in range(1000)})
        _, reference, _ = self.run_c(["C:\\big"])
        reference = reference.split("   Free Space")[0]
        for megabytes in range(64, 15, -1):
            limit = megabytes << 20
            code, out, err = self.run_c(["C:\\big"], preexec=lambda: resource.setrlimit(
                resource.RLIMIT_AS, (limit, limit)))
            if megabytes == 64 and code != 0 and "Folmar" not in out:
                self.skipTest("this build cannot start in 64 MiB (sanitizers): " + err[:80])
            self.assertEqual((code, err), (0, ""), megabytes)
            self.assertEqual(out.split("   Free Space")[0], reference, megabytes)

    def test_absurd_sparse_files_saturate_the_totals(self):
        shm = "/dev/shm"
        if not os.access(shm, os.W_OK):
            self.skipTest("no writable tmpfs at /dev/shm")
        sparse = os.path.join(shm, "folmar-sparse-%d" % os.getpid())
        os.makedirs(sparse)
        self.addCleanup(shutil.rmtree, sparse)
        try:
            for name in "abc":
                os.mkdir(os.path.join(sparse, name))
                with open(os.path.join(sparse, name, "f"), "wb") as f:
                    f.truncate(2 ** 63 - 1)
        except OSError as e:
            self.skipTest("tmpfs takes no sparse file of 2^63 - 1 bytes: %s" % e)
        code, out, _ = run_folmar(["S:\\"], drives={"S": sparse}, cwd=self.c)
        self.assertEqual(code, 0, out)
        self.assertEqual(totals(out), (4, 3, None))
        self.assertIn("\nS:\\c" + "." * 107 + "*" * 14 + "\n", out)

    def test_no_control_character_from_outside_reaches_any_output(self):
        harness.make_tree(self.c, {"t/csi\u009bx/f": 7, "t/bad\udce9x/f": 8})
        code, out, err = run_folmar(["C:\\t"], cwd=self.c,
                                    env_extra={"FOLMAR_DRIVES": "C=%s;Q\x1b[2J" % self.c})
        self.assertEqual(code, 0)
        names = [path for path, _ in harness.dir_sizes(out)]
        self.assertEqual(sorted(names), ["C:\\T", "C:\\T\\bad?x", "C:\\T\\csi?x"])
        self.assertEqual(err, "Folmar: FOLMAR_DRIVES entry ignored: Q?[2J\n")
        for text in (out, err):
            self.assertFalse(any(ord(ch) < 0x20 and ch != "\n" or 0x7F <= ord(ch) <= 0x9F
                                 for ch in text.encode("latin-1").decode("utf-8")), repr(text))

    def test_trailing_dots_and_blanks_are_dropped_as_on_windows(self):
        for target in ["C:\\d.", "C:\\d ", "C:\\d.\\.", "c:\\D. "]:
            code, out, _ = self.run_c(["/L", target])
            self.assertEqual((code, totals(out)), (0, (1, 1, 5)), target)

    def test_directory_listed_but_not_searched_is_denied(self):
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("needs root and setpriv to run as nobody")
        harness.make_tree(self.c, {"p/listed/f": 50, "p/listed/sub/g": 60, "p/open/h": 70})
        os.chmod(os.path.join(self.c, "p", "listed"), 0o644)
        for path in (self.tmp, self.c, os.path.join(self.c, "p")):
            os.chmod(path, 0o755)
        code, out, _ = self.as_nobody(["C:\\p"])
        self.assertEqual(code, 0, out)
        self.assertEqual([p for p, _ in harness.dir_sizes(out)], ["C:\\P", "C:\\P\\open"])
        self.assertEqual(totals(out), (3, 1, 70))

    def as_nobody(self, args):
        """Runs the program as the user nobody, from /."""
        proc = subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                               harness.FOLMAR] + args, cwd="/", stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60,
                              env=dict(os.environ, FOLMAR_DRIVES="C=" + self.c),
                              start_new_session=True)
        return proc.returncode, proc.stdout.decode("latin-1"), proc.stderr.decode("latin-1")

    def test_working_directory_too_deep_for_a_windows_path(self):
        deep = os.path.join(self.c, *(["x" * 50] * 6))
        os.makedirs(deep)
        code, out, _ = self.run_c([], cwd=deep)
        self.assertEqual(code, 1)
        self.assertTrue(out.endswith("Folmar==>  The current directory path is too long: C:\\"
                                     + "x" * 50 + "\\" + "x" * 6 + "...\n"), out)


if __name__ == "__main__":
    harness.main()
