#!/usr/bin/env python3
"""run-speed.py: folmar's speed as users meet it, as ratios to its peers and
to a floor walker (bench/floor/floor-walk.cpp), each against its goal.

Every phase runs its commands alternating, the order rotated each round, and
compares them round by round (medians of the paired ratios). Folmar runs with
read-ahead on and off (FOLMAR_READAHEAD=0), drive C mapped to the tree and
"C:\\" as the target; with FOLMAR_B, a second build (e.g. main) runs beside
it, and each goal is shown "before" (FOLMAR_B) and "after" (FOLMAR), each
with its read-ahead-off figure. The totals of every folmar and floor run are
checked against the figures the tree was made with (a goal figure of a build
whose totals were wrong says so; the FOLMAR_B build may instead have the
figures of a walk that passes over dot-directories, as builds before
2026-12 did), and every report of one build must be the
same, read-ahead on or off (free space aside). Each phase says how busy the
machine was meanwhile: the load average and the cores that work outside the
benchmark kept busy. Wall times include starting the program under GNU time,
CPU times GNU time's own (about 2 ms), alike for every command.

Phases (PHASES, in this order by default: scale1 scale10 busy cold shapes):
  scale1, scale10  the benchmark tree (make-tree.py), warm: CPU (user + sys)
                   / du -s <= 0.85, wall / the 2-thread floor <= 1.15;
                   scale 10 also peak RSS <= 16 MiB
  busy             scale 1 with BUSY_PROCS (2) CPU-bound processes beside it:
                   no slower than read-ahead off, du -s, ncdu -0 -o /dev/null
  cold             scale 1, the page cache dropped before every run (root
                   only; it drops the whole machine's cache): wall <= 1.15 x
                   the best floor with 4, 8 or 16 reads in flight
  shapes           wide (200,000 empty subfolders), chain129 (129 levels of
                   100 files each, paths up to 258 characters), chain2000
                   (2,000 such levels, paths up to 4,000 characters),
                   files300k (300,000 files): no slower than du -s and than
                   read-ahead off; each may be named in PHASES on its own
  files1m          (only when named) 1,000,000 files: peak RSS <= du -s's

Trees are made once under BENCH_DIR and kept (scale 10 needs ~1.2 million
inodes, wide ~0.9 GB, files1m 1 million inodes); free inodes and space are
checked first. Delete BENCH_DIR to get the room back.

Environment: FOLMAR (<repo>/build/folmar, a Release build), FOLMAR_B (unset),
  BENCH_DIR (/tmp/folmar-bench), PHASES, ROUNDS (7: scale1, busy), ROUNDS10 (3),
  COLD_ROUNDS (3), SHAPE_ROUNDS (3), WARMUP (1 untimed round before each warm
  phase), BUSY_PROCS (2), CXX (c++, builds the floor walker).
Requires: python3, a C++17 compiler, du; ncdu for the busy phase.
Exit code 1 when a total, a report or an exit code was wrong (not for a goal
that is not met: that is a measurement)."""

import hashlib
import os
import re
import resource
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ENV = os.environ
FOLMAR = os.path.abspath(ENV.get("FOLMAR", os.path.join(REPO, "build", "folmar")))
FOLMAR_B = os.path.abspath(ENV["FOLMAR_B"]) if ENV.get("FOLMAR_B") else None
BENCH_DIR = os.path.abspath(ENV.get("BENCH_DIR", "/tmp/folmar-bench"))
WARMUP = int(ENV.get("WARMUP", "1"))
BUSY_PROCS = int(ENV.get("BUSY_PROCS", "2"))
TIME = "/usr/bin/time"
SHAPES = ["wide", "chain129", "chain2000", "files300k"]

# name: (maker arguments, inodes and bytes it needs)
TREES = {
    "tree-s1": (["make-tree.py", "1"], 115000, 60 << 20),
    "tree-s10": (["make-tree.py", "10"], 1150000, 600 << 20),
    "wide": (["make-shape.py", "wide", "200000"], 200100, 900 << 20),
    "chain129": (["make-shape.py", "chain", "129", "100"], 13100, 4 << 20),
    "chain2000": (["make-shape.py", "chain", "2000", "100"], 202100, 60 << 20),
    "files300k": (["make-shape.py", "files", "300000"], 300100, 40 << 20),
    "files1m": (["make-shape.py", "files", "1000000"], 1000100, 120 << 20),
}

