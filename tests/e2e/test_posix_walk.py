"""The walk over a real Linux tree: links are never followed and count with
their own size, dot-directories are skipped and dot-files counted, names that
Windows could not hold never corrupt the report nor lead into a wrong
directory, pseudo file systems are not entered, each directory is read once,
and the totals agree with the reference walker of the benchmark kit."""

import os
import re
import shutil
import subprocess

import harness



def dir_sizes(stdout):
    """{path: bytes} of the directory lines of a single-path report."""
    return dict(harness.dir_sizes(stdout))


totals = harness.totals


def show_files(directory):
    """A settings file that lists file names, in the working directory."""
    with open(os.path.join(directory, "Folmar.ini"), "w") as f:
        f.write("[Folmar settings]\nshowFiles=L\n")


class LinksAndDots(harness.TreeTest):

    def test_links_count_their_own_size_and_dot_directories_are_skipped(self):
        harness.make_tree(self.tmp, {
            "t/real/big.bin": 1 << 20,
            "t/.cache/hidden.bin": 5000,
            "t/.cache/sub/more.bin": 6000,
            "t/.dotfile": 11,
        })
        t = os.path.join(self.tmp, "t")
        os.symlink("real", os.path.join(t, "dirlink"))          # 4 bytes, not entered
        os.symlink("real/big.bin", os.path.join(t, "filelink"))  # 12 bytes, not followed
        os.symlink("nowhere/at/all", os.path.join(t, "dangling"))  # 14 bytes
        os.symlink("..", os.path.join(t, "real", "up"))         # 2 bytes, a loop if followed
        code, out, _ = harness.run_folmar(["/L", "C:\\t"], drives={"C": self.tmp}, cwd=self.tmp)
        self.assertEqual(code, 0)
        self.assertEqual(dir_sizes(out), {"C:\\t": 11 + 4 + 12 + 14, "C:\\t\\real": (1 << 20) + 2})
        self.assertEqual(totals(out), (2, 6, 11 + 4 + 12 + 14 + (1 << 20) + 2))

    def test_link_to_a_directory_given_as_drive_is_followed(self):
        harness.make_tree(self.tmp, {"real/a/f": 9})
        os.symlink(os.path.join(self.tmp, "real"), os.path.join(self.tmp, "alias"))
        code, out, _ = harness.run_folmar(["C:\\"], drives={"C": os.path.join(self.tmp, "alias")},
                                          cwd=self.tmp)
        self.assertEqual(code, 0)
        self.assertEqual(dir_sizes(out), {"C:\\": 0, "C:\\a": 9})


class UnsafeNames(harness.TreeTest):
    """Names with a control character or a backslash: shown with '?', such a
    directory counted but never entered, and a sibling really called "a?b"
    walked once, as itself."""

    def setUp(self):
        super().setUp()
        harness.make_tree(self.tmp, {
            "t/a\x01b/inside.bin": 1000,        # shown as a?b, cannot be entered
            "t/a?b/real.bin": 20,               # a real directory of that name
            "t/back\\slash/inside.bin": 3000,   # shown as back?slash
            "t/line\nfeed.txt": 7,
            "t/tab\there.txt": 5,
            "t/esc\x1b[2J.txt": 3,
        })
        show_files(self.tmp)

    def test_report_has_no_control_character_and_enters_no_wrong_directory(self):
        code, out, _ = harness.run_folmar(["/L", "C:\\t"], drives={"C": self.tmp}, cwd=self.tmp)
        self.assertEqual(code, 0)
        self.assertIsNone(re.search(r"[\x00-\x09\x0b-\x1f\x7f]", out), repr(out))
        self.assertEqual(dir_sizes(out), {"C:\\t": 15, "C:\\t\\a?b": 20})
        self.assertEqual(totals(out), (4, 4, 35))
        listed = out.split("\n")
        for name in ["line?feed.txt", "tab?here.txt", "esc?[2J.txt", "real.bin"]:
            self.assertEqual(listed.count(name), 1, name)
        self.assertNotIn("inside.bin", listed)

    def test_unsafe_target_is_not_entered(self):
        code, out, _ = harness.run_folmar(["/L", "C:\\t\\back\\slash"], drives={"C": self.tmp},
                                          cwd=self.tmp)
        self.assertEqual(code, 0)
        self.assertEqual(dir_sizes(out), {})


