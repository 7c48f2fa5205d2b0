"""Shared helpers of the end-to-end tests: build trees in a temporary folder,
run the real program with drive letters mapped into it (FOLMAR_DRIVES), with
standard input from /dev/null and no controlling terminal, and compare what
it wrote line by line.

Each test_*.py file is one CTest test; run it directly with FOLMAR_BIN set to
the program (CTest sets it)."""

import os
import re
import subprocess
import sys
import tempfile
import unittest

FOLMAR = os.environ.get("FOLMAR_BIN", os.path.join(
    os.path.dirname(__file__), "..", "..", "build", "folmar"))
SOURCE_DIR = os.environ.get("FOLMAR_SOURCE_DIR", os.path.join(
    os.path.dirname(__file__), "..", ".."))
SHARED_DIR = os.path.abspath(os.path.join(SOURCE_DIR, "..", "shared"))


def make_tree(root, tree):
    """tree maps relative paths to sizes (int: a sparse file of that size) or
    None (a directory). Parents are created as needed."""
    for rel, size in tree.items():
        path = os.path.join(root, rel)
        if size is None:
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                if size:
                    f.truncate(size)


def run_folmar(args, drives=None, cwd=None, stdin_data=None, env_extra=None,
               timeout=120, preexec=None, stdout=subprocess.PIPE):
    """Runs the program; returns (exit code, stdout text, stderr text).
    drives: dict letter -> directory or (directory, type); preexec: run in
    the child before the program (limits, signals); stdout: where standard
    output goes (its text is then "")."""
    env = dict(os.environ)
    env.pop("FOLMAR_DRIVES", None)
    if drives is not None:
        parts = []
        for letter, target in drives.items():
            if isinstance(target, tuple):
                parts.append("%s=%s,%s" % (letter, target[0], target[1]))
            else:
                parts.append("%s=%s" % (letter, target))
        env["FOLMAR_DRIVES"] = ";".join(parts)
    if env_extra:
        env.update(env_extra)
    feed = {"input": stdin_data.encode("latin-1")} if stdin_data is not None \
        else {"stdin": subprocess.DEVNULL}
    proc = subprocess.run([FOLMAR] + list(args), cwd=cwd, env=env,
                          stdout=stdout, stderr=subprocess.PIPE, preexec_fn=preexec,
                          start_new_session=True, timeout=timeout, **feed)
    return (proc.returncode, (proc.stdout or b"").decode("latin-1"),
            proc.stderr.decode("latin-1"))


def report_lines(stdout):
    """The report part of a single-path run: the lines after the banner,
    from the column header on."""
    lines = stdout.split("\n")
    for i, line in enumerate(lines):
        if line.startswith("Directory Drive "):
            return lines[i:]
    return []


LEADER = re.compile(r"^(\S.*?)\.+ ([\d,]+)$")
TOTAL = re.compile(r"^   (Number of Dirs\.|Number of Files|Allocation) += +([\d,*]+)")


def dir_sizes(stdout):
    """(path, bytes) of every one-line directory line of a single-path report,
    in report order."""
    result = []
    for line in report_lines(stdout)[2:]:
        match = LEADER.match(line)
        if match:
            result.append((match.group(1), int(match.group(2).replace(",", ""))))
    return result


def totals(stdout):
    """(directories, files, bytes) of the totals block; a field of stars is None."""
    found = {m.group(1): m.group(2).replace(",", "")
             for m in map(TOTAL.match, stdout.split("\n")) if m}
    return tuple(None if found[key].startswith("*") else int(found[key])
                 for key in ("Number of Dirs.", "Number of Files", "Allocation"))


class TreeTest(unittest.TestCase):
    """A test case with a fresh temporary folder in self.tmp."""

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="folmar-e2e-")
        self.tmp = os.path.realpath(self._tmp.name)

    def tearDown(self):
        # Make everything removable again (tests may chmod 000).
        for dirpath, dirnames, _ in os.walk(self.tmp):
            for d in dirnames:
                try:
                    os.chmod(os.path.join(dirpath, d), 0o755)
                except OSError:
                    pass
        self._tmp.cleanup()

    def assertLinesEqual(self, got, expected):
        """Line by line, with the first difference named."""
        for i, (g, e) in enumerate(zip(got, expected)):
            self.assertEqual(g, e, "line %d differs:\n got: %r\nwant: %r" % (i + 1, g, e))
        self.assertEqual(len(got), len(expected),
                         "line counts differ:\n got: %r\nwant: %r" % (got, expected))


def main():
    unittest.main(verbosity=2)
