// The start of the program: the command line (help, switches, the target
// and what is refused), the console waits and the stops before a report, the
// system level and line width, and a single-path report.
#include "tests/unit/fixture.h"

class StartUpTest : public FolmarTest {
protected:
    void prepare() override { fakeAddDrive('C', driveFixed); }
    // The help test, the argument scan and the normalisation, as main runs them.
    int parse(std::vector<std::string> args) {
        std::vector<char *> pointers = argv(args);
        upperCaseLoneArgument((int)pointers.size(), pointers.data());
        help = isHelpRequest((int)pointers.size(), pointers.data());
        scanArguments((int)pointers.size(), pointers.data());
        int code = refuseBadSwitches();
        return code != 0 ? code : normaliseTarget();
    }
    bool help = false;
};

// The target as the walk starts it: from the root of its drive (of the
// current one without a letter), but ".", ".." and ".\x" from the current
// directory, without "*.*", a last backslash or a "." or ".." component; a
// lone argument upper-cased; the last of several.
TEST_F(StartUpTest, TargetsAreTakenFromTheRootOfTheirDrive) {
    struct Case { const char *cwd; std::vector<std::string> args; const char *curPath; };
    const Case cases[] = {
        {"C:\\WORK", {}, "C:\\WORK"},           {"C:\\", {"c:\\work"}, "C:\\WORK"},
        {"C:\\WORK", {"/L", "D:temp"}, "D:\\temp"}, {"E:\\x\\y", {"/L", "temp"}, "E:\\temp"},
        {"C:\\WORK", {"/L", "C:\\data\\*.*"}, "C:\\data"}, {"C:\\WORK", {"/L", "C:\\"}, "C:"},
        {"C:\\WORK", {"/L", "d:\\Mixed"}, "d:\\Mixed"},  {"C:\\WORK", {"C:\\one", "/S", "C:\\two"}, "C:\\two"},
        {"E:\\x\\y", {"/L", "."}, "E:\\x\\y"},   {"E:\\x\\y", {"/L", ".."}, "E:\\x"},
        {"E:\\x\\y", {".\\Sub\\.\\z"}, "E:\\x\\y\\SUB\\Z"}, {"E:\\x\\y", {"/L", "..\\..\\..\\q"}, "E:\\q"},
        {"E:\\", {"/L", ".."}, "E:"},              {"E:\\x", {"/L", "C:\\a\\.\\..\\b\\."}, "C:\\b"},
        {"E:\\x", {"/L", "c:/a"}, "c:\\/a"},   // a drive form keeps its slash on Windows
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args.back());
        fresh();
        fakeSetCurrentDirectory(c.cwd);
        EXPECT_EQ(parse(c.args), 0);
        EXPECT_STREQ(rs.curPath, c.curPath);
        EXPECT_EQ(rs.driveLetter, c.curPath[0]);
    }
}

