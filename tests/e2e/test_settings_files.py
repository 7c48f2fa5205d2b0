"""Where the real program finds its settings: Folmar.ini in the working
directory before C:\\Orvan\\Folmar.ini (drive C mapped to a temporary folder),
and without either the defaults, announced in the exact words, with the
report of a redirected run 125 characters wide."""

import os

from harness import TreeTest, main, make_tree, report_lines, run_folmar

NOT_FOUND = ("\n"
             "Folmar==>  C:\\Orvan\\Folmar.ini File Not Found \n"
             "Folmar==>  Default Parameters will be used \n"
             "Folmar==>  Press Enter to continue \n")


def sized_line_widths(stdout):
    """Lengths of the directory lines of the report (those that carry a size)."""
    return [len(line) for line in report_lines(stdout) if line.startswith("C:\\")]


class SettingsFileTest(TreeTest):

    def setUp(self):
        super().setUp()
        self.work = os.path.join(self.tmp, "work")
        make_tree(self.work, {"a/one.txt": 1000, "b/two.txt": 20})

    def write(self, rel, text):
        path = os.path.join(self.tmp, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)

    def run_in_work(self):
        code, out, err = run_folmar([], drives={"C": self.tmp}, cwd=self.work)
        self.assertEqual(code, 0, err)
        return out

    def test_working_directory_file_wins_over_the_shared_one(self):
        self.write("Orvan/Folmar.ini", "[Folmar shared]\nlineWidthPrint = 90\n")
        self.write("work/Folmar.ini", "[Folmar local]\r\nlineWidthPrint = 100\r\n")
        out = self.run_in_work()
        self.assertNotIn("File Not Found", out)
        widths = sized_line_widths(out)
        self.assertEqual(len(widths), 3, out)
        self.assertEqual(set(widths), {100})

        os.remove(os.path.join(self.work, "Folmar.ini"))
        out = self.run_in_work()
        self.assertNotIn("File Not Found", out)
        self.assertEqual(set(sized_line_widths(out)), {90})

    def test_without_a_settings_file_defaults_are_announced_and_width_is_125(self):
        out = self.run_in_work()
        self.assertTrue(out.startswith(NOT_FOUND), out[:300])
        widths = sized_line_widths(out)
        self.assertEqual(len(widths), 3, out)
        self.assertEqual(set(widths), {125})


if __name__ == "__main__":
    main()
