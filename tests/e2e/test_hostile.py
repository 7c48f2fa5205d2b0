"""The program on a hostile or unlucky machine, one case per fault: standard
output closed, full or cut, few open files, little memory, control characters
from outside, a directory listed but not searched, a working directory too
deep for a Windows path. (Paths that climb above their drive and settings or
report files that are no regular files: tests/posix.)"""

import os
import resource
import shutil
import signal
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

    def test_closed_standard_output_never_lets_console_text_into_the_report(self):
        # File names listed during the walk overflow the console's buffer.
        harness.make_tree(self.c, {"d/listed-file-%s-%04d" % ("x" * 40, i): 0 for i in range(1500)})
        harness.write_settings(self.c, "lineWidthPrint=78\nshowFiles=L\noutputFile=C:\\out.txt\n")
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
        self.assertEqual((code, err), (1, "Folmar==>  Unable to write to standard output \n"
                                          "Folmar==>  Most likely the disk drive is full \n"))
        reader, writer = os.pipe()  # a pipe closed by its reader ends the program as it ends any filter
        os.close(reader)
        code, _, _ = self.run_c(["C:\\"], stdout=writer)
        os.close(writer)
        self.assertEqual(code, -signal.SIGPIPE)

    def test_a_low_limit_of_open_files_never_cuts_the_walk_short(self):
        os.makedirs(os.path.join(self.c, *(["deep"] + ["d"] * 100)))
        # A soft limit the program raises; hard ones it cannot, down to two beyond the standard three.
        for limits in [(24, resource.getrlimit(resource.RLIMIT_NOFILE)[1]), (16, 16), (5, 5)]:
            code, out, _ = self.run_c(["C:\\deep"],
                                      preexec=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, limits))
            self.assertEqual((code, totals(out)), (0, (101, 0, 0)), limits)

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

    def test_directory_listed_but_not_searched_is_denied(self):
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("needs root and setpriv to run as nobody")
        base = tempfile.mkdtemp(prefix="folmar-nobody-", dir="/tmp")  # nobody reaches it, whatever TMPDIR is
        self.addCleanup(shutil.rmtree, base)
        os.chmod(base, 0o755)
        harness.make_tree(base, {"p/listed/f": 50, "p/listed/sub/g": 6, "p/bare/sub/g": 6, "p/open/h": 70})
        for listed in ("listed", "bare"):  # bare: no file whose size could not be read
            os.chmod(os.path.join(base, "p", listed), 0o644)
        nobody = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                  shutil.copy(harness.FOLMAR, base)]
        code, out, _ = run_folmar(["C:\\p"], drives="C=" + base, cwd="/", command=nobody)
        self.assertEqual((code, totals(out)), (0, (4, 1, 70)), out)  # neither of the two entered

    def test_working_directory_deeper_than_a_windows_path_ends_the_run(self):
        deep = os.path.join(self.c, *(["x" * 50] * 6))
        os.makedirs(deep)
        code, out, _ = self.run_c([], cwd=deep)
        self.assertEqual(code, 1)
        self.assertTrue(out.endswith("Folmar==>  The current directory path is too long: C:\\%s\\%s...\n"
                                     % ("x" * 50, "x" * 6)), out)


if __name__ == "__main__":
    harness.main()
