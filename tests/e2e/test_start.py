"""How a run starts on Linux: "--help" and "--version" alone answer at once (exit code 0, no wait, nothing
walked) while a directory of that name stays reachable by its path, Linux paths are targets, the shared settings
file comes from the user's configuration directory when the working directory holds none (and is never the report
file), and an all-drives run writes its report in the working directory or says by its exit code that it did not."""

import os
import re

import harness

VERSION = "Folmar==>  Ver. 5.1b   18 January, 2008 \n"
WAIT = "Folmar==>  Press Enter to continue \n"
SLASH_HELP = ("Folmar (Ver. 5.1b) Usage:  Folmar  parm \n   Where parm may be: \n"
              "      /All  -- to list all the drives  \n               output will be in C:FolmarAll.txt \n"
              "      Drive -- A through Z or A: through Z: \n"
              "      /C       Condensed Output (shows first level suddirectories only) \n"
              "      /H    -- Help (this screen) \n      /L       Use Long (Windows95+) Filenames \n"
              "      /S       Use Short (DOS 8.3) Filenames \n      /?    -- Help (this screen) \n\n"
              "Folmar==>  For the latest updates and product information: \n"
              "Folmar==>  www.orvan.example \nFolmar==>  sales@orvan.example \n")


class Start(harness.TreeTest):

    def test_help_and_version_alone_answer_without_a_wait_and_walk_nothing(self):
        harness.make_tree(self.tmp, {"--help/f": 300})
        drives = "C=" + self.tmp
        code, slash_help, _ = harness.run_folmar(["/?"], drives=drives, cwd=self.tmp)
        self.assertEqual((code, slash_help[-len(WAIT):], SLASH_HELP in slash_help), (1, WAIT, True), slash_help)
        code, usage, err = harness.run_folmar(["--help"], drives=drives, cwd=self.tmp)
        self.assertEqual((code, err, usage.startswith("Usage: folmar [target]"), VERSION in usage), (0, "", True, False),
                         usage)
        for word in ("/C ", "/S ", "/L ", "/P ", "/E ", "/X:", "/I:", "/T:", "/ALL", "/? ", "/H ", "/usr/share",
                     "FOLMAR_DRIVES", "FOLMAR_READAHEAD", "~/.config/folmar/Folmar.ini", "/etc/folmar/Folmar.ini",
                     "exclude", "hardLinks", "largestFiles", "Exit codes"):
            self.assertIn(word, usage)
        self.assertEqual(harness.run_folmar(["--version"], drives=drives, cwd=self.tmp), (0, VERSION, ""))
        code, out, _ = harness.run_folmar(["C:\\--help"], drives=drives, cwd=self.tmp)
        self.assertEqual((code, harness.totals(out)), (0, (1, 1, 300)))

    def test_shared_settings_from_xdg_config_home_unless_the_working_directory_has_its_own(self):
        config, work = os.path.join(self.tmp, "config"), os.path.join(self.tmp, "work")
        for folder, width in ((os.path.join(config, "folmar"), 80), (os.path.join(self.tmp, "Orvan"), 90)):
            os.makedirs(folder)
            harness.write_settings(folder, "lineWidthPrint=%d\n" % width)
        os.makedirs(work)
        env = {"XDG_CONFIG_HOME": config}
        # A file that another user owns, or that others may write, may have been planted: not read, the next
        # place is (the drive's after the user's).
        me, nobody = os.geteuid(), 65534
        own, user = os.path.join(work, "Folmar.ini"), os.path.join(config, "folmar", "Folmar.ini")
        for text, (path, owner, mode), width, warned in [
                (None, (user, me, 0o644), 80, None), ("lineWidthPrint=75\n", (own, me, 0o644), 75, None),
                ("lineWidthPrint=75\n", (own, me, 0o664), 80, "Folmar.ini"),
                ("lineWidthPrint=75\n", (own, nobody, 0o644), 80, "Folmar.ini"),
                (None, (user, nobody, 0o644), 90, "C:\\Orvan\\Folmar.ini")]:
            if text:
                harness.write_settings(work, text)
            elif os.path.exists(own):
                os.remove(own)
            if owner != me and me != 0:
                continue  # only root can give a file away
            os.chown(path, owner, -1)
            os.chmod(path, mode)
            code, out, _ = harness.run_folmar([], drives="C=" + self.tmp, cwd=work, env=env)
            self.assertEqual((code, "Not Found" in out), (0, False), out)
            self.assertEqual([len(line) for line in out.split("\n") if line.startswith("C:\\work.")], [width])
            self.assertEqual([line for line in out.split("\n") if "another user" in line],
                             ["Folmar==>  %s belongs to another user and is not read " % warned] if warned else [])
        os.chown(user, me, -1)
        # The user's file, reached as a report path on drive C, is refused as the settings file of the run.
        harness.write_settings(os.path.join(config, "folmar"), "lineWidthPrint=80\noutputFile=C:\\CONFIG\\folmar\\Folmar.ini\n")
        code, out, _ = harness.run_folmar(["/ALL"], drives="C=" + self.tmp, cwd=work, env=env)
        self.assertEqual((code, out.splitlines()[-1]), (1, "Folmar==>  It is the settings file of this run "))

    def test_linux_paths_are_targets_in_drive_form_taken_from_the_working_directory(self):
        harness.make_tree(self.tmp, {"Data/Sub/f": 7, "Data/g": 5, "Dé/Sub/h": 1})
        os.symlink("Data/Sub", os.path.join(self.tmp, "lnk"))
        cases = [([self.tmp + "/Data/Sub"], "", "C:\\Data\\Sub"), (["Data/Sub", "/C"], "", "C:\\Data\\Sub"),
                 (["."], "Data", "C:\\Data"), ([".."], "Data/Sub", "C:\\Data"), (["lnk/"], "", "C:\\Data\\Sub"),
                 (["c:/Dé/Sub", "/L"], "", "c:\\D\xc3\xa9\\Sub"), ([".\\Sub"], "Data", "C:\\Data\\SUB"),
                 (["/nosuch"], "Data", "C:\\Data"),  # no such object: a switch, ignored
                 (["/usr"], "", "Folmar==>  /usr is on no drive\n")]
        for args, cwd, first in cases:
            code, out, _ = harness.run_folmar(args, drives="C=" + self.tmp, cwd=os.path.join(self.tmp, cwd))
            lines = re.findall(r"^[Cc]:\\[^.]*", out, re.M)
            if first.startswith("Folmar"):
                self.assertEqual((code, out[-len(first):]), (1, first), args)
            else:
                self.assertEqual((code, lines[0]), (0, first), (args, out))

    def test_all_drives_report_in_the_working_directory_or_exit_code_1(self):
        work = os.path.join(self.tmp, "work")
        harness.make_tree(self.tmp, {"work/f": 3})
        code, out, _ = harness.run_folmar(["/ALL"], drives="C=" + self.tmp, cwd=work)
        self.assertEqual(code, 0, out)
        self.assertIn("Folmar==>  Default Parameters will be used \n"
                      "Folmar==>  Looked for Folmar.ini here and in ~/.config/folmar/Folmar.ini, "
                      "/etc/folmar/Folmar.ini \n", out)
        self.assertTrue(out.endswith("Folmar==>  Output is in C:\\work\\FolmarAll.txt\n"), out)
        report = os.path.join(work, "FolmarAll.txt")
        with open(report) as f:
            previous = f.read()
        # No width set and no answer to read (a scheduled run): not taken as 0, and the report stays.
        harness.write_settings(work, "showDirs=L\n")
        code, out, _ = harness.run_folmar(["/ALL"], drives="C=" + self.tmp, cwd=work)
        self.assertEqual((code, out.splitlines()[-1]), (1, "Folmar==>  No answer: set lineWidthPrint in Folmar.ini"))
        with open(report) as f:
            self.assertEqual(f.read(), previous)


if __name__ == "__main__":
    harness.main()
