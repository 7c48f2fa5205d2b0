"""The console on a pseudo-terminal that is the program's controlling
terminal: a wait puts it in key mode (no line input, no echo), a cursor key
ends the wait and is consumed whole, Ctrl+C ends the program, and either way
the mode is restored; /P stops after every 23 directory lines and a key
clears the screen. The test types only once the terminal is in key mode, and
reads the mode to compare with before the program starts: no timing counts."""

import fcntl
import os
import pty
import select
import signal
import subprocess
import termios
import time

import harness

LFLAG = 3  # index of c_lflag in a termios attribute list
PROMPT = b"Folmar==>  Press Enter to continue"


class PtyRun:
    """The program in a new session whose controlling terminal is a fresh
    pseudo-terminal; the test keeps both ends."""

    def __init__(self, cwd, drives, args=()):
        self.master, self.slave = pty.openpty()
        self.mode_before = termios.tcgetattr(self.slave)
        self.output = b""
        self.proc = subprocess.Popen([harness.FOLMAR] + list(args), cwd=cwd,
                                     env=dict(os.environ, FOLMAR_DRIVES=drives), stdin=self.slave,
                                     stdout=self.slave, stderr=self.slave, start_new_session=True,
                                     preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))

    def exited(self):
        return self.proc.poll() is not None

    def wait_for(self, done, what, timeout=60):
        """Collects output until done(); fails after `timeout`, or when the
        program ended first."""
        deadline = time.monotonic() + timeout
        while not done():
            if time.monotonic() > deadline or (done != self.exited and self.exited()):
                raise AssertionError("%s never came; output: %r" % (what, self.output[-400:]))
            if select.select([self.master], [], [], 0.05)[0]:
                self.output += os.read(self.master, 65536)

    def wait_for_key_read(self):
        self.wait_for(lambda: PROMPT in self.output, "the prompt")
        self.wait_for(lambda: not termios.tcgetattr(self.slave)[LFLAG] & (termios.ICANON | termios.ECHO),
                      "key mode")

    def type_and_wait_exit(self, keys):
        """The exit code, or minus the signal that ended the program."""
        os.write(self.master, keys)
        self.wait_for(self.exited, "the end of the program")
        while select.select([self.master], [], [], 0.1)[0]:  # whatever is still buffered
            self.output += os.read(self.master, 65536)
        return self.proc.returncode

    def close(self):
        if not self.exited():
            self.proc.kill()
            self.proc.wait()
        os.close(self.master)
        os.close(self.slave)


class ConsoleOnATerminal(harness.TreeTest):

    def start(self, tree, args=()):
        try:
            os.close(os.open("/dev/ptmx", os.O_RDWR | os.O_NOCTTY))
        except OSError as e:
            self.skipTest("no pseudo-terminals here: %s" % e)
        harness.make_tree(self.tmp, tree)
        run = PtyRun(os.path.join(self.tmp, "work"), "C=" + self.tmp, args)
        self.addCleanup(run.close)
        run.wait_for_key_read()
        return run

    def test_cursor_key_ends_the_wait_whole_and_the_mode_is_restored(self):
        run = self.start({"work/a/one.txt": 10, "work/b/two.txt": 20})  # no settings file: a wait
        self.assertNotIn(b"Directory Drive C", run.output)
        self.assertEqual(run.type_and_wait_exit(b"\x1b[A"), 0)
        self.assertEqual(termios.tcgetattr(run.slave), run.mode_before)
        text = run.output.decode("latin-1").replace("\r\n", "\n")
        self.assertTrue(text.startswith("\x1b[H\x1b[2J\nFolmar==>  C:\\Orvan\\Folmar.ini File Not Found \n"),
                        text)
        after_wait = text.split("Folmar==>  Press Enter to continue \n", 1)[1]
        self.assertIn("   Number of Dirs.     =               3", after_wait)
        self.assertNotIn("[A", after_wait)  # no echo of the key
        raw = termios.tcgetattr(run.slave)  # and nothing of it left unread
        raw[LFLAG] &= ~termios.ICANON
        raw[6][termios.VMIN] = raw[6][termios.VTIME] = 0
        termios.tcsetattr(run.slave, termios.TCSANOW, raw)
        self.assertEqual(os.read(run.slave, 100), b"")

    def test_ctrl_c_during_the_wait_restores_the_mode(self):
        run = self.start({"work/a/one.txt": 10})
        self.assertEqual(run.type_and_wait_exit(b"\x03"), -signal.SIGINT)
        self.assertEqual(termios.tcgetattr(run.slave), run.mode_before)

    def test_pause_after_23_lines_and_a_cleared_screen_after_the_key(self):
        tree = {"work/t/d%02d/f" % i: 1 for i in range(29)}  # 30 directories
        tree["work/Folmar.ini"] = 0
        run = self.start(tree, ["/P", "/L", "C:\\work\\t"])
        before = run.output.replace(b"\r\n", b"\n")
        self.assertEqual(before.split(b"Directory Drive C")[1].count(b"\nC:\\work\\t"), 23)
        self.assertTrue(before.endswith(b"\n\n" + PROMPT), before[-120:])
        self.assertEqual(run.type_and_wait_exit(b"x"), 0)
        rest = run.output.replace(b"\r\n", b"\n").split(PROMPT, 1)[1]
        self.assertTrue(rest.startswith(b"\x1b[H\x1b[2J"), rest[:40])
        self.assertEqual(rest.count(b"C:\\work\\t"), 7, rest)
        self.assertNotIn(PROMPT, rest)
        self.assertIn(b"   Number of Dirs.     =              30", rest)
        self.assertEqual(termios.tcgetattr(run.slave), run.mode_before)


if __name__ == "__main__":
    harness.main()
