#!/usr/bin/env python3
"""make-tree.py [--figures] DIR [SCALE]: the benchmark's tree, the same for the same
SCALE on every machine. SCALE 1 makes about 10,000 directories and 100,000
files (10 makes ten times as many), up to 8 levels deep with uneven fan-out:
sparse files from empty to a few MiB and one of 5 GiB, names with blanks,
hyphens and underscores, some long enough for paths past 130 characters,
empty directories, dot-files, dot-directories with whole subtrees below
them, and symbolic links (to a file, to "..", dangling).

It prints the figures a walk that counts links as entries must report:
directories below DIR, entries that are no directory, and the sum of their
apparent sizes (a link's own size); then the same figures for a walk that
passes over dot-directories and all below them (as builds before 2026-12
did), each line beginning "dotless". With --figures it writes nothing and only prints the figures of the tree
it would make, so that the stamp of a tree made before can be brought up to
date without making the tree again."""

import os
import sys

WORDS = ("alpha beta gamma delta src lib docs data build tools assets Music Projects "
         "Archive backup config cache reports images notes drafts vendor modules").split()
EXTENSIONS = ["", ".c", ".h", ".txt", ".md", ".json", ".png", ".log", ".tar.gz", ".bin"]


class Random:
    """A 64-bit linear congruential generator: integer steps only, so every
    Python gives the same tree."""

    def __init__(self, seed):
        self.state = seed

    def below(self, n):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % 2 ** 64
        return (self.state >> 33) % n

    def pick(self, items):
        return items[self.below(len(items))]


def name(rng, index):
    words = [rng.pick(WORDS) for _ in range(1 + rng.below(3))]
    if rng.below(50) == 0:
        words += [rng.pick(WORDS) for _ in range(8)]  # a long one
    return rng.pick(["_", "-", " "]).join(words) + " %d" % index


def main():
    args = sys.argv[1:]
    write = not (args and args[0] == "--figures")
    args = args if write else args[1:]
    if len(args) not in (1, 2):
        sys.exit("usage: make-tree.py [--figures] DIR [SCALE]")
    root, scale = args[0], float(args[1]) if len(args) == 2 else 1.0
    if write:
        os.makedirs(root, exist_ok=True)
        if os.listdir(root):
            sys.exit("make-tree.py: %s is not empty" % root)
    rng = Random(20261207)
    want_dirs, want_files = max(50, int(10000 * scale)), max(500, int(100000 * scale))
    dirs = [(root, 0, True)]  # (path, depth, dotless: no dot-directory above it or at it)
    every, dotless = [0, 0, 0], [0, 0, 0]  # directories, entries, bytes

    def count(walked, dirs_, entries, size):
        for figures, counted in ((every, True), (dotless, walked)):
            if counted:
                figures[0], figures[1], figures[2] = figures[0] + dirs_, figures[1] + entries, figures[2] + size

    while len(dirs) <= want_dirs:
        parent, depth, walked = dirs[rng.below(len(dirs))]
        if depth >= 8:
            continue
        dot = rng.below(40) == 0
        path = os.path.join(parent, ("." if dot else "") + name(rng, len(dirs)))
        if write:
            os.mkdir(path)
        dirs.append((path, depth + 1, walked and not dot))
        count(walked and not dot, 1, 0, 0)
    for index in range(want_files):
        if index % 50 == 0:
            parent, _, walked = dirs[1]  # one flat directory holds a good share
        else:  # the older directories get more files than the newer ones
            parent, _, walked = dirs[min(rng.below(len(dirs)), rng.below(len(dirs)))]
        path = os.path.join(parent, ("." if rng.below(30) == 0 else "") + name(rng, index) +
                            rng.pick(EXTENSIONS))
        size = 5 * 2 ** 30 if index == 0 else rng.below(2 ** rng.below(23))
        if write:
            with open(path, "wb") as f:
                f.truncate(size)
        count(walked, 0, 1, size)
    for index in range(max(5, want_files // 1000)):
        parent, _, walked = dirs[rng.below(len(dirs))]
        path = os.path.join(parent, "link %d" % index)
        target = ["..", "nowhere", os.path.basename(parent)][index % 3]
        if write:
            os.symlink(target, path)
        count(walked, 0, 1, len(os.fsencode(target)))  # a link's size is its target's length
    for prefix, figures in (("", every), ("dotless ", dotless)):
        print("%sdirectories: %d\n%sentries:     %d\n%sbytes:       %d" % (
            prefix, figures[0], prefix, figures[1], prefix, figures[2]))


if __name__ == "__main__":
    main()
