"""The console on a pseudo-terminal that is the program's controlling
terminal: a wait puts it in key mode (no line input, no echo), a cursor key
ends the wait and is consumed whole, Ctrl+C or any other signal ends the
program, Ctrl+Z stops it at any moment, and the mode is always restored; the
prompt of /P is on the screen while it waits, and a key clears the screen; the
progress display of a run that has lasted a second is on standard error only,
and erased at the end. The test types only once the terminal is in key mode,
and reads the mode to compare with before the program starts: no timing
counts but where said."""

import fcntl
import os
import pty
import re
import select
import signal
import subprocess
import termios
import time
import unittest

import harness

PROMPT = b"Folmar==>  Press Enter to continue"
CLEAR = b"\x1b[H\x1b[2J"


@unittest.skipUnless(os.path.exists("/dev/ptmx"), "no pseudo-terminals here")
class ConsoleOnATerminal(harness.TreeTest):

    def start(self, tree, args=(), stdout=None):
        """Runs the program on a fresh pseudo-terminal, its controlling terminal (and its standard output
        unless `stdout` is given), until it waits for a key."""
        self.master, self.slave = pty.openpty()
        self.addCleanup(os.close, self.master)
        self.addCleanup(os.close, self.slave)
        self.mode_before = termios.tcgetattr(self.slave)
        self.output = b""
        harness.make_tree(self.tmp, tree)
        self.proc = subprocess.Popen([harness.FOLMAR] + list(args), cwd=os.path.join(self.tmp, "work"),
                                     env=dict(os.environ, FOLMAR_DRIVES="C=" + self.tmp), stdin=self.slave,
                                     stdout=stdout or self.slave, stderr=self.slave, start_new_session=True,
                                     preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        self.addCleanup(self.proc.wait)
        self.addCleanup(self.proc.kill)
        if stdout is None:
            self.read_until(lambda: PROMPT in self.output, "the prompt")
        self.read_until(lambda: not termios.tcgetattr(self.slave)[3] & (termios.ICANON | termios.ECHO),
                        "key mode")

    def read_until(self, done, what):
        """Collects output until done(); fails after a minute, or when the program ended first."""
        deadline = time.monotonic() + 60
        while not done():
            if time.monotonic() > deadline or self.proc.poll() is not None:
                self.fail("%s never came; output: %r" % (what, self.output[-400:]))
            if select.select([self.master], [], [], 0.05)[0]:
                self.output += os.read(self.master, 65536)

    def type_until_exit(self, keys):
        """Types keys; the exit code (minus a signal), the terminal left in its mode from before."""
        os.write(self.master, keys)
        code = self.proc.wait(timeout=60)
        while select.select([self.master], [], [], 0.1)[0]:  # whatever is still buffered
            self.output += os.read(self.master, 65536)
        self.assertEqual(termios.tcgetattr(self.slave), self.mode_before)
        return code

    def test_cursor_key_ends_the_wait_whole_and_the_mode_is_restored(self):
        self.start({"work/a/one.txt": 10, "work/b/two.txt": 20})  # no settings file: a wait
        self.assertNotIn(b"Directory Drive C", self.output)
        self.assertEqual(self.type_until_exit(b"\x1b[A"), 0)
        text = self.output.replace(b"\r\n", b"\n")
        self.assertTrue(text.startswith(CLEAR + b"\nFolmar==>  C:\\Orvan\\Folmar.ini File Not Found"), text)
        after_wait = text.split(PROMPT + b" \n", 1)[1]
        self.assertIn(b"   Number of Dirs.     =               3", after_wait)
        self.assertNotIn(b"[A", after_wait)  # no echo of the key
        os.write(self.master, b"\n")  # nothing of it left unread: the next line read is only this
        self.assertEqual(os.read(self.slave, 100), b"\n")

    def test_any_signal_during_the_wait_restores_the_mode(self):
        for sig in (signal.SIGINT, signal.SIGUSR1):  # Ctrl+C typed; one no handler was made for, sent
            self.start({"work/a/one.txt": 10})
            if sig == signal.SIGINT:
                self.assertEqual(self.type_until_exit(b"\x03"), -sig)
            else:
                self.proc.send_signal(sig)
                self.assertEqual(self.type_until_exit(b""), -sig)

    def test_ctrl_z_and_fg_at_every_moment_of_the_waits_leave_the_mode_restored(self):
        """After each key of 150 /P waits, Ctrl+Z over and over for a millisecond, each stop continued
        (fg): one of them comes while the wait leaves key mode. Timing counts here, but no outcome may differ."""
        tree = {"work/t/d%04d" % i: None for i in range(150 * 23)}
        tree["work/Folmar.ini"] = 0
        self.start(tree, ["/P", "/L", "C:\\work\\t"])
        waits = 0
        while self.proc.poll() is None:
            if self.stopped():
                self.proc.send_signal(signal.SIGCONT)
            if self.output.endswith(PROMPT) and not termios.tcgetattr(self.slave)[3] & termios.ICANON:
                self.output, waits = b"", waits + 1
                os.write(self.master, b"x")
                start = time.perf_counter()
                while time.perf_counter() - start < 0.001:
                    self.proc.send_signal(signal.SIGTSTP)
                    if self.stopped():
                        self.proc.send_signal(signal.SIGCONT)
            if select.select([self.master], [], [], 0.002)[0]:
                self.output += os.read(self.master, 65536)
        self.assertEqual((self.type_until_exit(b""), waits), (0, 150))

    def stopped(self):
        try:
            with open("/proc/%d/stat" % self.proc.pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0] == "T"
        except FileNotFoundError:  # ended, and reaped by the last poll
            return False

    def test_pause_prompt_on_the_screen_and_a_cleared_screen_after_the_key(self):
        tree = {"work/t/d%02d/f" % i: 1 for i in range(29)}  # 30 directories: a pause after 23
        tree["work/Folmar.ini"] = 0
        self.start(tree, ["/P", "/L", "C:\\work\\t"])
        self.assertTrue(self.output.endswith(b"\r\n\r\n" + PROMPT), self.output[-99:])  # shown as it waits
        self.assertEqual(self.type_until_exit(b"x"), 0)
        self.assertTrue(self.output.split(PROMPT, 1)[1].startswith(CLEAR), self.output[-200:])

    def test_progress_on_standard_error_only_and_erased_at_the_end(self):
        # The wait for the missing settings file makes the run last a second before the walk.
        with open(os.path.join(self.tmp, "report.txt"), "w+b") as report:
            self.start({"work/a/b/one.txt": 10}, ["C:\\work"], stdout=report)
            time.sleep(1.2)
            self.assertEqual(self.type_until_exit(b"x"), 0)
            report.seek(0)
            text = report.read()
        shown = re.findall(rb"\r(Folmar==>  \d+ dirs, \d+ files: C:\\WORK\\[^\r]*)", self.output)
        self.assertTrue(shown, self.output)
        self.assertTrue(self.output.endswith(b"\r" + b" " * len(shown[-1]) + b"\r"), self.output)
        self.assertIn(b"   Number of Dirs.     =               3", text)
        self.assertNotIn(b"\r", text)


if __name__ == "__main__":
    harness.main()
