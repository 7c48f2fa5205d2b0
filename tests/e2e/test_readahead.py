"""Read-ahead changes nothing in what the program writes: the report with
read-ahead on (by default, or with several threads) equals the report with
it off (FOLMAR_READAHEAD=0) byte for byte, apart from the live free-space
figures, on a synthetic tree, on deep chains, a directory of 20,000 entries,
empty ones and ones the walk cannot or must not enter, in an all-drives
run, and when few file descriptors are allowed. Nothing is written on
standard error (a ThreadSanitizer build reports there)."""

import os
import re
import resource
import shutil
import subprocess

import harness

FREE = re.compile(r"^(   (?:Total )?Free (?:S|s)pace(?: Avail\.)? *= *)[\d,]+", re.M)
DATE = re.compile(r"\d\d-\d\d-\d{4} at \d\d:\d\d Hours")
MODES = {"off": "0", "default": None, "four threads": "4"}


def masked(text):
    """The text with the free-space figures, which other processes change
    between two runs, and the clock replaced."""
    return DATE.sub("MM-DD-YYYY at hh:mm Hours", FREE.sub(r"\1#", text))


def run(args, drives, cwd, readahead, nofile=None):
    """Runs the program with FOLMAR_READAHEAD set to `readahead` (None:
    unset) and at most `nofile` open files; (code, stdout, stderr)."""
    env = dict(os.environ, FOLMAR_DRIVES=";".join("%s=%s" % d for d in drives.items()))
    env.pop("FOLMAR_READAHEAD", None)
    if readahead is not None:
        env["FOLMAR_READAHEAD"] = readahead

    def limit():
        if nofile is not None:
            resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))
    proc = subprocess.run([harness.FOLMAR] + args, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=limit,
                          start_new_session=True, timeout=240)
    return proc.returncode, proc.stdout.decode("latin-1"), proc.stderr.decode("latin-1")


def write_settings(directory, text):
    with open(os.path.join(directory, "Folmar.ini"), "w") as f:
        f.write("[Folmar settings]\n" + text)


def pseudo_mount_parent():
    """A small directory on a real file system that holds mount points of
    kernel pseudo file systems, and those mount points; (None, []) if none."""
    pseudo = {"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "mqueue", "bpf",
              "securityfs", "debugfs", "tracefs", "pstore", "configfs", "hugetlbfs"}
    mounts = {}
    with open("/proc/self/mountinfo") as f:
        for line in f:
            fields = line.split()
            mounts[fields[4]] = fields[fields.index("-") + 1]
    for parent in sorted({os.path.dirname(m) for m, t in mounts.items() if t in pseudo}):
        if parent != "/" and mounts.get(parent, "") not in pseudo and parent in mounts \
                and len(os.listdir(parent)) < 50:
            return parent, [m for m, t in mounts.items()
                            if t in pseudo and os.path.dirname(m) == parent]
    return None, []