TOTAL = re.compile(r"^   (Number of Dirs\.|Number of Files|Allocation) += +([\d,]+)", re.M)
FREE = re.compile(r"^(   (?:Total )?Free (?:S|s)pace(?: Avail\.)? *= *)[\d,]+", re.M)
FIGURE = re.compile(r"^(directories|entries|bytes):\s+(\d+)$", re.M)
DOTLESS = re.compile(r"^dotless (directories|entries|bytes):\s+(\d+)$", re.M)

problems = []        # what was wrong: the exit code says so
goal_lines = []      # each goal's line, for the summary at the end
children = set()     # running processes to end when the run is cut short


# ---- trees ----

def write_stamp(stamp, made):
    with open(stamp + ".tmp", "w") as f:
        f.write(made)
    os.rename(stamp + ".tmp", stamp)


def make_tree(name):
    """Makes BENCH_DIR/name once; its stamp NAME.made2.txt holds the figures
    it was made with (directories below it, other entries, their bytes; for
    make-tree.py's trees also those of a walk that passes over
    dot-directories). A tree made before dot-directories were counted (only
    its stamp NAME.made.txt) gets its figures worked out again without being
    made again; a fresh tree gets both stamps, the older with the figures
    that older scripts check."""
    tree, old = os.path.join(BENCH_DIR, name), os.path.join(BENCH_DIR, name + ".made.txt")
    stamp = os.path.join(BENCH_DIR, name + ".made2.txt")
    maker, inodes, space = TREES[name]
    script = [sys.executable, os.path.join(REPO, "bench", maker[0])]
    if not os.path.exists(stamp) and os.path.exists(old):
        if maker[0] == "make-tree.py":
            write_stamp(stamp, subprocess.run(script + ["--figures", tree] + maker[1:], check=True,
                                              stdout=subprocess.PIPE, text=True).stdout)
        else:  # a shape holds no dot-directory
            write_stamp(stamp, open(old).read())
    if not os.path.exists(stamp):
        os.makedirs(BENCH_DIR, exist_ok=True)
        fs = os.statvfs(BENCH_DIR)
        if fs.f_favail < inodes + 50000 or fs.f_bavail * fs.f_frsize < space + (1 << 30):
            sys.exit("run-speed.py: too little room in %s for %s (%d inodes, %d MiB needed; "
                     "%d inodes, %d MiB free)" % (BENCH_DIR, name, inodes, space >> 20,
                                                  fs.f_favail, fs.f_bavail * fs.f_frsize >> 20))
        shutil.rmtree(tree, ignore_errors=True)
        print("making %s in %s ..." % (name, tree), flush=True)
        made = subprocess.run(script + [tree] + maker[1:], check=True, stdout=subprocess.PIPE, text=True).stdout
        write_stamp(old, "".join("%s: %s\n" % pair for pair in (DOTLESS.findall(made) or FIGURE.findall(made))))
        write_stamp(stamp, made)
    text = open(stamp).read()
    figures = {k: int(v) for k, v in FIGURE.findall(text)}
    figures["dotless"] = {k: int(v) for k, v in DOTLESS.findall(text)} or dict(figures)
    return tree, figures


# ---- commands ----

def build_floor(work):
    binary = os.path.join(work, "floor-walk")
    source = os.path.join(REPO, "bench", "floor", "floor-walk.cpp")
    subprocess.run([ENV.get("CXX", "c++"), "-std=c++17", "-O2", "-pthread", "-o", binary, source], check=True)
    return binary


def folmar_commands():
    """(label, argv, environment changes, build) of each folmar run."""
    builds = [("after", FOLMAR), ("before", FOLMAR_B)] if FOLMAR_B else [("folmar", FOLMAR)]
    commands = []
    for build, binary in builds:
        commands.append((build, [binary, "C:\\"], {}, build))
        commands.append((build + "-off", [binary, "C:\\"], {"FOLMAR_READAHEAD": "0"}, build))
    return commands


def peer_command(peer, tree, floor):
    if peer == "du-s":
        return ["du", "-s", "--apparent-size", "-B1", tree]
    if peer == "ncdu":
        return ["ncdu", "-0", "-o", "/dev/null", tree]
    threads, _, split = peer[len("floor"):].partition("-")
    return [floor, threads] + (["--split"] if split else []) + [tree]


