"""Helpers of the end-to-end tests (each test_*.py is one CTest test; CTest
sets FOLMAR_BIN): trees in a temporary folder, the built program run with
drive letters mapped into it, no standard input and no controlling terminal,
what the machine decides (the clock, free space) masked."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
FOLMAR = os.environ.get("FOLMAR_BIN", os.path.join(HERE, "..", "..", "build", "folmar"))
READAHEAD_MODES = {"off": "0", "default": None, "four threads": "4"}
DATE = re.compile(r"\d\d-\d\d-\d{4} at \d\d:\d\d Hours")
SPACE = re.compile(r"^(   (?:Total Free Space|Free Space|Free space Avail\.|Capacity) *= )( *[\d,]+)(?=  \()",
                   re.M)
TOTAL = re.compile(r"^   (Number of Dirs\.|Number of Files|Allocation) += +([\d,*]+)", re.M)
# No user's settings file (the shared one is looked for there first): a test brings its own.
os.environ["XDG_CONFIG_HOME"] = "/dev/null"


def make_tree(root, tree):
    """tree maps relative paths to sizes (a sparse file) or None (a directory)."""
    for rel, size in tree.items():
        path = os.path.join(root, rel)
        os.makedirs(path if size is None else os.path.dirname(path), exist_ok=True)
        if size is not None:
            with open(path, "wb") as f:
                f.truncate(size)


def write_settings(directory, text):
    with open(os.path.join(directory, "Folmar.ini"), "w") as f:
        f.write("[Folmar settings]\n" + text)
    os.chmod(os.path.join(directory, "Folmar.ini"), 0o644)  # whatever the umask: others may not write it


def bench_tree(root, scale):
    """The benchmark's tree; the directories, entries and bytes its generator says a walk finds."""
    generator = os.path.join(HERE, "..", "..", "bench", "make-tree.py")
    out = subprocess.run([sys.executable, generator, root, str(scale)], check=True, stdout=subprocess.PIPE,
                         text=True).stdout
    return {key: int(value) for key, value in re.findall(r"^(\w+): +(\d+)$", out, re.M)}


def run_folmar(args, drives=None, cwd=None, readahead=None, preexec=None, stdout=subprocess.PIPE,
               command=(FOLMAR,), env=None):
    """(exit code, stdout, stderr) of command + args in a new session, with FOLMAR_DRIVES and
    FOLMAR_READAHEAD unless None, and the variables of env; preexec runs in the child first; stdout not
    piped gives ""."""
    env = dict(os.environ, FOLMAR_DRIVES=drives, FOLMAR_READAHEAD=readahead, **(env or {}))
    env = {key: value for key, value in env.items() if value is not None}
    proc = subprocess.run(list(command) + list(args), cwd=cwd, env=env, stdin=subprocess.DEVNULL, timeout=240,
                          stdout=stdout, stderr=subprocess.PIPE, preexec_fn=preexec, start_new_session=True)
    return proc.returncode, (proc.stdout or b"").decode("latin-1"), proc.stderr.decode("latin-1")


def masked(text):
    """The clock, and each free-space and capacity field as '#' of its width."""
    text = DATE.sub("MM-DD-YYYY at hh:mm Hours", text)
    return SPACE.sub(lambda m: m.group(1) + "#" * len(m.group(2)), text)


def totals(stdout):
    """(directories, files, bytes) of the totals block; a field of stars is None."""
    found = {key: value.replace(",", "") for key, value in TOTAL.findall(stdout)}
    return tuple(None if found[key].startswith("*") else int(found[key])
                 for key in ("Number of Dirs.", "Number of Files", "Allocation"))


def ncdu_figures(args):
    """(directories, files, apparent bytes of the files, their disk bytes, directories not read, directories
    excluded) of the export ncdu writes when run with args."""
    out = subprocess.run(["ncdu", "-o", "-"] + args, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
    return figures_of(json.loads(out.stdout.decode("utf-8", "surrogateescape")))


def figures_of(export):
    """The figures of ncdu_figures of a parsed ncdu export, a file with several names ("hlnkc") counted by its
    bytes once, by its device and inode, as ncdu counts it."""
    items, counts, linked = [(export[3], 0)], [0] * 6, set()
    while items:
        item, dev = items.pop()
        if isinstance(item, list):
            counts[0], counts[4] = counts[0] + 1, counts[4] + bool(item[0].get("read_error"))
            items.extend((child, item[0].get("dev", dev)) for child in item[1:])
        elif item.get("excluded"):
            counts[5] += 1
        else:
            counts[1] += 1
            if item.get("hlnkc"):
                if (item.get("dev", dev), item["ino"]) in linked:
                    continue
                linked.add((item.get("dev", dev), item["ino"]))
            counts[2:4] = counts[2] + item.get("asize", 0), counts[3] + item.get("dsize", 0)
    return tuple(counts)


def gdu_totals(args, directories):
    """gdu's apparent and disk totals when run with args, less the 4,096 bytes it gives each directory."""
    return tuple(int(subprocess.run(["gdu", "-n", "-p", "-s", "--no-prefix"] + flag + args, check=True,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE).stdout.split()[0]) -
                 4096 * directories for flag in (["-a"], []))


def imported(export):
    """An ncdu JSON export as ncdu and gdu read it: (directories, files, apparent bytes, disk bytes, directories
    not read) of ncdu's own export of it (ncdu -f -o), then gdu's apparent and disk totals (gdu -f) less the 4,096
    bytes gdu gives each directory. None when either is not installed."""
    if not (shutil.which("ncdu") and shutil.which("gdu")):
        return None
    counts = ncdu_figures(["-f", export])[:5]
    return counts + gdu_totals(["-f", export], counts[0])


class TreeTest(unittest.TestCase):
    """A test case with a fresh temporary folder in self.tmp."""
    maxDiff = None

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="folmar-e2e-")
        self.tmp = os.path.realpath(self._tmp.name)
        self.addCleanup(self._tmp.cleanup)


def main():
    unittest.main(verbosity=2)
