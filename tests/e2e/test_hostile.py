"""The program on a hostile or unlucky machine, one case per fault: standard
output closed, full, cut or into the report, little memory, control
characters from outside, a report file planted by another user, a run
interrupted or past a file size limit, a directory listed but not searched, a
working directory too deep for a Windows path. (Paths that climb above their
drive or follow links off it, and settings or report files that are no
regular files: tests/posix; few open files: test_posix_walk.py.)"""

import os
import pwd
import resource
import select
import shutil
import signal
import subprocess
import tempfile

import harness
from harness import run_folmar, totals


class HostileMachine(harness.TreeTest):

    def setUp(self):
        super().setUp()
        self.c = os.path.join(self.tmp, "c")
        harness.make_tree(self.c, {"d/f": 5})

    def run_c(self, args, **kw):
        return run_folmar(args, **dict(dict(drives="C=" + self.c, cwd=self.c), **kw))

    def test_standard_output_closed_or_into_the_report_never_lets_console_text_into_it(self):
        # File names listed during the walk overflow the console's buffer.
        harness.make_tree(self.c, {"d/listed-file-%s-%04d" % ("x" * 40, i): 0 for i in range(1500)})
        harness.write_settings(self.c, "lineWidthPrint=78\nshowFiles=L\noutputFile=C:\\out.txt\n")
        report = os.path.join(self.c, "out.txt")
        for into_report in (False, True):
            with open(report, "w") as stdout:  # "folmar > C:\out.txt": the old report gets the console text
                code, _, _ = self.run_c(["/ALL"], preexec=None if into_report else lambda: os.close(1),
                                        stdout=stdout if into_report else None)
            self.assertEqual(code, 0)
            with open(report) as f:
                text = f.read()
            self.assertTrue(text.startswith("Directory Size") and text.endswith(" Hours \n"), text[:200])
            self.assertNotIn("Folmar==>", text)
            self.assertNotIn("listed-file", text)

    def test_standard_output_that_cannot_be_written_is_a_failure(self):
        with open("/dev/full", "w") as full:
            code, _, err = self.run_c(["C:\\"], stdout=full)
        self.assertEqual((code, err), (1, "Folmar==>  Unable to write to standard output \n"
                                          "Folmar==>  Most likely the disk drive is full \n"))
        reader, writer = os.pipe()  # a pipe closed by its reader ends the program as it ends any filter
        os.close(reader)
        code, _, _ = self.run_c(["C:\\"], stdout=writer)
        os.close(writer)
        self.assertEqual(code, -signal.SIGPIPE)

    def test_little_memory_never_changes_the_report(self):
        harness.make_tree(self.c, {"big/a%02d/file-with-a-longer-name-%04d" % (a, f): 0
                                   for a in range(6) for f in range(1000)})
        reference = self.run_c(["C:\\big"])[1].split("   Free Space")[0]
        for megabytes in range(64, 15, -1):
            limit = (megabytes << 20,) * 2
            code, out, err = self.run_c(["C:\\big"],
                                        preexec=lambda: resource.setrlimit(resource.RLIMIT_AS, limit))
            if megabytes == 64 and code != 0 and "Folmar" not in out:
                self.skipTest("this build cannot start in 64 MiB (sanitizers): " + err[:80])
            self.assertEqual((code, err), (0, ""), megabytes)
            self.assertEqual(out.split("   Free Space")[0], reference, megabytes)

    def test_no_control_character_from_outside_reaches_any_output(self):
        harness.make_tree(self.c, {"t/csi\u009bx/f": 7, "t/bad\udce9x/f": 8})
        code, out, err = self.run_c(["C:\\t"], drives="C=%s;Q\x1b[2J" % self.c)
        self.assertEqual((code, err), (0, "Folmar: FOLMAR_DRIVES entry ignored: Q?[2J\n"))
        lines = out.encode("latin-1").decode("utf-8").split("\n")
        self.assertIn("C:\\T\\csi?x" + "." * 113 + " 7", lines)
        self.assertIn("C:\\T\\bad?x" + "." * 113 + " 8", lines)

    def as_nobody(self):
        """A folder that nobody reaches, whatever TMPDIR is, and the command that runs a copy of the program
        there as nobody."""
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("needs root and setpriv to run as nobody")
        base = tempfile.mkdtemp(prefix="folmar-nobody-", dir="/tmp")
        self.addCleanup(shutil.rmtree, base)
        os.chmod(base, 0o755)
        program = shutil.copy(harness.FOLMAR, base)
        return base, ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", program]

    def test_directory_listed_but_not_searched_is_denied(self):
        base, nobody = self.as_nobody()
        harness.make_tree(base, {"p/listed/f": 50, "p/listed/sub/g": 6, "p/bare/sub/g": 6, "p/open/h": 70})
        for listed in ("listed", "bare"):  # bare: no file whose size could not be read
            os.chmod(os.path.join(base, "p", listed), 0o644)
        code, out, _ = run_folmar(["C:\\p"], drives="C=" + base, cwd="/", command=nobody)
        self.assertEqual((code, totals(out)), (0, (4, 1, 70)), out)  # neither of the two entered

    def test_a_report_replaces_a_file_planted_in_a_sticky_folder_never_writes_into_it_nor_widens_it(self):
        base, as_nobody = self.as_nobody()
        nobody = pwd.getpwnam("nobody")
        public = os.path.join(base, "pub")
        os.mkdir(public)
        os.chmod(public, 0o1777)
        kept, planted = os.path.join(public, "kept"), os.path.join(public, "out.txt")
        with open(kept, "w") as f:
            f.write("nobody's own\n")
        os.link(kept, planted)  # a hard link at the report's name
        os.lchown(kept, nobody.pw_uid, nobody.pw_gid)
        os.chmod(kept, 0o640)
        harness.write_settings(base, "lineWidthPrint=78\noutputFile=C:\\pub\\out.txt\n")
        code, out, _ = run_folmar(["/ALL"], drives="C=" + base, cwd=base, preexec=lambda: os.umask(0o022))
        self.assertEqual(code, 0, out)
        with open(kept) as f:
            self.assertEqual(f.read(), "nobody's own\n")
        report = os.lstat(planted)  # readable by no more users than the file it replaced
        self.assertEqual((report.st_uid, report.st_gid, report.st_mode & 0o7777),
                         (nobody.pw_uid, nobody.pw_gid, 0o640))
        self.assertEqual(sorted(os.listdir(public)), ["kept", "out.txt"])
        # Root's report, writable by all, may not be replaced by nobody there: refused at the start of the run.
        os.lchown(planted, 0, 0)
        os.chmod(planted, 0o666)
        code, out, _ = run_folmar(["/ALL"], drives="C=" + base, cwd=base, command=as_nobody)
        self.assertEqual((code, out.count("Folmar==>  Unable to open the FolmarAll.txt output file \n")), (1, 1), out)
        self.assertIn("Folmar==>  Program will terminate \nFolmar==>  The system says: permission denied\n", out)

    def test_an_interrupted_or_failed_all_drives_run_leaves_the_previous_report_as_it_was(self):
        # Names listed to a pipe nobody reads: the run waits mid-walk, its new report file begun.
        harness.make_tree(self.c, {"d/%03d/listed-file-%s-%02d" % (d, "x" * 40, f): 0 for d in range(150) for f in range(20)})
        harness.write_settings(self.c, "lineWidthPrint=78\nshowFiles=L\noutputFile=C:\\out.txt\n")
        report = os.path.join(self.c, "out.txt")
        for fault in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, "a file size limit"):
            with open(report, "w") as f:
                f.write("the previous report\n")
            if fault == "a file size limit":  # 8 KiB: a write error like a full disk, exit code 1
                code, out, _ = self.run_c(["/ALL"], preexec=lambda: resource.setrlimit(resource.RLIMIT_FSIZE,
                                                                                         (8192, 8192)))
                self.assertEqual(code, 1)
                self.assertTrue(out.endswith("Folmar==>  Unable to write the output file C:\\out.txt \n"
                                             "Folmar==>  Most likely the disk drive is full \n"), out[-200:])
            else:
                proc = subprocess.Popen([harness.FOLMAR, "/ALL"], cwd=self.c, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True,
                                        env=dict(os.environ, FOLMAR_DRIVES="C=" + self.c, FOLMAR_READAHEAD="0"))
                # Its first names in the pipe: the walk began, its new report open in C's folder (no thread
                # opens or closes a descriptor meanwhile).
                self.assertTrue(select.select([proc.stdout], [], [], 60)[0], "the walk never began")
                fds = "/proc/%d/fd/" % proc.pid
                begun = [os.readlink(fds + fd) for fd in os.listdir(fds)]  # unnamed (#inode) or .folmar-*
                new = (self.c + "/#", self.c + "/.folmar-")
                self.assertTrue([name for name in begun if name.startswith(new)], begun)
                proc.send_signal(fault)
                proc.communicate(timeout=60)
                self.assertEqual(proc.returncode, -fault)
            with open(report) as f:
                self.assertEqual(f.read(), "the previous report\n", fault)

    def test_not_read_list_past_a_file_size_limit_has_each_line_whole_once_and_says_how_many_more(self):
        long = "x" * 150  # 300 lines of 220 bytes; names Windows cannot hold
        harness.make_tree(self.c, {"u/a\\b%s%03d" % (long, i): None for i in range(300)})
        fsize = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (20000, 20000))  # its scratch file stops there
        code, _, err = self.run_c(["C:\\u", "/E"], preexec=fsize)
        *listed, last = err.splitlines()
        every = {"Folmar==>  Unable to read C:\\u\\a?b%s%03d (name this system cannot hold) " % (long, i)
                 for i in range(300)}
        self.assertEqual((len(set(listed) & every), len(listed) > 100), (len(listed), True))  # whole, once each
        self.assertEqual((code, last), (0, "Folmar==>  %d more directories could not be read and are not listed "
                                        % (300 - len(listed))))

    def test_working_directory_deeper_than_a_windows_path_ends_the_run(self):
        deep = os.path.join(self.c, *(["x" * 50] * 6))
        os.makedirs(deep)
        code, out, _ = self.run_c([], cwd=deep)
        self.assertEqual(code, 1)
        self.assertTrue(out.endswith("Folmar==>  The current directory path is too long: C:\\%s\\%s...\n"
                                     % ("x" * 50, "x" * 6)), out)


if __name__ == "__main__":
    harness.main()