// A Linux path (the host decides which arguments are) is the target in its
// drive form as the host gives it, never upper-cased; the exact switch
// spellings and drive forms are never handed to the host; a path on no
// drive or too long is refused, unless all drives are walked.
TEST_F(StartUpTest, LinuxPathsAreTargetsAndTheSwitchSpellingsStaySwitches) {
    struct Case { std::vector<std::string> args; int code; const char *curPath; bool condensed; std::string text; };
    const Case cases[] = {
        {{"/usr/share/man"}, 0, "C:\\usr\\share\\man", false, ""},  {{"/home"}, 0, "C:\\home", false, ""},
        {{"x/y", "/c"}, 0, "C:\\x\\y", true, ""},                 {{"/C", "/X:a/b.json"}, 0, "C:\\", true, ""},
        {{"c:/usr/share"}, 0, "C:\\USR\\SHARE", false, ""},       {{"/L", "c:/usr/share/"}, 0, "c:\\usr\\share", false, ""},
        {{"/L", "/srv"}, 1, "", false, "Folmar==>  /srv is on no drive\n"},  {{"/srv", "/ALL"}, 0, "", false, ""},
        {{"/L", "/long"}, 1, "", false, "Folmar==>  Target path too long: /long...\n"},
        {{"/usr/share/man", "/L", "D:\\x"}, 0, "D:\\x", false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        fresh();
        fakeSetLinuxHost(true);
        fakeSetHostPath("/usr/share/man", HostPath::drivePath, "C:\\usr\\share\\man");
        fakeSetHostPath("/home", HostPath::drivePath, "C:\\home");
        fakeSetHostPath("x/y", HostPath::drivePath, "C:\\x\\y");
        for (const char *never : {"/C", "/c", "/X:a/b.json", "c:/usr/share", "c:/usr/share/"})
            fakeSetHostPath(never, HostPath::drivePath, "C:\\wrong");  // what a host would make of them
        fakeSetHostPath("/srv", HostPath::onNoDrive);
        fakeSetHostPath("/long", HostPath::tooLong);
        EXPECT_EQ(parse(c.args), c.code);
        EXPECT_FALSE(help);
        if (c.code == 0 && c.curPath[0] != '\0') {
            EXPECT_STREQ(rs.curPath, c.curPath);
        }
        EXPECT_EQ(rs.condensed, c.condensed);
        EXPECT_EQ(out(), c.text);
    }
}

// An all-drives run without an outputFile (or with the old default's) on a
// Linux host writes FolmarAll.txt in the working directory; one that lies
// on no drive is refused. Windows keeps C:\FolmarAll.txt.
TEST_F(StartUpTest, TheDefaultReportFileOfALinuxHostIsInTheWorkingDirectory) {
    struct Case { bool onLinux, onDrive; const char *outputFile; int code; const char *settled; };
    const Case cases[] = {
        {true, true, "C:\\FolmarAll.txt", 0, "C:\\home\\ann\\FolmarAll.txt"},
        {true, true, "D:\\r.txt", 0, "D:\\r.txt"},
        {false, true, "C:\\FolmarAll.txt", 0, "C:\\FolmarAll.txt"},
        {true, false, "C:\\FolmarAll.txt", 1, "C:\\FolmarAll.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.outputFile) + (c.onLinux ? " on Linux" : " on Windows"));
        fresh();
        fakeSetLinuxHost(c.onLinux);
        c.onDrive ? fakeSetCurrentDirectory("C:\\home\\ann") : fakeSetCurrentDirectoryOffDrive("/srv/x");
        std::strcpy(rs.outputFile, c.outputFile);
        rs.runMode = RunMode::allDrives;
        EXPECT_EQ(settleReportFile(), c.code);
        EXPECT_STREQ(rs.outputFile, c.settled);
        EXPECT_EQ(out(), c.code ? "Folmar==>  The current directory is on no drive: /srv/x\n" : "");
    }
}

// Each switch by its first letter, in any case; unknown ones (a bare /X or
// /T among them) change nothing; /T: takes the last number.
TEST_F(StartUpTest, SwitchesSetTheirModesByTheirFirstLetter) {
    struct Case { std::vector<std::string> args; Listing showDirs; bool condensed, pause; int largest = 0; };
    const Case cases[] = {
        {{"C:\\", "/AL", "/X", "/Q", "/T"}, Listing::longNames, false, false},
        {{"/Short", "/p", "/t:1000"}, Listing::shortNames, false, true, 1000},
        {{"/s", "/c", "/T:12", "/T:007"}, Listing::longNames, true, false, 7},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        fresh();
        EXPECT_EQ(parse(c.args), 0);
        EXPECT_EQ(rs.showDirs, c.showDirs);
        EXPECT_EQ(rs.condensed, c.condensed);
        EXPECT_EQ(rs.pausePerScreen, c.pause);
        EXPECT_EQ(rs.largestFiles, c.largest);
        EXPECT_EQ(rs.runMode, RunMode::singlePath);
    }
}

// /ALL, /~ or the target ~ ask for every drive, and empty the drive list
// the settings gave.
TEST_F(StartUpTest, AllDrivesAreAskedByAllOrTildeAndTakeNoDriveList) {
    for (std::vector<std::string> args : {std::vector<std::string>{"/all"}, {"/~", "/L"}, {"~"}}) {
        SCOPED_TRACE(args[0]);
        fresh();
        std::strcpy(rs.driveList, "D:\\");  // as a settings driveList leaves it
        EXPECT_EQ(parse(args), 0);
        EXPECT_EQ(rs.runMode, RunMode::allDrives);
        EXPECT_STREQ(rs.driveList, "");
    }
}

// /?, /H or /h, and only alone.
TEST_F(StartUpTest, HelpIsAskedOnlyByALoneSlashQuestionMarkOrH) {
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{"/?"}, true}, {{"/h"}, true}, {{"/Help"}, true}, {{"/?", "C:\\"}, false}, {{"/L", "/H"}, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first.back());
        fresh();
        parse(c.first);
        EXPECT_EQ(help, c.second);
    }
}

