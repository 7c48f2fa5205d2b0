"""Read-ahead changes nothing in what the program writes: the report with
read-ahead on (by default, or with four threads) equals the report with it
off (FOLMAR_READAHEAD=0), apart from the live free-space figures, on the
benchmark's tree (whose totals are the ones its generator prints), listing
files and condensed, on deep chains across the 259-character limit, a
directory of 20,000 entries, empty ones and ones the walk cannot or must not
enter, and when few file descriptors are allowed. Nothing is written on
standard error (a ThreadSanitizer build reports there)."""

import os
import resource

import harness


class SameReportInEveryMode(harness.TreeTest):

    def assertSameInEveryMode(self, args, nofile=None):
        """The run gives the same output in every mode; returns it."""
        limit = None if nofile is None else lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))
        results = {}
        for mode, value in harness.READAHEAD_MODES.items():
            code, out, err = harness.run_folmar(args, drives={"C": self.tmp}, cwd=self.tmp, readahead=value,
                                                preexec=limit, timeout=240)
            self.assertEqual((code, err), (0, ""), mode)
            results[mode] = harness.masked(out)
            self.assertEqual(results[mode], results["off"], "%s differs from off" % mode)
        return results["off"]

    def test_benchmark_tree_listing_files_condensed_and_with_few_descriptors(self):
        figures = harness.bench_tree(os.path.join(self.tmp, "bench"), 0.05)
        harness.write_settings(self.tmp, "showFiles=L\n")
        out = self.assertSameInEveryMode(["/L", "C:\\bench"])
        self.assertEqual(harness.totals(out), (figures["directories"] + 1, figures["entries"], figures["bytes"]))
        self.assertGreater(out.count("\n"), figures["directories"] + figures["entries"])  # each one listed
        harness.write_settings(self.tmp, "showFiles=N\n")
        self.assertSameInEveryMode(["/C", "C:\\bench"])
        # 300 leaves the read-ahead a window of 236 directories; 64 none: off.
        for nofile in (300, 64):
            self.assertSameInEveryMode(["/L", "C:\\bench"], nofile=nofile)

    def test_deep_wide_empty_and_directories_not_entered(self):
        spec = {"t/empty": None, "t/also empty/inner empty": None, "t/.dot/f": 5, "t/ctl\x01dir/f": 6,
                "t/back\\slash/f": 7, "t/ok/f": 8}
        spec.update({"t/deep" + "/d" * level + "/f": level for level in range(1, 141)})  # past 259 characters
        spec.update({"t/long/" + "/".join("n%d" % level * 50 for level in range(depth + 1)) + "/f": 7
                     for depth in range(4)})  # names of 100 cross the limit between levels
        spec.update({"t/wide/dir %04d" % i + ("/x" if i % 10 == 0 else ""): None if i % 10 else i
                     for i in range(5000)})
        spec.update({"t/sizes/s%d" % size: 1000 + size for size in range(7)})
        harness.make_tree(self.tmp, spec)
        t = os.path.join(self.tmp, "t")
        for i in range(15000):  # 20,000 entries in one directory, links made fast
            os.link(os.path.join(t, "sizes", "s%d" % (i % 7)), os.path.join(t, "wide", "file %05d" % i))
        os.symlink("ok", os.path.join(t, "link"))
        os.chmod(os.path.join(t, "long"), 0)  # shuts out all but root
        harness.write_settings(self.tmp, "showFiles=L\n")
        out = self.assertSameInEveryMode(["/L", "C:\\t"])
        for shown in ("C:\\t\\wide\\dir 4999", "C:\\t\\also empty\\inner empty", "\nfile 14999\n"):
            self.assertIn(shown, out)
        self.assertNotIn("C:\\t\\.dot", out)


if __name__ == "__main__":
    harness.main()