def run(argv, changes, out, err):
    """Runs argv once under GNU time, in a session of its own (no terminal
    to wait on), stdin /dev/null; returns (wall s, CPU s, peak RSS KiB, exit
    code). The peak RSS is time's figure: a process started straight from
    here would inherit this one's peak."""
    env = dict(ENV, LC_ALL="C")
    env.pop("FOLMAR_READAHEAD", None)
    env.update(changes)
    actions = [(os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0),
               (os.POSIX_SPAWN_OPEN, 1, out, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
               (os.POSIX_SPAWN_OPEN, 2, err, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)]
    timed = [TIME, "-f", "%M", "-o", err + ".rss"] + argv
    start = time.perf_counter()
    pid = os.posix_spawn(TIME, timed, env, file_actions=actions, setsid=True)
    children.add(pid)
    _, status, usage = os.wait4(pid, 0)
    children.discard(pid)
    wall = time.perf_counter() - start
    rss = int(open(err + ".rss").read().split()[-1])
    return wall, usage.ru_utime + usage.ru_stime, rss, os.waitstatus_to_exitcode(status)


def drop_caches(files):
    """Drops the page cache, then reads `files` (a program and its
    libraries) back, so that a cold run times the walk, not the loading."""
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3")
    for path in files:
        with open(path, "rb") as f:
            while f.read(1 << 20):
                pass


def program_files(argv):
    binary = shutil.which(argv[0])
    listing = subprocess.run(["ldd", binary], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
    return [binary] + re.findall(r"=> (/\S+)", listing)


# ---- checks ----

def faults_of(label, build, out, err, code, want, digests):
    """The faults of one run, as (kind, text): its exit code; folmar's totals
    against the tree's figures (the target counts as a directory) and its
    report against the build's first (digests: build -> digest); a floor's
    totals against the figures."""
    faults = []
    if code != 0:
        faults.append(("exit", "exited with %d: %s" % (code, open(err, errors="replace").readline().strip())))
    if build:
        text = open(out, encoding="latin-1").read()
        got = [int(v.replace(",", "")) for _, v in TOTAL.findall(text)]
        expected = [want["directories"] + 1, want["entries"], want["bytes"]]
        dotless = want["dotless"]
        older = [dotless["directories"] + 1, dotless["entries"], dotless["bytes"]]
        if got != expected and not (build == "before" and got == older):
            faults.append(("totals", "reports dirs/files/bytes %s, the tree holds %s" % (
                "/".join(map(str, got)) or "none", "/".join(map(str, expected)))))
        digest = hashlib.sha256(FREE.sub(r"\1#", text).encode("latin-1")).hexdigest()
        if digests.setdefault(build, digest) != digest:
            faults.append(("report", "report differs from %s's first one (read-ahead on and off)" % build))
    elif label.startswith("floor"):
        got = {k: int(v) for k, v in FIGURE.findall(open(out).read())}
        if got != {k: want[k] for k in ("directories", "entries", "bytes")}:
            faults.append(("totals", "counts %s, the tree holds %s" % (got, dict(want, dotless=None))))
    return faults


# ---- the machine meanwhile ----

def busy_ticks():
    fields = open("/proc/stat").readline().split()
    return sum(int(fields[i]) for i in (1, 2, 3, 6, 7, 8))  # user nice system irq softirq steal


def load_average():
    return float(open("/proc/loadavg").read().split()[0])


def start_busy(count):
    return [os.posix_spawn(sys.executable, [sys.executable, "-c", "while True: pass"], dict(ENV))
            for _ in range(count)]


def stop_busy(pids):
    """Ends the busy processes; returns the CPU seconds they used."""
    used = 0.0
    for pid in pids:
        os.kill(pid, signal.SIGTERM)
        used += sum(os.wait4(pid, 0)[2][:2])
    return used


# ---- phases ----

def run_phase(phase, tree_name, rounds, peers, work, floor, busy=False, cold=False):
    """Runs every command of the phase once per round and returns
    ({label: [(wall, cpu, rss), ...]}, round i of each command at index i;
    the folmar builds whose totals were wrong)."""
    tree, want = make_tree(tree_name)
    commands = [(label, argv, dict(changes, FOLMAR_DRIVES="C=" + tree, XDG_CONFIG_HOME=work), build)
                for label, argv, changes, build in folmar_commands()]
    commands += [(peer, peer_command(peer, tree, floor), {}, None) for peer in peers]
    preload = {label: program_files(argv) for label, argv, _, _ in commands} if cold else {}
    digests, told, wrong, known = {}, set(), set(), len(problems)
    results = {label: [] for label, _, _, _ in commands}
    out, err = os.path.join(work, "out"), os.path.join(work, "err")
    hogs = start_busy(BUSY_PROCS) if busy else []
    try:
        if hogs:
            time.sleep(1)
        for _ in range(0 if cold else WARMUP):
            for label, argv, changes, build in commands:
                run(argv, changes, out, err)
        load_start, ticks, wall_start = load_average(), busy_ticks(), time.perf_counter()
        own_start = resource.getrusage(resource.RUSAGE_SELF)
        for i in range(rounds):
            for label, argv, changes, build in commands[i % len(commands):] + commands[:i % len(commands)]:
                if cold:
                    drop_caches(preload[label])
                wall, cpu, rss, code = run(argv, changes, out, err)
                for kind, fault in faults_of(label, build, out, err, code, want, digests):
                    if kind == "totals" and build:
                        wrong.add(build)
                    if (label, fault) not in told:
                        told.add((label, fault))
                        problems.append("%s: %s %s" % (phase, label, fault))
                results[label].append((wall, cpu, rss))
        elapsed, ticks = time.perf_counter() - wall_start, busy_ticks() - ticks
        own = resource.getrusage(resource.RUSAGE_SELF)
    finally:
        hog_cpu = stop_busy(hogs)
    measured = sum(cpu for rows in results.values() for _, cpu, _ in rows)
    measured += own.ru_utime + own.ru_stime - own_start.ru_utime - own_start.ru_stime
    others = max(0.0, ticks / os.sysconf("SC_CLK_TCK") - measured - hog_cpu) / elapsed
    print("\n== %s: %s, %d rounds%s; load average %.2f at start, %.2f at end; other work kept "
          "%.2f of %d cores busy%s" % (
              phase, tree_name, rounds, ", page cache dropped before each run" if cold else ", warm",
              load_start, load_average(), others, os.cpu_count(), (
                  "; the %d busy processes %.2f" % (len(hogs), hog_cpu / elapsed)) if hogs else ""))
    print_table(results)
    for problem in problems[known:]:
        print("  PROBLEM: " + problem)
    return results, wrong


def paired(results, a, b, metric):
    """Median over rounds of a's metric / b's in the same round; b may be a
    list of labels, whose best (least) value in each round counts."""
    b = b if isinstance(b, list) else [b]
    return statistics.median(row[metric] / min(results[x][i][metric] for x in b)
                             for i, row in enumerate(results[a]))


def peak_mib(results, label):
    return max(rss for _, _, rss in results[label]) / 1024


def print_table(results):
    print("  %-12s %8s %8s %8s %8s %8s %8s %9s" % (
        "command", "wall s", "min s", "max s", "CPU s", "wall/du", "CPU/du", "peak RSS"))
    for label, rows in results.items():
        walls = [wall for wall, _, _ in rows]
        print("  %-12s %8.3f %8.3f %8.3f %8.3f %8.2f %8.2f %5.1f MiB" % (
            label, statistics.median(walls), min(walls), max(walls),
            statistics.median(cpu for _, cpu, _ in rows), paired(results, label, "du-s", 0),
            paired(results, label, "du-s", 1), peak_mib(results, label)))


def goal(phase, measured, text, limit, value_of, unit="", off=True):
    """One goal line: value_of(results, command) for each folmar build, met
    when it is at most `limit`, with the build's read-ahead-off figure beside
    it unless `off` is false; a build whose totals were wrong in the phase
    is marked so, for its times are not of the whole tree."""
    results, wrong = measured
    digits = 1 if unit else 3
    cells = []
    for build in ["before", "after"] if FOLMAR_B else ["folmar"]:
        value = value_of(results, build)
        cells.append("%s %.*f%s %s%s%s" % (
            build, digits, value, unit, "met" if value <= limit else "NOT MET",
            " (off %.*f%s)" % (digits, value_of(results, build + "-off"), unit) if off else "",
            " (wrong totals)" if build in wrong else ""))
    line = "%-46s <= %-9s %s" % (text, "%g%s" % (limit, unit), "   ".join(cells))
    goal_lines.append("%-10s %s" % (phase, line))
    print("  " + line)


def phase_warm(phase, tree_name, rounds, work, floor):
    results = run_phase(phase, tree_name, rounds, ["du-s", "floor2"], work, floor)
    goal(phase, results, "CPU (user+sys) folmar / du -s", 0.85, lambda r, c: paired(r, c, "du-s", 1))
    goal(phase, results, "wall folmar / 2-thread floor", 1.15, lambda r, c: paired(r, c, "floor2", 0))
    if tree_name == "tree-s10":
        goal(phase, results, "peak RSS folmar", 16, peak_mib, " MiB")


def phase_busy(work, floor, rounds):
    if not shutil.which("ncdu"):
        print("\n== busy: left out, ncdu is not installed (Debian package ncdu)")
        return
    results = run_phase("busy", "tree-s1", rounds, ["du-s", "ncdu"], work, floor, busy=True)
    for peer, text in ((None, "read-ahead off"), ("du-s", "du -s"), ("ncdu", "ncdu -0 -o /dev/null")):
        goal("busy", results, "wall folmar / " + text, 1.0,
             lambda r, c, peer=peer: paired(r, c, peer or c + "-off", 0), off=peer is not None)


def phase_cold(work, floor, rounds):
    if os.geteuid() != 0 or not os.access("/proc/sys/vm/drop_caches", os.W_OK):
        print("\n== cold: left out, dropping the page cache needs root")
        return
    floors = ["floor4", "floor8", "floor16"]
    results = run_phase("cold", "tree-s1", rounds, ["du-s"] + floors, work, floor, cold=True)
    goal("cold", results, "wall folmar / best floor (4, 8, 16 in flight)", 1.15,
         lambda r, c: paired(r, c, floors, 0))


def phase_shape(shape, work, floor, rounds):
    floor_peer = "floor2-split" if shape.startswith("files") else "floor2"
    results = run_phase(shape, shape, rounds, ["du-s", floor_peer], work, floor)
    goal(shape, results, "wall folmar / du -s", 1.0, lambda r, c: paired(r, c, "du-s", 0))
    goal(shape, results, "wall folmar / read-ahead off", 1.0, lambda r, c: paired(r, c, c + "-off", 0),
         off=False)
    if shape == "files1m":
        goal(shape, results, "peak RSS folmar / du -s", 1.0, lambda r, c: peak_mib(r, c) / peak_mib(r, "du-s"))


def main():
    if not os.access(TIME, os.X_OK):
        sys.exit("run-speed.py: %s not found (Debian package time)" % TIME)
    if not os.access(FOLMAR, os.X_OK) or (FOLMAR_B and not os.access(FOLMAR_B, os.X_OK)):
        sys.exit("run-speed.py: %s not found; build it first (cmake -S . -B build "
                 "-DCMAKE_BUILD_TYPE=Release && cmake --build build -j2)" % (FOLMAR_B or FOLMAR))
    phases = ENV.get("PHASES", "scale1 scale10 busy cold shapes").split()
    phases = [p for name in phases for p in (SHAPES if name == "shapes" else [name])]
    unknown = [p for p in phases if p not in ["scale1", "scale10", "busy", "cold", "files1m"] + SHAPES]
    if unknown:
        sys.exit("run-speed.py: unknown phase %s" % " ".join(unknown))
    rounds = {name: int(ENV.get(name, default)) for name, default in (
        ("ROUNDS", "7"), ("ROUNDS10", "3"), ("COLD_ROUNDS", "3"), ("SHAPE_ROUNDS", "3"))}
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    work = tempfile.mkdtemp(prefix="folmar-speed.")
    try:
        os.chdir(work)  # no settings file of the caller's is read
        floor = build_floor(work)
        print("folmar: %s%s\n%d cores; Linux %s" % (FOLMAR, "\nbefore: " + FOLMAR_B if FOLMAR_B else "",
                                                   os.cpu_count(), os.uname().release))
        for phase in phases:
            if phase == "scale1":
                phase_warm(phase, "tree-s1", rounds["ROUNDS"], work, floor)
            elif phase == "scale10":
                phase_warm(phase, "tree-s10", rounds["ROUNDS10"], work, floor)
            elif phase == "busy":
                phase_busy(work, floor, rounds["ROUNDS"])
            elif phase == "cold":
                phase_cold(work, floor, rounds["COLD_ROUNDS"])
            else:
                phase_shape(phase, work, floor, rounds["SHAPE_ROUNDS"])
    finally:
        for pid in list(children):
            os.kill(pid, signal.SIGKILL)
        os.chdir("/")
        shutil.rmtree(work, ignore_errors=True)
    print("\n== goals (medians of paired ratios)")
    for line in goal_lines:
        print("  " + line)
    print("\n%d problems%s" % (len(problems), "".join("\n  " + p for p in problems)))
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
