"""The POSIX console of the real program on a pseudo-terminal that is its
controlling terminal: with no settings file it stops after "Press Enter to
continue" with the terminal in key mode (no line input, no echo); a cursor
key ends the wait and is consumed whole, the report follows, and the
terminal's mode afterwards is the one it had before. Ctrl+C during the wait
ends the program and also leaves the mode as it was."""

import fcntl
import os
import pty
import select
import signal
import termios
import time

from harness import FOLMAR, TreeTest, main, make_tree

LFLAG = 3  # index of c_lflag in a termios attribute list


class PtyRun:
    """The program started in a new session whose controlling terminal is a
    fresh pseudo-terminal; the test keeps both ends open."""

    def __init__(self, cwd, drives, args=()):
        self.master, self.slave = pty.openpty()
        env = dict(os.environ, FOLMAR_DRIVES=drives)
        self.pid = os.fork()
        if self.pid == 0:  # the child: never returns into the test
            try:
                os.setsid()
                fcntl.ioctl(self.slave, termios.TIOCSCTTY, 0)
                for fd in (0, 1, 2):
                    os.dup2(self.slave, fd)
                os.chdir(cwd)
                os.execve(FOLMAR, [FOLMAR] + list(args), env)
            finally:
                os._exit(127)
        self.output = b""
        self.status = None

    def read_until(self, needle, timeout):
        """Collects output until `needle` appears; False after `timeout`."""
        deadline = time.monotonic() + timeout
        while needle not in self.output:
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            ready, _, _ = select.select([self.master], [], [], left)
            if ready:
                self.output += os.read(self.master, 4096)
        return True

    def running_after(self, seconds):
        """The program has not ended within `seconds` (output still collected)."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.poll_exit():
                return False
            self.read_until(b"\0never\0", 0.05)
        return True

    def poll_exit(self):
        if self.status is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.status = status
        return self.status is not None

    def wait_exit(self, timeout):
        deadline = time.monotonic() + timeout
        while not self.poll_exit():
            if time.monotonic() > deadline:
                os.kill(self.pid, signal.SIGKILL)
                os.waitpid(self.pid, 0)
                raise AssertionError("the program did not end; output: %r" % self.output)
            self.read_until(b"\0never\0", 0.05)
        self.read_until(b"\0never\0", 0.1)  # whatever is still buffered
        return self.status

    def pending_input(self):
        """Bytes typed on the terminal that nobody read, taken without
        waiting (the slave briefly put into non-canonical mode)."""
        saved = termios.tcgetattr(self.slave)
        raw = termios.tcgetattr(self.slave)
        raw[LFLAG] &= ~(termios.ICANON | termios.ECHO)
        raw[6][termios.VMIN] = 0
        raw[6][termios.VTIME] = 0
        termios.tcsetattr(self.slave, termios.TCSANOW, raw)
        try:
            return os.read(self.slave, 100)
        finally:
            termios.tcsetattr(self.slave, termios.TCSANOW, saved)

    def close(self):
        if self.status is None:
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        os.close(self.master)
        os.close(self.slave)


class ConsolePtyTest(TreeTest):

    def setUp(self):
        super().setUp()
        try:
            os.close(os.open("/dev/ptmx", os.O_RDWR | os.O_NOCTTY))
        except OSError as e:
            self.skipTest("no pseudo-terminals here: %s" % e)
        make_tree(self.tmp, {"work/a/one.txt": 10, "work/b/two.txt": 20})
        self.run = PtyRun(os.path.join(self.tmp, "work"), "C=" + self.tmp)
        self.addCleanup(self.run.close)
        self.mode_before = termios.tcgetattr(self.run.slave)

    def wait_for_the_key_read(self):
        """The message is out, the terminal is in key mode, and the program
        stays blocked there."""
        run = self.run
        self.assertTrue(run.read_until(b"Press Enter to continue", 20), run.output)
        deadline = time.monotonic() + 20
        while termios.tcgetattr(run.slave)[LFLAG] & (termios.ICANON | termios.ECHO):
            self.assertLess(time.monotonic(), deadline, "the terminal never left line mode")
            self.assertTrue(run.running_after(0.02), run.output)
        self.assertTrue(run.running_after(0.5), run.output)
        self.assertNotIn(b"Directory Drive C", run.output)

    def test_cursor_key_ends_the_wait_and_the_mode_is_restored(self):
        run = self.run
        self.wait_for_the_key_read()
        os.write(run.master, b"\x1b[A")
        status = run.wait_exit(30)
        self.assertTrue(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, status)

        text = run.output.decode("latin-1").replace("\r\n", "\n")
        self.assertTrue(text.startswith("\x1b[H\x1b[2J\n"
                                        "Folmar==>  C:\\Orvan\\Folmar.ini File Not Found \n"),
                        text[:200])
        after_wait = text.split("Folmar==>  Press Enter to continue \n", 1)[1]
        self.assertIn("Directory Drive C", after_wait)
        self.assertIn("   Number of Dirs.     =               3", after_wait)
        self.assertNotIn("[A", after_wait)  # no echo of the key
        self.assertEqual(run.pending_input(), b"")  # the sequence was read whole
        self.assertEqual(termios.tcgetattr(run.slave), self.mode_before)

    def test_ctrl_c_during_the_wait_restores_the_mode(self):
        run = self.run
        self.wait_for_the_key_read()
        os.write(run.master, b"\x03")
        status = run.wait_exit(30)
        self.assertTrue(os.WIFSIGNALED(status) and os.WTERMSIG(status) == signal.SIGINT, status)
        self.assertEqual(termios.tcgetattr(run.slave), self.mode_before)


if __name__ == "__main__":
    main()