class PseudoFileSystems(harness.TreeTest):

    def test_pseudo_file_system_cannot_be_opened(self):
        for target in ["P:\\", "P:\\self", "P:\\sys"]:
            with self.subTest(target=target):
                code, out, _ = harness.run_folmar(["/L", target], drives={"P": "/proc"},
                                                  cwd=self.tmp)
                self.assertEqual(code, 0)
                self.assertEqual(dir_sizes(out), {})
                self.assertEqual(totals(out), (1, 0, 0))

    def test_pseudo_mount_points_inside_a_walked_directory_are_counted_not_entered(self):
        pseudo = {"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "mqueue",
                  "securityfs", "debugfs", "tracefs", "pstore", "bpf", "configfs",
                  "hugetlbfs", "fusectl", "binfmt_misc", "autofs", "efivarfs"}
        mounts = {}
        with open("/proc/self/mountinfo") as f:
            for line in f:
                fields = line.split()
                mounts[fields[4]] = fields[fields.index("-") + 1]

        def fs_of(path):
            holder = max((m for m in mounts if path == m or path.startswith(m.rstrip("/") + "/")),
                         key=len)
            return mounts[holder]
        # A small directory on a real file system holding a pseudo mount point.
        parents = sorted({os.path.dirname(m) for m, t in mounts.items() if t in pseudo},
                         key=lambda p: (p.count("/"), p))
        parents = [p for p in parents if p != "/" and fs_of(p) not in pseudo
                   and len(os.listdir(p)) < 50]
        if not parents:
            self.skipTest("no pseudo mount point below a small real directory here")
        parent = parents[0]
        children = [e.name for e in os.scandir(parent)
                    if e.is_dir(follow_symlinks=False) and not e.name.startswith(".")]
        walked = [c for c in children if mounts.get(os.path.join(parent, c)) not in pseudo]
        code, out, _ = harness.run_folmar(["/L", "C:" + parent.replace("/", "\\")],
                                          drives={"C": "/"}, cwd=self.tmp)
        self.assertEqual(code, 0)
        lines = dir_sizes(out)
        for child in children:
            shown = "C:" + os.path.join(parent, child).replace("/", "\\")
            self.assertEqual(shown in lines, child in walked, shown)
        self.assertGreaterEqual(totals(out)[0], 1 + len(children))


CALL = re.compile(r"^(\d+)\s+(\w+)\((.*)")
FIRST_NAME = re.compile(r'^[^"]*"((?:[^"\\]|\\.)*)"')


