"""The /P pause of a single-path report on a terminal: after every 23
directory lines the listing stops after an empty line and the prompt, a key
clears the screen, and the next lines follow."""

import os

from harness import TreeTest, main, make_tree
from test_console_pty import PtyRun

PROMPT = b"\nFolmar==>  Press Enter to continue"
CLEAR = b"\x1b[H\x1b[2J"


class PausePerScreen(TreeTest):

    def setUp(self):
        super().setUp()
        # 30 directories: the target and 29 subdirectories with a file each.
        spec = {"work/Folmar.ini": 0}
        spec.update({"work/t/d%02d/f" % i: 1 for i in range(29)})
        make_tree(self.tmp, spec)
        with open(os.path.join(self.tmp, "work", "Folmar.ini"), "w") as f:
            f.write("[Folmar settings]\nshowDirs=L\n")
        self.run = PtyRun(os.path.join(self.tmp, "work"), "C=" + self.tmp, ["/P", "C:\\work\\t"])
        self.addCleanup(self.run.close)

    def test_pauses_after_23_lines_and_clears_after_the_key(self):
        run = self.run
        self.assertTrue(run.read_until(PROMPT, 20), run.output)
        self.assertTrue(run.running_after(0.3), run.output)
        before = run.output.replace(b"\r\n", b"\n")
        listing = before.split(b"Directory Drive C")[1]
        self.assertEqual(listing.count(b"\nC:\\work\\t"), 23)
        self.assertTrue(before.endswith(b"\n" + PROMPT), before[-120:])
        os.write(run.master, b"x")
        status = run.wait_exit(30)
        self.assertTrue(os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0, status)
        text = run.output.replace(b"\r\n", b"\n")
        rest = text.split(PROMPT, 1)[1]
        self.assertTrue(rest.startswith(CLEAR), rest[:40])
        self.assertEqual(rest.count(b"C:\\work\\t"), 7, rest)
        self.assertNotIn(b"File not found", rest)
        self.assertNotIn(PROMPT, rest)
        self.assertIn(b"   Number of Dirs.     =              30", rest)


if __name__ == "__main__":
    main()