class SameReport(harness.TreeTest):

    def assertSameInEveryMode(self, args, drives, cwd, nofile=None, report_file=None):
        """The run gives the same output (and report file) in every mode;
        returns the output of the run without read-ahead."""
        results = {}
        for mode, value in MODES.items():
            code, out, err = run(args, drives, cwd, value, nofile)
            self.assertEqual((code, err), (0, ""), mode)
            if report_file is not None:
                with open(report_file, "rb") as f:
                    out += f.read().decode("latin-1")
            results[mode] = masked(out)
        for mode in MODES:
            self.assertEqual(results[mode], results["off"], "%s differs from off" % mode)
        return results["off"]

    def test_synthetic_tree_listing_files_and_condensed(self):
        tree = os.path.join(self.tmp, "bench")
        subprocess.run(["bash", os.path.join(harness.SHARED_DIR, "bench", "make-tree.sh"),
                        tree, "0.05"], check=True, stdout=subprocess.DEVNULL)
        write_settings(self.tmp, "showFiles=L\n")
        out = self.assertSameInEveryMode(["/L", "C:\\bench"], {"C": self.tmp}, self.tmp)
        self.assertGreater(out.count("\n"), 4000)  # every file and directory listed
        write_settings(self.tmp, "showFiles=N\n")
        self.assertSameInEveryMode(["/C", "C:\\bench"], {"C": self.tmp}, self.tmp)

    def test_deep_wide_empty_and_directories_not_entered(self):
        t = os.path.join(self.tmp, "t")
        spec = {"t/empty": None, "t/also empty/inner empty": None}
        chain = "t/deep"
        for level in range(140):   # runs past 259 characters
            chain += "/d"
            spec[chain + "/f"] = level
        chain = "t/long"
        for level in range(4):     # 100-character names cross the limit between levels
            chain += "/" + ("n%d" % level) * 50
            spec[chain + "/f"] = 7
        for i in range(5000):
            spec["t/wide/dir %04d" % i + ("/x" if i % 10 == 0 else "")] = None if i % 10 else i
        for size in range(7):
            spec["t/sizes/s%d" % size] = 1000 + size
        spec.update({"t/.dot/f": 5, "t/ctl\x01dir/f": 6, "t/back\\slash/f": 7, "t/ok/f": 8})
        harness.make_tree(self.tmp, spec)
        for i in range(15000):     # 20,000 entries in one directory, links made fast
            os.link(os.path.join(t, "sizes", "s%d" % (i % 7)),
                    os.path.join(t, "wide", "file %05d" % i))
        os.symlink("ok", os.path.join(t, "link"))
        os.chmod(os.path.join(t, "long"), 0)   # shuts out all but root
        write_settings(self.tmp, "showFiles=L\n")
        out = self.assertSameInEveryMode(["/L", "C:\\t"], {"C": self.tmp}, self.tmp)
        self.assertIn("C:\\t\\wide\\dir 4999", out)
        self.assertIn("C:\\t\\also empty\\inner empty", out)
        self.assertNotIn("C:\\t\\.dot", out)

    def test_directory_holding_pseudo_file_systems(self):
        self.assertSameInEveryMode(["/L", "Q:\\"], {"Q": "/proc"}, self.tmp)
        parent, points = pseudo_mount_parent()
        if parent is None:
            self.skipTest("no pseudo mount point below a small real directory here")
        self.assertSameInEveryMode(["/L", "P:\\"], {"P": parent}, self.tmp)
        if shutil.which("strace") is None:
            return
        log = os.path.join(self.tmp, "trace")
        env = dict(os.environ, FOLMAR_DRIVES="P=" + parent)
        env.pop("FOLMAR_READAHEAD", None)
        subprocess.run(["strace", "-f", "-qq", "-o", log, "-e", "trace=openat",
                        harness.FOLMAR, "/L", "P:\\"], cwd=self.tmp, env=env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, start_new_session=True, timeout=120)
        with open(log) as f:
            trace = f.read()
        for point in points:
            self.assertNotIn('"%s"' % os.path.basename(point), trace, point)

    def test_all_drives_run(self):
        harness.make_tree(self.tmp, {"c/a/b/f": 10, "c/a/g": 20, "c/x/y/z/h": 30,
                                     "d/p/q": 40, "d/r/s/t": 50, "o/keep": 0})
        write_settings(os.path.join(self.tmp, "o"),
                       "lineWidthPrint=78\noutputFile=O:\\out.txt\n")
        drives = {"C": os.path.join(self.tmp, "c") + ",fixed",
                  "D": os.path.join(self.tmp, "d") + ",fixed",
                  "O": os.path.join(self.tmp, "o") + ",removable"}
        out = self.assertSameInEveryMode(["/ALL"], drives, os.path.join(self.tmp, "o"),
                                         report_file=os.path.join(self.tmp, "o", "out.txt"))
        self.assertIn("D:\\r\\s", out)

    def test_few_file_descriptors(self):
        tree = os.path.join(self.tmp, "bench")
        subprocess.run(["bash", os.path.join(harness.SHARED_DIR, "bench", "make-tree.sh"),
                        tree, "0.02"], check=True, stdout=subprocess.DEVNULL)
        # 300 leaves a window of 44 directories; 64 leaves none: read-ahead off.
        for nofile in (300, 64):
            with self.subTest(nofile=nofile):
                self.assertSameInEveryMode(["/L", "C:\\bench"], {"C": self.tmp}, self.tmp,
                                           nofile=nofile)


if __name__ == "__main__":
    harness.main()
