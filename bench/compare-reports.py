#!/usr/bin/env python3
"""compare-reports.py OLD NEW [--wine]: runs two folmar builds over the same trees with a
matrix of switches and settings (128 runs), and compares standard output, standard error, the
report file, the exports and the exit code byte for byte (the date/time text masked). Exit
code 1 when any run differs.

Linux: drives C and D are the trees, E the report's folder (FOLMAR_DRIVES). --wine: OLD and
NEW are Windows programs run under wine in $WINEPREFIX, whose drives G, H and I must be
the same three folders, I not walked by /ALL, for example:
  tests/wine/wine-prefix.sh $WINEPREFIX win10 C=,cdrom Z=- G=/dev/shm/folmar-cmp/c,fixed \
      H=/dev/shm/folmar-cmp/d,fixed I=/dev/shm/folmar-cmp-out,cdrom

Trees are made on tmpfs (/dev/shm), whose directories list entries newest first: each
directory's entries are made in reverse of the order Windows lists them, so that a build that
delivers the file system's order and one that sorts as Windows does must give the same
report. No dot-directories, no control characters, no hard links."""
import itertools, os, random, re, shutil, subprocess, sys

OLD, NEW = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
WINE = "--wine" in sys.argv
ROOT = "/dev/shm/folmar-cmp"
OUT = "/dev/shm/folmar-cmp-out"


def winkey(name):
    u = name.upper().encode("utf-16-be")
    return [u[i] << 8 | u[i + 1] for i in range(0, len(u), 2)]


def make_tree(top, seed, dirs_wanted):
    rng = random.Random(seed)
    words = ["alpha", "Beta", "gamma", "DELTA", "epsilon", "Zeta", "eta_1", "theta 2", "iota-3",
             "kappa", "Lambda", "mu", "Éclair", "über", "naïve", "中文目录", "résumé", "a" * 40,
             "VeryLongDirectoryNameThatWillNeedWrappingInNarrowReports", "x", "Y", "10", "9", "_under"]
    os.makedirs(top, exist_ok=True)
    queue = [(top, 0)]
    count = 0
    while queue and count < dirs_wanted:
        path, depth = queue.pop(0)
        entries = set()
        for _ in range(rng.randint(0, 6) if depth < 5 else 0):
            n = rng.choice(words) + ("" if rng.random() < 0.5 else str(rng.randint(0, 99)))
            if n.upper() in {e.upper() for e, _ in entries}:
                continue
            entries.add((n, "d"))
        for _ in range(rng.randint(0, 8)):
            n = rng.choice(words) + "." + rng.choice(["txt", "DAT", "log", "c"]) + str(rng.randint(0, 9))
            if n.upper() in {e.upper() for e, _ in entries}:
                continue
            entries.add((n, "f"))
        for name, kind in sorted(entries, key=lambda e: winkey(e[0]), reverse=True):
            p = os.path.join(path, name)
            if kind == "d":
                os.mkdir(p)
                count += 1
                queue.append((p, depth + 1))
            else:
                with open(p, "wb") as f:
                    f.write(b"x" * rng.choice([0, 1, 17, 999, 4096, 123457]))


def settings(width, page, files, dirs, drives):
    return ("[Folmar Settings]\nshowDirs=%s\nshowFiles=%s\nlineWidthPrint=%d\npageSize=%d\n"
            "processLocalDrives=Y\nprocessRemoteDrives=Y\noutputFile=E:\\report.txt\n"
            % (dirs, files, width, page))


MASK = re.compile(rb"\d\d-\d\d-\d{4} at \d\d:\d\d Hours")


def run(binary, args, cwd):
    for f in os.listdir(OUT):
        os.unlink(os.path.join(OUT, f))
    env = dict(os.environ, FOLMAR_DRIVES="C=%s/c;D=%s/d;E=%s" % (ROOT, ROOT, OUT), HOME="/nonexistent",
               XDG_CONFIG_HOME="/nonexistent")
    if WINE:
        tr = lambda a: a.replace("C:", "G:").replace("D:", "H:").replace("E:", "I:")
        cmd = ["sh", WINE_RUN, binary] + [tr(a) for a in args]
    else:
        cmd = [binary] + args
    p = subprocess.run(cmd, cwd=cwd, env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    files = {}
    for f in sorted(os.listdir(OUT)):
        files[f] = MASK.sub(b"DATE", open(os.path.join(OUT, f), "rb").read())
    return p.returncode, MASK.sub(b"DATE", p.stdout), p.stderr, files


def main():
    shutil.rmtree(ROOT, ignore_errors=True)
    os.makedirs(ROOT + "/c/work")
    os.makedirs(ROOT + "/d")
    os.makedirs(OUT, exist_ok=True)
    make_tree(ROOT + "/c/tree", 1, 400)
    make_tree(ROOT + "/d", 2, 150)
    work = ROOT + "/c/work"
    cases = 0
    diffs = []
    combos = list(itertools.product([75, 90, 112, 125], [55, 60], ["N", "L"], ["L", "N", "S"]))
    random.Random(7).shuffle(combos)
    for i, (width, page, files, dirs) in enumerate(combos[:16]):
        with open(work + "/Folmar.ini", "w") as f:
            text = settings(width, page, files, dirs, "CD")
            f.write(text.replace("E:", "I:") if WINE else text)
        os.chmod(work + "/Folmar.ini", 0o644)
        for args in [[], ["C:\\tree"], ["C:\\tree", "/C"], ["D:", "/L"], ["D:\\", "/S"], ["/ALL"],
                     ["/ALL", "/C"], ["C:\\tree", "/X:E:\\x.json"], ["D:", "/X:E:\\x.csv", "/C"],
                     ["/ALL", "/X:E:\\all.json"]][: 10 if i < 8 else 6]:
            a, b = run(OLD, args, work), run(NEW, args, work)
            cases += 1
            if a != b:
                what = [n for n, x, y in zip(["exit", "stdout", "stderr", "files"], a, b) if x != y]
                diffs.append((width, page, files, dirs, args, what, a, b))
    print("%d runs compared, %d differ" % (cases, len(diffs)))
    for d in diffs[:5]:
        print("DIFF", d[:6])
        a, b = d[6], d[7]
        for n, x, y in zip(["exit", "stdout", "stderr"], a[:3], b[:3]):
            if x != y:
                print(" ", n, "old:", x[:600] if isinstance(x, bytes) else x)
                print(" ", n, "new:", y[:600] if isinstance(y, bytes) else y)
        if a[3] != b[3]:
            for k in set(a[3]) | set(b[3]):
                if a[3].get(k) != b[3].get(k):
                    print("  file", k, "differs")
    sys.exit(1 if diffs else 0)


WINE_RUN = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "wine", "wine-run.sh")
main()
