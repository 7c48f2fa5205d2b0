"""What the walk costs the kernel, counted with strace over a real tree: each
directory is opened and read once and each file stat'ed once, whatever the
spelling of the target (the look-up without regard to case costs a constant)
and whichever thread reads it when read-ahead is on. Skipped, and says so,
without strace or where it cannot trace."""

import collections
import os
import re
import shutil
import subprocess

import harness

CALL = re.compile(r'^\d+ +(\w+)\((?:[^"]*?"((?:[^"\\]|\\.)*)")?')  # a call and its first name


class ReadOnce(harness.TreeTest):

    def setUp(self):
        super().setUp()
        if shutil.which("strace") is None:
            self.skipTest("strace is not installed")
        tree = {"Empty": None}
        for d in range(12):
            tree.update({"Tree/d%02d/sub/f%02d_%d" % (d, d, f): 10 for f in range(d % 4)})
            tree["Tree/d%02d/sub/deeper" % d] = None
        harness.make_tree(self.tmp, tree)
        self.files = ["f%02d_%d" % (d, f) for d in range(12) for f in range(d % 4)]  # 18
        self.below = 36         # dNN, sub and deeper
        self.fileless = 27      # dNN, the subs without files (d00, d04, d08), deeper

    def trace(self, target, readahead):
        """Calls of the run by kind (read, open, stat), and the names opened
        and stat'ed, as counters."""
        log = os.path.join(self.tmp, "trace")
        env = dict(os.environ, FOLMAR_DRIVES="C=" + self.tmp, FOLMAR_READAHEAD="4" if readahead else "0")
        proc = subprocess.run(["strace", "-f", "-qq", "-o", log, "-e",
                               "trace=getdents64,newfstatat,fstatat64,statx,stat,lstat,openat",
                               harness.FOLMAR, "/L", target], cwd=self.tmp, env=env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, start_new_session=True, timeout=120)
        if proc.returncode != 0:
            self.skipTest("strace cannot trace here: %s" % proc.stderr.decode(errors="replace")[:200])
        calls, names = collections.Counter(), collections.Counter()
        with open(log) as f:
            for match in filter(None, map(CALL.match, f)):  # the rest of an interrupted call does not match
                call, name = match.groups()
                kind = {"getdents64": "read", "openat": "open"}.get(call, "stat")
                calls[kind] += 1
                names[kind, name] += 1
        os.remove(log)
        return calls, names

    def test_each_directory_read_once_however_the_target_is_spelled(self):
        base, _ = self.trace("C:\\Empty", readahead=False)
        exact, _ = self.trace("C:\\Tree", readahead=False)
        other, _ = self.trace("c:\\TREE", readahead=False)
        # Beyond the run over an empty directory: per directory one open and
        # two reads (the last gives nothing), per file one stat, and one for
        # a directory without files, to know that it can be searched.
        self.assertEqual(exact - base, collections.Counter(
            {"read": 2 * self.below, "open": self.below, "stat": len(self.files) + self.fileless}))
        for kind in exact:
            self.assertLessEqual(other[kind] - exact[kind], 3, (kind, exact, other))

    def test_read_ahead_still_reads_each_directory_once_and_stats_each_file_once(self):
        base, base_names = self.trace("C:\\Empty", readahead=True)
        exact, names = self.trace("C:\\Tree", readahead=True)
        self.assertEqual(exact["read"] - base["read"], 2 * self.below)
        self.assertEqual(exact["open"] - base["open"], self.below)
        for d in range(12):
            self.assertEqual(names["open", "d%02d" % d], 1, d)
        self.assertEqual((names["open", "sub"], names["open", "deeper"]), (12, 12))
        for name in self.files:
            self.assertEqual(names["stat", name], 1, name)
        # Beyond the files, per directory at most the reading thread's look
        # at what it opened and the walker's check that it is still the same.
        self.assertLessEqual(exact["stat"] - base["stat"], len(self.files) + 2 * self.below)


if __name__ == "__main__":
    harness.main()
