"""How a run starts on Linux: "--help" and "--version" alone answer at once (exit code 0, no wait, nothing
walked) while a directory of that name stays reachable by its path, and the shared settings file comes from the
user's configuration directory when the working directory holds none (and is never the report file)."""

import os

import harness

VERSION = "Folmar==>  Ver. 5.1b   18 January, 2008 \n"
WAIT = "Folmar==>  Press Enter to continue \n"


class Start(harness.TreeTest):

    def test_help_and_version_alone_answer_without_a_wait_and_walk_nothing(self):
        harness.make_tree(self.tmp, {"--help/f": 300})
        drives = "C=" + self.tmp
        code, slash_help, _ = harness.run_folmar(["/?"], drives=drives, cwd=self.tmp)
        self.assertEqual((code, slash_help[-len(WAIT):]), (1, WAIT))
        self.assertEqual(harness.run_folmar(["--help"], drives=drives, cwd=self.tmp),
                         (0, slash_help[:-len(WAIT)], ""))  # the same screen, without its wait
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


if __name__ == "__main__":
    harness.main()
