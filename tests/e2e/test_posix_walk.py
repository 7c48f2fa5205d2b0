"""The walk over real trees. Counted with strace (skipped, and says so,
without it): each directory is opened and read once, each file stat'ed once,
whatever the spelling of the target and whichever thread reads. Read-ahead
changes nothing in the output on the benchmark's tree (whose totals its
generator prints), and nothing goes to standard error (where a
ThreadSanitizer build reports). Paths deeper than a Windows path and than
Linux takes in one call are walked whole, on little stack; a bind mount of
a folder inside itself is counted once (as root, in a mount namespace)."""

import collections
import os
import re
import resource
import shutil
import subprocess

import harness

CALL = re.compile(r'^\d+ +(\w+)\((?:[^"]*?"((?:[^"\\]|\\.)*)")?')  # a call and its first name


class RealTrees(harness.TreeTest):

    def trace(self, target, readahead):
        """The run's calls by kind (read, open, stat), beyond those of a run
        over an empty directory and but for what the system tells of itself
        (the read-ahead's look at its cores and their load), and the stat
        calls by name."""
        counts, log = [], os.path.join(self.tmp, "trace")
        strace = ["strace", "-f", "-qq", "-o", log, "-e",
                  "trace=getdents64,openat,newfstatat,fstatat64,statx,stat,lstat", harness.FOLMAR]
        for run in ("C:\\Empty", target):
            code, _, err = harness.run_folmar(["/L", run], drives="C=" + self.tmp, cwd=self.tmp,
                                              readahead=readahead, stdout=subprocess.DEVNULL, command=strace)
            if code != 0:
                self.skipTest("strace cannot trace here: %s" % err[:200])
            with open(log) as f:  # the rest of a call another thread interrupted does not match
                calls = [match.groups() for match in map(CALL.match, f) if match]
            counts.append(collections.Counter({"getdents64": "read", "openat": "open"}.get(call, "stat")
                                              for call, name in calls if not (name or "").startswith(("/proc/", "/sys/"))))
        return counts[1] - counts[0], collections.Counter(name for call, name in calls if "stat" in call)

    def test_each_directory_read_once_and_each_file_stat_ed_once(self):
        if shutil.which("strace") is None:
            self.skipTest("strace is not installed")
        files = ["f%02d_%d" % (d, f) for d in range(12) for f in range(d % 4)]  # 18, in d01\sub and such
        tree = {"Tree/d%s/sub/%s" % (f[1:3], f): 10 for f in files}
        tree.update({"Tree/d%02d/sub/deeper" % d: None for d in range(12)}, Empty=None)
        harness.make_tree(self.tmp, tree)
        # Per directory an open and two reads; a stat per file and per directory without files (27).
        exact, _ = self.trace("C:\\Tree", "0")
        self.assertEqual(exact, collections.Counter({"read": 72, "open": 36, "stat": 18 + 27}))
        other, _ = self.trace("c:\\TREE", "0")
        self.assertTrue(all(0 <= other[kind] - exact[kind] <= 3 for kind in exact), (exact, other))
        # Read ahead: per directory at most the reader's look and the walker's check that it is unchanged.
        calls, stats = self.trace("C:\\Tree", "4")
        self.assertEqual((calls["read"], calls["open"]), (72, 36))
        self.assertLessEqual(calls["stat"], 18 + 2 * 36)
        self.assertEqual([stats[name] for name in files], [1] * 18)

    def test_benchmark_tree_in_every_mode_listing_files_and_with_few_descriptors(self):
        figures = harness.bench_tree(os.path.join(self.tmp, "bench"), 0.05)
        large = os.path.join(self.tmp, "bench", "large")  # its stats shared out among the threads
        os.mkdir(large)
        for i in range(5000):
            with open(os.path.join(large, "f%04d" % i), "w") as f:
                f.write("x" * (i % 7))
        figures = dict(figures, directories=figures["directories"] + 1, entries=figures["entries"] + 5000,
                       bytes=figures["bytes"] + sum(i % 7 for i in range(5000)))
        harness.write_settings(self.tmp, "showFiles=L\n")
        reference = None
        # 300 open files leave the read-ahead a window of 220 directories.
        for limit in (None, lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (300, 300))):
            for mode, value in harness.READAHEAD_MODES.items():
                code, out, err = harness.run_folmar(["/L", "C:\\bench"], drives="C=" + self.tmp, cwd=self.tmp,
                                                    readahead=value, preexec=limit)
                self.assertEqual((code, err), (0, ""), mode)
                reference = reference or harness.masked(out)
                self.assertEqual(harness.masked(out), reference, (mode, "few open files" if limit else ""))
        self.assertEqual(harness.totals(out),
                         (figures["directories"] + 1, figures["entries"], figures["bytes"]))
        self.assertGreater(out.count("\n"), figures["directories"] + figures["entries"])  # each one listed

    def test_deep_tree_entered_whole_and_exact_even_with_little_stack_and_few_open_files(self):
        # 2,600 levels "d\", the path 5,200 characters; at every 50th level a file and a sibling folder with one,
        # so that the walk comes back to folders that gave up their descriptors, by paths past 4,096 bytes.
        self.addCleanup(subprocess.run, ["rm", "-rf", os.path.join(self.tmp, "d")])  # too deep for shutil
        fd, dirs, files, size = os.open(self.tmp, os.O_RDONLY), 0, 0, 0
        for level in range(2600):
            if level % 50 == 49:
                os.mkdir("s", dir_fd=fd)
                for name in ("f", "s/g"):
                    with open(os.open(name, os.O_CREAT | os.O_WRONLY, dir_fd=fd), "wb") as f:
                        f.truncate(level)
                dirs, files, size = dirs + 1, files + 2, size + 2 * level
            os.mkdir("d", dir_fd=fd)
            parent, fd, dirs = fd, os.open("d", os.O_RDONLY, dir_fd=fd), dirs + 1
            os.close(parent)
        os.close(fd)

        def little():  # a walk that recursed 2,600 times would need megabytes
            resource.setrlimit(resource.RLIMIT_STACK, (128 << 10, resource.RLIM_INFINITY))
            resource.setrlimit(resource.RLIMIT_NOFILE, (5, 5))

        # The program's fixed tables (data and bss) count against the limit too: beyond them it gets 9 MiB.
        text, data, bss = (int(v) for v in subprocess.run(["size", harness.FOLMAR], check=True, text=True,
                                                          stdout=subprocess.PIPE).stdout.split("\n")[1].split()[:3])

        def lean():  # a branch that held its whole path at every level would need tens of MiB
            resource.setrlimit(resource.RLIMIT_DATA, (data + bss + (9 << 20),) * 2)
        for limits in (None, little, lean):
            code, out, err = harness.run_folmar(["C:\\d"], drives="C=" + self.tmp, cwd=self.tmp, preexec=limits)
            if limits is lean and code != 0 and "Folmar" not in out:
                self.skipTest("this build cannot start in 9 MiB of data beyond its tables (sanitizers): " + err[:80])
            self.assertEqual((code, err, harness.totals(out)), (0, "", (dirs, files, size)), limits)

    def test_bind_mount_of_a_folder_inside_itself_is_counted_once(self):
        harness.make_tree(self.tmp, {"b/f": 5, "b/sub/g": 7, "b/in": None})
        inner = os.path.join(self.tmp, "b", "in")
        script = 'mount --bind "$1" "$2" && exec "$3" "$4" /E'
        code, out, err = harness.run_folmar(["sh", "-c", script, "sh", os.path.join(self.tmp, "b"), inner,
                                             harness.FOLMAR, "C:\\b"], drives="C=" + self.tmp, cwd=self.tmp,
                                            command=["unshare", "-m"])
        if code != 0 and "Folmar" not in out:
            self.skipTest("no bind mount in a mount namespace here: " + err[:200])
        self.assertEqual((code, err, harness.totals(out)), (0, "Folmar==>  Unable to read C:\\b\\in (loop) \n",
                                                            (3, 2, 12)))


if __name__ == "__main__":
    harness.main()
