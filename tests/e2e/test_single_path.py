"""The single-path report of the real program over real trees: the header,
every directory line in walk order, the totals block with the drive's real
free space and capacity, the condensed report, and a missing target."""

import os

import harness


def grouped(n):
    return "{:,}".format(n)


def dir_line(path, size, width=125):
    """A directory line whose path fits its column: path, dot leader, and the
    size with one blank before it at the right edge."""
    digits = grouped(size)
    return path + "." * (width - 14 - len(path)) + "." * (13 - len(digits)) + " " + digits


def walk_order(native, windows):
    """(windows path, bytes of its own files) in the order the program walks:
    a directory, then each subdirectory in the order the directory lists them."""
    own = 0
    subdirs = []
    with os.scandir(native) as it:
        for entry in it:
            if entry.is_dir(follow_symlinks=False):
                if not entry.name.startswith("."):
                    subdirs.append(entry.name)
            else:
                own += entry.stat(follow_symlinks=False).st_size
    result = [(windows, own)]
    for name in subdirs:
        result += walk_order(os.path.join(native, name), windows + "\\" + name)
    return result


def free_figures(native):
    st = os.statvfs(native)
    return (st.f_bfree * st.f_frsize, st.f_bavail * st.f_frsize, st.f_blocks * st.f_frsize)


def totals_block(dirs, files, alloc, total_free, free_to_caller, capacity):
    return [
        "",
        "   Number of Dirs.     = " + grouped(dirs).rjust(15),
        "   Number of Files     = " + grouped(files).rjust(15),
        "   Allocation          = " + grouped(alloc).rjust(15) + "  (File Sizes) ",
        "",
        "   Free Space          = " + grouped(total_free).rjust(15) + "  (Sectors) ",
        "   Free space Avail.   = " + grouped(free_to_caller).rjust(15) + "  (Free Space) ",
        "   Capacity            = " + grouped(capacity).rjust(15) + "  (Bytes) ",
        "",
        "",
    ]


def figure(line):
    """The number in a totals line."""
    return int(line.split("=")[1].split("(")[0].replace(",", ""))


HEADER_125 = [
    "Directory Drive C   Page  1" + " " * (21 + 47 + 23) + "Bytes ",
    "-" * 9 + " " * (25 + 32 + 47) + "-" * 10 + " ",
]

TREE = {
    "tree/readme.txt": 1234,
    "tree/.profile": 10,
    "tree/src/main.c": 5000,
    "tree/src/util/helper.c": 77,
    "tree/src/util/deep/leaf.h": 3,
    "tree/.git/objects/blob": 999999,
    "tree/empty": None,
    "tree/vm images/disk.raw": 5 * 1024 ** 3,
    "tree/100% done/notes %s %n.txt": 42,
}


class SinglePathReport(harness.TreeTest):

    def setUp(self):
        super().setUp()
        harness.make_tree(self.tmp, TREE)
        self.tree = os.path.join(self.tmp, "tree")

    def test_report_lists_every_directory_and_totals_exactly(self):
        # Free space moves while other programs write: the program's figures
        # must lie between the readings taken before and after its run. Other
        # writers can make it move both ways within one run, so a run whose
        # window was disturbed like that is tried again.
        for attempt in range(5):
            before = free_figures(self.tree)
            code, out, _ = harness.run_folmar(["/L", "C:\\tree"], drives={"C": self.tmp},
                                              cwd=self.tmp)
            after = free_figures(self.tree)
            self.assertEqual(code, 0)
            lines = harness.report_lines(out)
            shown = [figure(line) for line in lines[-5:-2]]
            if all(min(low, high) <= got <= max(low, high)
                   for got, low, high in zip(shown, before, after)):
                break
        else:
            self.fail("free space outside every window: %r %r %r" % (shown, before, after))
        order = walk_order(self.tree, "C:\\tree")
        expected = HEADER_125 + [dir_line(p, b) for p, b in order]
        files = sum(1 for k, v in TREE.items() if v is not None and "/.git/" not in k)
        alloc = sum(v for k, v in TREE.items() if v is not None and "/.git/" not in k)
        expected += totals_block(len(order), files, alloc, *shown)
        self.assertLinesEqual(lines, expected)

    def test_condensed_report_of_a_drive_root(self):
        alloc = sum(v for k, v in TREE.items() if v is not None and "/.git/" not in k)
        code, out, _ = harness.run_folmar(["/C", "C:\\"], drives={"C": self.tree}, cwd=self.tree)
        self.assertEqual(code, 0)
        lines = harness.report_lines(out)
        first_level = [(p, b) for p, b in walk_order(self.tree, "C:")]
        expected = [dir_line("C:\\", first_level[0][1])]
        subtree = {}
        order = []
        for path, size in first_level[1:]:
            top = "\\".join(path.split("\\")[:2])
            if top not in subtree:
                order.append(top)
                subtree[top] = 0
            subtree[top] += size
        expected += [dir_line(top, subtree[top]) for top in order]
        self.assertLinesEqual(lines[2:2 + len(expected)], expected)
        self.assertEqual(lines[2 + len(expected) + 3],
                         "   Allocation          = " + grouped(alloc).rjust(15) + "  (File Sizes) ")

    def test_condensed_deeper_target_is_one_line(self):
        code, out, _ = harness.run_folmar(["/C", "C:\\tree\\src"], drives={"C": self.tmp},
                                          cwd=self.tmp)
        self.assertEqual(code, 0)
        lines = harness.report_lines(out)
        self.assertEqual(lines[2], dir_line("C:\\tree\\src", 5080))
        self.assertEqual(lines[3], "")
        self.assertEqual(lines[4], "   Number of Dirs.     = " + "3".rjust(15))

    def test_missing_target_reports_file_not_found_and_one_directory(self):
        code, out, _ = harness.run_folmar(["/L", "C:\\no such dir"], drives={"C": self.tmp},
                                          cwd=self.tmp)
        self.assertEqual(code, 0)
        lines = harness.report_lines(out)
        self.assertEqual(lines[2], "File not found: C:\\no such dir\\")
        self.assertEqual(lines[3], "")
        self.assertEqual(lines[4], "   Number of Dirs.     = " + "1".rjust(15))
        self.assertEqual(lines[5], "   Number of Files     = " + "0".rjust(15))
        self.assertEqual(lines[6], "   Allocation          = " + "0".rjust(15) + "  (File Sizes) ")


if __name__ == "__main__":
    harness.main()
