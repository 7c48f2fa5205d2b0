#!/usr/bin/env python3
"""run-wine.py: the Windows program's read-ahead under Wine, against its
sequential walk (FOLMAR_READAHEAD=0), on the benchmark tree at the scale of
about 50,000 files (make-tree.py 0.62), as drive D (fixed) and E (remote).
The two run alternating, the order rotated each round; it prints the
median wall times, the median of the paired ratios and the load average,
and checks that both reports are the same (free space aside).

What Wine shows: the program's own work and the round trips between a
program and the wine server, which a thread pool overlaps; the files are
local, so a share's network latency (the time a real share spends per
directory) is not in these figures, and a "remote" drive here is a local
folder that Windows calls remote.

Environment: FOLMAR_EXE (<repo>/build-win/folmar.exe), BENCH_DIR
(/tmp/folmar-bench), ROUNDS (5), READAHEAD (the read-ahead run's
FOLMAR_READAHEAD, unset by default).
Requires: wine (wine64), python3; the prefix is made and removed here."""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ENV = os.environ
EXE = os.path.abspath(ENV.get("FOLMAR_EXE", os.path.join(REPO, "build-win", "folmar.exe")))
BENCH_DIR = os.path.abspath(ENV.get("BENCH_DIR", "/tmp/folmar-bench"))
ROUNDS = int(ENV.get("ROUNDS", "5"))
WINE = os.path.join(REPO, "tests", "wine")
FREE = re.compile(rb"Free [Ss]pace[^\r\n]*")


def make_tree():
    tree, stamp = os.path.join(BENCH_DIR, "tree-wine"), os.path.join(BENCH_DIR, "tree-wine.made.txt")
    if not os.path.exists(stamp):
        shutil.rmtree(tree, ignore_errors=True)
        os.makedirs(BENCH_DIR, exist_ok=True)
        made = subprocess.run([sys.executable, os.path.join(REPO, "bench", "make-tree.py"), tree, "0.62"],
                              check=True, stdout=subprocess.PIPE, text=True).stdout
        with open(stamp, "w") as f:
            f.write(made)
    return tree, open(stamp).read().split()


def run(drive, readahead):
    """Wall seconds, masked report and exit code of one run."""
    env = dict(ENV)
    env.pop("FOLMAR_READAHEAD", None)
    if readahead is not None:
        env["FOLMAR_READAHEAD"] = readahead
    start = time.perf_counter()
    proc = subprocess.run(["sh", os.path.join(WINE, "wine-run.sh"), EXE, drive], env=env, cwd="/",
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start, FREE.sub(b"#", proc.stdout), proc.returncode


def main():
    if not os.path.exists(EXE):
        sys.exit("run-wine.py: %s not found (bash tests/wine/run-wine-tests.sh builds it)" % EXE)
    tree, figures = make_tree()
    prefix = tempfile.mkdtemp(prefix="folmar-wine-bench.")
    ENV["WINEPREFIX"] = os.path.join(prefix, "pfx")
    try:
        subprocess.run(["bash", os.path.join(WINE, "wine-prefix.sh"), ENV["WINEPREFIX"], "win10",
                        "D=" + tree, "E=%s,remote" % tree], check=True, stdout=subprocess.DEVNULL)
        print("%s\ntree %s: %s" % (EXE, tree, " ".join(figures)))
        modes = [("sequential", "0"), ("read-ahead", ENV.get("READAHEAD"))]
        for drive in ("D:\\", "E:\\"):
            times, reports = {m: [] for m, _ in modes}, set()
            for mode, value in modes:
                run(drive, value)  # warm-up
            load = open("/proc/loadavg").read().split()[0]
            for i in range(ROUNDS):
                for mode, value in modes[i % 2:] + modes[:i % 2]:
                    wall, report, code = run(drive, value)
                    times[mode].append(wall)
                    reports.add((report, code))
            ratio = statistics.median(a / b for a, b in zip(times["read-ahead"], times["sequential"]))
            print("%s  load %s..%s  sequential %.3f s  read-ahead %.3f s  read-ahead / sequential %.3f  %s" % (
                drive, load, open("/proc/loadavg").read().split()[0], statistics.median(times["sequential"]),
                statistics.median(times["read-ahead"]), ratio,
                "same report" if len(reports) == 1 else "REPORTS DIFFER"))
            if len(reports) != 1:
                sys.exit(1)
    finally:
        subprocess.run(["bash", os.path.join(WINE, "wine-prefix.sh"), ENV["WINEPREFIX"], "stop"])
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    main()
