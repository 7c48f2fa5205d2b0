#!/usr/bin/env python3
"""make-shape.py DIR KIND N [F]: one of the tree shapes that make a walk slow,
the same on every machine.

  wide N   DIR holds N empty subdirectories.
  chain N F  N directories, each inside the one before (DIR is the first);
           each holds F files of as many bytes as its level (1 to N).
           Directory names are one character, so with DIR as a drive's root
           a chain of 129 keeps every path within 259 characters.
  files N  DIR holds N sparse files, file i of i % 1000 bytes.

It prints, as make-tree.py does, the directories below DIR, the entries
that are no directory and the sum of their sizes."""

import os
import sys


def write_file(name, size, dir_fd):
    fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644, dir_fd=dir_fd)
    os.ftruncate(fd, size)
    os.close(fd)


def make_chain(root_fd, levels, files):
    """Goes down by descriptors, so no path grows past the system's limit."""
    fd = os.dup(root_fd)
    for level in range(1, levels + 1):
        for index in range(files):
            write_file("f%03d" % index, level, fd)
        if level < levels:
            os.mkdir("d", dir_fd=fd)
            deeper = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
            os.close(fd)
            fd = deeper
    os.close(fd)
    return levels - 1, levels * files, files * levels * (levels + 1) // 2


def main():
    kind = sys.argv[2] if len(sys.argv) > 2 else ""
    if len(sys.argv) != (5 if kind == "chain" else 4) or kind not in ("wide", "chain", "files"):
        sys.exit("usage: make-shape.py DIR wide N | chain N F | files N")
    root, count = sys.argv[1], int(sys.argv[3])
    os.makedirs(root, exist_ok=True)
    if os.listdir(root):
        sys.exit("make-shape.py: %s is not empty" % root)
    root_fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    if kind == "wide":
        for index in range(count):
            os.mkdir("d%07d" % index, dir_fd=root_fd)
        figures = count, 0, 0
    elif kind == "chain":
        figures = make_chain(root_fd, count, int(sys.argv[4]))
    else:
        for index in range(count):
            write_file("f%07d.dat" % index, index % 1000, root_fd)
        figures = 0, count, sum(index % 1000 for index in range(count))
    os.close(root_fd)
    print("directories: %d\nentries:     %d\nbytes:       %d" % figures)


if __name__ == "__main__":
    main()