class ReadOnce(harness.TreeTest):
    """Each directory is read from the file system once, whatever the
    spelling of the target; each file is stat'ed once. Without read-ahead
    directories are never stat'ed; with it, a directory read ahead is
    stat'ed once by the thread that read it and once by the walk, which
    checks that it is still the same, and other threads do the reading."""

    def setUp(self):
        super().setUp()
        if shutil.which("strace") is None:
            self.skipTest("strace is not installed")
        tree = {"Empty": None}
        for d in range(12):
            for f in range(d % 4):
                tree["Tree/d%02d/sub/f%02d_%d" % (d, d, f)] = 10 + f
            tree["Tree/d%02d/sub/deeper" % d] = None
        harness.make_tree(self.tmp, tree)
        self.below, self.files = 12 * 3, sum(d % 4 for d in range(12))
        self.fileless = 12 + 3 + 12  # d.., the subs without files, deeper
        self.file_names = ["f%02d_%d" % (d, f) for d in range(12) for f in range(d % 4)]

    def syscalls(self, target, readahead):
        """Counts of the traced calls, the names each call was given (by
        call), and the threads that called getdents64."""
        log = os.path.join(self.tmp, "trace")
        env = dict(os.environ, FOLMAR_DRIVES="C=" + self.tmp)
        if not readahead:
            env["FOLMAR_READAHEAD"] = "0"
        else:
            env.pop("FOLMAR_READAHEAD", None)
        proc = subprocess.run(["strace", "-f", "-qq", "-o", log,
                               "-e", "trace=getdents64,newfstatat,fstatat64,statx,stat,lstat,openat",
                               harness.FOLMAR, "/L", target],
                              cwd=self.tmp, env=env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              start_new_session=True, timeout=120)
        if proc.returncode != 0:
            self.skipTest("strace cannot trace here")
        counts = {"getdents64": 0, "stat": 0, "openat": 0}
        names = {"stat": [], "openat": []}
        readers = set()
        with open(log) as f:
            for line in f:
                match = CALL.match(line)
                if not match:
                    continue  # the second half of a call another thread interrupted
                pid, call, args = match.groups()
                kind = call if call in ("getdents64", "openat") else "stat" if "stat" in call else None
                if kind is None:
                    continue
                counts[kind] += 1
                if kind == "getdents64":
                    readers.add(pid)
                else:
                    name = FIRST_NAME.match(args)
                    names[kind].append(name.group(1) if name else None)
        os.remove(log)
        return counts, names, readers

    def test_each_directory_is_read_once_however_the_target_is_spelled(self):
        base, _, _ = self.syscalls("C:\\Empty", readahead=False)
        exact, _, _ = self.syscalls("C:\\Tree", readahead=False)
        other, _, _ = self.syscalls("c:\\TREE", readahead=False)
        below, files = self.below, self.files
        # Beyond the run over an empty directory: per directory below the
        # target one open and two getdents64 (the last returns nothing), per
        # file one stat, and one for a directory without files, to know that
        # it can be searched.
        self.assertEqual({call: exact[call] - base[call] for call in base},
                         {"getdents64": 2 * below, "openat": below,
                          "stat": files + self.fileless})
        # Another spelling costs a constant: one look-up in the tree's parent.
        for call in exact:
            self.assertLessEqual(other[call] - exact[call], 3, (call, exact, other))

    def test_read_ahead_reads_each_directory_once_and_stats_each_file_once(self):
        base, base_names, _ = self.syscalls("C:\\Empty", readahead=True)
        exact, names, readers = self.syscalls("C:\\Tree", readahead=True)
        below, files = self.below, self.files
        self.assertEqual(exact["getdents64"] - base["getdents64"], 2 * below)
        self.assertEqual(exact["openat"] - base["openat"], below)
        for name in ["d%02d" % d for d in range(12)] + ["sub", "deeper"]:
            opened = names["openat"].count(name)
            self.assertEqual(opened, 12 if name in ("sub", "deeper") else 1, name)
        for name in self.file_names:
            self.assertEqual(names["stat"].count(name), 1, name)
        # Beyond the files: per directory at most the reading thread's look
        # at what it opened and the walk's check by name.
        def by_name(found):
            return len([n for n in found["stat"] if n not in ("", ".", None)])
        self.assertLessEqual(by_name(names) - by_name(base_names) - files, below)
        self.assertLessEqual(exact["stat"] - base["stat"], files + 2 * below)
        self.assertGreater(len(readers), 1, "no directory was read by another thread")


class AgreesWithOracle(harness.TreeTest):

    def test_totals_equal_the_reference_walker_on_a_synthetic_tree(self):
        bench = os.path.join(harness.SHARED_DIR, "bench")
        tree = os.path.join(self.tmp, "bench")
        subprocess.run(["bash", os.path.join(bench, "make-tree.sh"), tree, "0.02"],
                       check=True, stdout=subprocess.DEVNULL)
        oracle = subprocess.run(["bash", os.path.join(bench, "oracle.sh"), tree],
                                check=True, stdout=subprocess.PIPE, text=True).stdout
        figures = dict(re.findall(r"^(directories|entries|bytes):\s+(\d+)", oracle, re.M))
        code, out, _ = harness.run_folmar(["/L", "C:\\bench"], drives={"C": self.tmp},
                                          cwd=self.tmp)
        self.assertEqual(code, 0)
        self.assertEqual(totals(out), (int(figures["directories"]) + 1,
                                       int(figures["entries"]), int(figures["bytes"])))
        # The directory lines (wrapped ones too) add up to the allocation.
        sizes = re.findall(r"\.+ ([\d,]+)$", "\n".join(harness.report_lines(out)), re.M)
        self.assertEqual(len(sizes), int(figures["directories"]) + 1)
        self.assertEqual(sum(int(s.replace(",", "")) for s in sizes), int(figures["bytes"]))


if __name__ == "__main__":
    harness.main()