// At most 259 characters (é is two bytes), a refused path shown by its first
// 60; a working directory is needed only by a target without a drive.
TEST_F(StartUpTest, OverlongTargetsAndUnusableWorkingDirectoriesAreRefused) {
    const std::string accents = times(300, "\xc3\xa9");  // 300 characters of 2 bytes
    struct Case { std::string cwd; bool onDrive; std::string arg; int code; std::string text; };
    const Case cases[] = {
        {"C:\\", true, std::string(2100, 'x'), 1, "Folmar==>  Target path too long: " + std::string(60, 'x') + "...\n"},
        {"C:\\", true, "C:\\" + accents, 1, "Folmar==>  Target path too long: C:\\" + accents.substr(0, 2 * 57) + "...\n"},
        {"C:\\", true, "C:\\" + accents.substr(0, 2 * 256), 0, ""},
        {"/srv/x\x1b[2J" + std::string(300, 'y'), false, "/L", 1,
         "Folmar==>  The current directory is on no drive: /srv/x?[2J" + std::string(300, 'y') + "\n"},
        {"/srv/x", false, "D:\\x", 0, ""},
        {"/srv/x", false, "\xe9:\\x", 0, ""},  // a drive that is no letter is still a drive
        {"/srv/x", false, "/ALL", 0, ""},
        {"C:\\" + std::string(256, 'w'), true, "w", 0, ""},
        {"C:\\", true, "/T:1001", 1, "Folmar==>  /T: takes a number of files from 0 to 1000 \n"},
        {"C:\\", true, "/T:", 1, "Folmar==>  /T: takes a number of files from 0 to 1000 \n"},
        {"C:\\", true, "/T:5x", 1, "Folmar==>  /T: takes a number of files from 0 to 1000 \n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arg.substr(0, 10) + " in " + c.cwd.substr(0, 10));
        fresh();
        c.onDrive ? fakeSetCurrentDirectory(c.cwd.c_str()) : fakeSetCurrentDirectoryOffDrive(c.cwd.c_str());
        EXPECT_EQ(parse({"/L", c.arg}), c.code);
        EXPECT_EQ(out(), c.text);
    }
}

// A wait takes one key press, both parts of a two-part key (0 or 0xE0, then a
// scan code), and all typed ahead, so that the next wait blocks again; its
// prompt is on the screen when it reads.
TEST_F(StartUpTest, WaitTakesOneKeyPressAndEverythingTypedAhead) {
    fakeSetConsole(true);
    for (int code : {(int)'a', 0, 0x3B, (int)'\r'}) fakeTypeKey(code);  // a function key among keys typed ahead
    waitForKey();
    fakePressLater(0xE0);  // its second part never comes: the failed read ends the wait
    waitForKey();
    fakePressLater('z');
    waitForKey();
    EXPECT_EQ(fakeKeysRead(), 6);
    EXPECT_EQ(fakeBlockedReads(), 3);  // for 0xE0, for its second part and for z
    EXPECT_EQ(out(), times(3, "Folmar==>  Press Enter to continue \n"));
    EXPECT_EQ(fakeShownAtLastRead(), out().size());
}

// Standard error a terminal, standard output a file: once the run has lasted
// a second the walk's progress shows on the terminal, and a /P pause finds it
// erased. Nothing of it goes to standard output.
TEST_F(StartUpTest, ProgressOnTheTerminalIsErasedBeforeAWait) {
    for (int i = 0; i < 30; ++i) fakeAddDir(("C:\\P\\d" + std::to_string(i)).c_str());
    fakePutFile("C:\\Orvan\\Folmar.ini", "[Folmar settings]\n");
    fakeSetConsole(true);
    fakeTypeKey('x');
    fakeSetStderrTerminal(80);
    fakeSetClockStep(300);  // milliseconds per look at the clock: every directory's look draws
    EXPECT_EQ(run({"/P", "C:\\P"}), 0);
    EXPECT_EQ(fakeKeysRead(), 1);
    const std::string last = "Folmar==>  22 dirs, 0 files: C:\\P\\d21\\";  // the 23rd line's directory
    EXPECT_TRUE(endsWith(fakeStderrAtLastRead(), "\r" + last + "\r" + std::string(last.size(), ' ') + "\r"));
    EXPECT_FALSE(contains(out(), "\r") || contains(out(), "dirs,"));
}

// Help, a failed version query, nothing to do, the answer 0, a report file
// that is the settings file: each stops before any report, after its
// messages (and, but for the last two, a wait for a key), the settings file
// as it was.
TEST_F(StartUpTest, AStopBeforeTheReportEndsWithItsMessages) {
    struct Case { const char *settings; bool versionFails; const char *arg; int exitCode; const char *text; };
    const Case cases[] = {
        {"", false, "/?", 1, "Folmar==>  Ver. 5.1b of 18 January, 2008 \n\nFolmar (Ver. 5.1b) Usage:  Folmar  parm \n"},
        {"", true, "C:\\", 0, "Folmar==> GetVersionEx() failed in main() \nFolmar==> Program will abort \n"},
        {"processLocalDrives=N\nprocessRemoteDrives=N\n", false, "C:\\", 0,
         "Folmar==>  Nothing to do \n"
         "Folmar==>  processLocalDrives and processRemoteDrives \n"
         "Folmar==   ..are both set to (N)o in C:\\Orvan\\Folmar.ini\n"},
        {"", false, "/ALL", 0, "Folmar==>  Enter (1-4) or 0 to End: "},
        {"lineWidthPrint=80\noutputFile=folmar.INI\n", false, "/ALL", 1,
         "Folmar==>  Unable to use the output file folmar.INI \nFolmar==>  It is the settings file of this run \n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        fresh();
        fakePutFile("Folmar.ini", std::string("[Folmar settings]\n") + c.settings);
        fakePutFile("C:\\Orvan\\Folmar.ini", "[Folmar settings]\nprocessLocalDrives=Y\n");  // read only without the first
        if (c.versionFails) fakeFailVersion();
        fakeSetStdinInteger(0);
        EXPECT_EQ(run({c.arg}), c.exitCode);
        EXPECT_TRUE(contains(out(), c.text)) << out();
        EXPECT_TRUE(endsWith(out(), c.arg[1] == 'A' ? c.text : "Folmar==>  Press Enter to continue \n"));
        EXPECT_EQ(fakeFileText("Folmar.ini"), std::string("[Folmar settings]\n") + c.settings);
    }
}

// The extended disk query when the low 16 bits of the build number pass
// 1000 (Windows 95 is 0x040003B6).
TEST_F(StartUpTest, TheDiskQueryFollowsTheLow16BitsOfTheBuild) {
    const std::pair<uint32_t, OsLevel> cases[] = {
        {1000, OsLevel::classic}, {0x040003B6, OsLevel::classic}, {1001, OsLevel::extended},
        {0x000203E9, OsLevel::extended}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        fresh();
        fakeSetBuild(c.first);
        EXPECT_EQ(run({"C:\\"}), 0);
        EXPECT_EQ(rs.osLevel, c.second);
    }
}

// A console is 78 wide; redirected output takes the settings' width, or
// 125; the printer pitch is the narrowest that holds the line.
TEST_F(StartUpTest, LinesAre78WideOnAConsoleElseAsTheSettingsSayOr125) {
    struct Case { const char *settings; bool console; int width, cpi; };
    const Case cases[] = {
        {"lineWidthPrint=112", true, 78, 12}, {"lineWidthPrint=90", false, 90, 12}, {"", false, 125, 17},
        {"lineWidthPrint=75", false, 75, 10}, {"lineWidthPrint=112", false, 112, 15},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.settings);
        fresh();
        fakePutFile("Folmar.ini", std::string("[Folmar settings]\n") + c.settings + "\n");
        fakeSetStdoutCharDevice(c.console);
        EXPECT_EQ(run({"C:\\"}), 0);
        EXPECT_EQ(rs.lineWidth, c.width);
        EXPECT_EQ(rs.cpi, c.cpi);
    }
}

// A single-path run: the banner, and the totals block with the extended
// query's figures, every line written out.
TEST_F(StartUpTest, SinglePathRunFromTheBannerToTheExtendedFigures) {
    fakePutFile("C:\\Orvan\\Folmar.ini", "[Folmar settings]\n");  // the shared file, when the working directory has none
    fakeSetDiskSpaceEx('C', 39000000000ull, 80000000000ull, 40000000000ull);
    EXPECT_EQ(run({"C:\\"}), 0);
    const std::string text = out();
    EXPECT_EQ(text.substr(0, text.find("\nDirectory Drive C")), "Folmar==>  Ver. 5.1b   18 January, 2008 \n"
                                                               "Folmar==>  Directory Summary Report Generator \n"
                                                               "Folmar==>  from Orvan Software \n"
                                                               "Folmar==>  email: sales@orvan.example \n");
    EXPECT_TRUE(endsWith(text, "   Free Space          =  40,000,000,000  (Sectors) \n"
                               "   Free space Avail.   =  39,000,000,000  (Free Space) \n"
                               "   Capacity            =  80,000,000,000  (Bytes) \n\n"));
}

// A pattern that could never match a directory (from /I: or the settings),
// or more patterns than the store holds, refuses the run before anything is
// walked; patterns that look odd but can match are taken.
TEST_F(StartUpTest, ExclusionPatternsThatCanNeverMatchAreRefusedBeforeTheWalk) {
    struct Case { std::vector<std::string> args; std::string settings; int code; std::string message; };
    const std::string never = "\" can never match a directory \n";
    const Case cases[] = {
        {{"C:\\", "/I:"}, "", 1, "Folmar==>  The exclusion pattern \"" + never},
        {{"C:\\", "/I:\\"}, "", 1, "Folmar==>  The exclusion pattern \"\\" + never},
        {{"C:\\"}, "exclude=a;;b\n", 1, "Folmar==>  The exclusion pattern \"" + never},
        {{"C:\\", "/I:C:\\x\\"}, "", 1, "Folmar==>  The exclusion pattern \"C:\\x\\" + never},
        {{"C:\\", "/I:C:\\\\x"}, "", 1, "Folmar==>  The exclusion pattern \"C:\\\\x" + never},
        {{"C:\\", "/I:\\Windows"}, "", 1, "Folmar==>  The exclusion pattern \"\\Windows" + never},
        {{"C:\\", "/I:Windows/WinSxS"}, "", 1, "Folmar==>  The exclusion pattern \"Windows\\WinSxS" + never},
        {{"C:\\", "/I:" + times(64, "a;") + "a"}, "", 1,
         "Folmar==>  Too many exclusion patterns: at most 64, 4,096 bytes together, each 259 characters \n"},
        {{"C:\\", "/I:*\\node_modules;?:\\$Recycle.Bin;a*\\b"}, "", 0, "Bytes \n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        fresh();
        fakePutFile("Folmar.ini", "[Folmar x]\n" + c.settings);
        EXPECT_EQ(run(c.args), c.code);
        EXPECT_TRUE(contains(out(), c.message)) << out();
        EXPECT_EQ(contains(out(), "Directory Drive"), c.code == 0);
    }
}
