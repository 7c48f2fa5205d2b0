// The directory walk: what is entered, by which name, and counted, when short
// names are asked for, the condensed roll-up, and the two stops of a walk: a
// machine out of memory or open files, and a drive total that went down.
#include "report/report.h"
#include "scan/internal.h"
#include "scan/scan.h"
#include "tests/unit/fixture.h"

// 130 folders of 250 characters below C:\D: 32,635 characters with the backslash, 65,135 bytes.
static const std::string deep = "C:\\D" + times(130, "\\" + times(250, "\xc3\xa9"));

class WalkTest : public FolmarTest {
protected:
    void prepare() override {
        fakeAddDrive('C', driveFixed);
        setWidth(78);
    }
};

// Each row: a tree, the target and listing style, the directories and files
// counted, the bytes, a text printed and one not, and whether short names are
// asked for (only when something uses them).
TEST_F(WalkTest, WhatIsEnteredCountedAndListed) {
    struct Case { const char *name; void (*tree)(); const char *target; Listing showDirs; uint32_t dirs, files;
                  uint64_t total; std::string listed, notListed; bool shortNames; };
    const Case cases[] = {
        {"dot directories and dot files count; only the . and .. entries are passed over", [] {
             fakeAddFile("C:\\T\\.profile", 7), fakeAddFile("C:\\T\\.cache\\big", 1000), fakeAddFile("C:\\T\\-x\\c", 5);
         }, "C:\\T", Listing::longNames, 2, 3, 1012, "C:\\T\\.cache" + dots(61) + " 1,000\n", "C:\\T\\..", false},
        {"an unopenable directory is counted, not listed", [] { fakeAddFile("C:\\R\\b\\y", 2), fakeFailDir("C:\\R\\b"); },
         "C:\\R", Listing::longNames, 1, 0, 0, "C:\\R..", "C:\\R\\b", false},
        {"a failed file pass (its directory pass opens) still gives a line, silently",
         [] { fakeAddFile("C:\\Q\\f", 9), fakeFailDir("C:\\Q", 1, 21); }, "C:\\Q", Listing::longNames, 0, 0, 0, "C:\\Q...", "Folmar", false},
        {"paths past 259 characters are walked, up to 32,767 characters (not bytes) with the backslash", [] {
             fakeAddFile((deep + "\\" + std::string(132, 'b') + "\\in").c_str(), 100);
             fakeAddFile((deep + "\\" + std::string(131, 'c') + "\\in").c_str(), 3);
         }, "C:\\D", Listing::longNames, 132, 1, 3, "\n   ccc..", "bbb", false},
        {"a reparse point that leads back up its branch is counted, not entered; others are entered", [] {
             fakeAddFile("C:\\L\\f", 5), fakeAddFile("C:\\L\\s\\x", 7), fakeAddLink("C:\\L\\a", "C:\\L");
             fakeAddLink("C:\\L\\s\\up", "C:\\L\\s"), fakeAddLink("C:\\L\\t", "C:\\L\\s");  // t\up is s, as t
         }, "C:\\L", Listing::longNames, 5, 3, 19, "C:\\L\\t" + dots(70) + " 7\n", "C:\\L\\a", false},
        {"a folder swapped for a link up its branch after it was listed is counted, not entered", [] {
             fakeAddFile("C:\\P\\f", 5), fakeAddFile("C:\\P\\s\\x", 7), fakeSwapForLink("C:\\P\\s", "C:\\P");
         }, "C:\\P", Listing::longNames, 1, 1, 5, "C:\\P...", "C:\\P\\s", false},
        {"the same number on another volume is no loop", [] {
             fakeAddDrive('D', driveFixed), fakeAddFile("C:\\c", 3), fakeAddLink("D:\\toC", "C:\\");
         }, "D:\\", Listing::longNames, 1, 1, 3, "D:\\toC" + dots(70) + " 3\n", "loop", false},
        {"file names by their short name, else the long one", [] {
             fakeAddFile("C:\\F\\A Long Name.txt", 1, "ALONGN~1.TXT"), fakeAddFile("C:\\F\\short.txt", 2);
             rs.showFiles = Listing::shortNames;
         }, "C:\\F", Listing::longNames, 0, 2, 3, "ALONGN~1.TXT\nshort.txt\nC:\\F..", "A Long", true},
        {"file names by their long name under showFiles=L, /S or not",
         [] { fakeAddFile("C:\\G\\A Long Name.txt", 1, "ALONGN~1.TXT"), rs.showFiles = Listing::longNames; }, "C:\\G",
         Listing::shortNames, 0, 1, 1, "A Long Name.txt\nC:\\G..", "ALONGN~1", true},
        {"paths from short names under /S, else from the long name", [] {
             fakeAddDir("C:\\S\\Long Directory", "LONGDI~1"), fakeAddFile("C:\\S\\Long Directory\\f", 1);
             fakeAddFile("C:\\S\\plain\\g", 2);
         }, "C:\\S", Listing::shortNames, 2, 2, 3, "C:\\S\\LONGDI~1..", "Long Directory", true},
        {"long names that may be look-alikes: one with a short name is entered by it", [] {
             fakeSetEnterByShortNames(true), fakeAddDir("C:\\V\\Dvorak", "DVORAK~1"), fakeAddFile("C:\\V\\Dvorak\\f", 1);
         }, "C:\\V", Listing::longNames, 1, 1, 1, "C:\\V\\DVORAK~1..", "C:\\V\\Dvorak.", true},
        {"a drive's total past 2^64 - 1 holds at it, never seen to go down",
         [] { fakeAddFile("C:\\W\\a\\x", 1ull << 63), fakeAddFile("C:\\W\\b\\y", 1ull << 63); }, "C:\\W", Listing::longNames, 2, 2,
         UINT64_MAX, "C:\\W\\b..", "decending", false},
        {"bytes past 2^64 - 1 (sparse files) hold at it and show as stars",
         [] { fakeAddFile("C:\\H\\x", 1ull << 63), fakeAddFile("C:\\H\\y", 1ull << 63); }, "C:\\H", Listing::longNames, 0, 2,
         UINT64_MAX, "C:\\H" + dots(60) + "**************\n", "decending", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        c.tree();
        rs.showDirs = c.showDirs;
        std::strcpy(rs.curPath, c.target);
        processDirs();
        EXPECT_EQ(rs.dirCount, c.dirs);
        EXPECT_EQ(rs.fileCount, c.files);
        EXPECT_EQ(rs.i64TotalAlloc, c.total);
        EXPECT_TRUE(contains(out(), c.listed)) << out();
        EXPECT_FALSE(contains(out(), c.notListed)) << out();
        EXPECT_EQ(fakeShortNameRequests() > 0, c.shortNames);
        EXPECT_EQ(fakeOpenFindHandles(), 0);
    }
}

// Patterns from /I: and the settings (the key repeated, ';' between them)
// leave directories out: by name, or by the whole path from the drive (a
// doubled backslash of the target is one); '*' and '?' (never a '\'),
// letters in any case.
// A directory left out is in no count; the last line of standard error says
// how many and the patterns. Each file's size is a power of ten of its own.
TEST_F(WalkTest, PatternsLeaveDirectoriesOutByNameOrPathInAnyCase) {
    struct Case { std::vector<std::string> args; std::string settings, dirs, bytes, err; };
    const Case cases[] = {
        {{"C:\\T", "/I:NODE_MODULES"}, "", "6", "1,111,001", "Folmar==>  2 directories excluded (NODE_MODULES) \n"},
        {{"C:\\T", "/I:build?", "/I:\xc3\x89T?"}, "", "6", "101,111",
         "Folmar==>  2 directories excluded (build?;\xc3\x89T?) \n"},
        {{"C:\\T", "/I:c:\\t\\NODE_MODULES;?:/*\\x\\*"}, "", "5", "1,110,001",
         "Folmar==>  3 directories excluded (c:\\t\\NODE_MODULES;?:\\*\\x\\*) \n"},
        {{"C:\\T", "/I:\xc3\xa9t\xc3\xa9"}, "exclude=build1;build12 ; a comment\nexclude=x\n", "2", "11",
         "Folmar==>  4 directories excluded (build1;build12;x;\xc3\xa9t\xc3\xa9) \n"},
        {{"/L", "\\T", "/I:C:\\T\\x"}, "", "5", "1,110,011", "Folmar==>  1 directory excluded (C:\\T\\x) \n"},
        {{"C:\\T", "/I:*.*;C:\\T?x"}, "", "8", "1,111,111", "Folmar==>  0 directories excluded (*.*;C:\\T?x) \n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.err);
        fresh();
        fakePutFile("Folmar.ini", "[Folmar x]\n" + c.settings);
        const char *files[] = {"C:\\T\\f", "C:\\T\\node_modules\\a", "C:\\T\\x\\Node_Modules\\b", "C:\\T\\x\\node_modules2\\c",
                               "C:\\T\\build1\\d", "C:\\T\\build12\\e", "C:\\T\\\xc3\xa9t\xc3\xa9\\g"};
        uint64_t size = 1;
        for (const char *file : files) fakeAddFile(file, size), size *= 10;
        EXPECT_EQ(run(c.args), 0);
        EXPECT_TRUE(contains(out(), "Number of Dirs.     =" + std::string(16 - c.dirs.size(), ' ') + c.dirs + "\n")) << out();
        EXPECT_TRUE(contains(out(), " " + c.bytes + "  (File Sizes)")) << out();
        EXPECT_EQ(fakeStderrText(), c.err);
    }
}

// Under /E every directory that could not be read, with its reason, and
// every one a pattern left out, with the pattern, follows the report on
// standard error ('?' for a control character); without it one line says
// how many could not be read. Standard output and the exit code are the same.
TEST_F(WalkTest, DirectoriesNotReadAreListedUnderSlashEAndCountedWithout) {
    const std::string tooLong = deep + "\\" + std::string(132, 'b');
    const std::vector<std::pair<std::string, uint32_t>> failing = {
        {"C:\\D\\denied", 5}, {"C:\\D\\gone", 3}, {"C:\\D\\c\x01" "d", 123}, {"C:\\D\\busy", 21}};
    std::string report;
    for (bool listed : {false, true}) {
        fresh();
        for (const auto &dir : failing) {
            fakeAddFile((dir.first + "\\f").c_str(), 1);
            fakeFailDir(dir.first.c_str(), 0, dir.second);
        }
        fakeAddLink("C:\\D\\loop", "C:\\D");
        fakeAddDir(tooLong.c_str());
        fakeAddFile("C:\\D\\skip\x01\\f", 1);
        EXPECT_EQ(run({"C:\\D", listed ? "/E" : "/L", "/I:skip?"}), 0);
        if (listed) continue;
        report = out();
        EXPECT_EQ(fakeStderrText(), "Folmar==>  6 directories could not be read; /E lists them \n"
                                    "Folmar==>  1 directory excluded (skip?) \n");
    }
    EXPECT_EQ(out(), report);
    EXPECT_EQ(fakeStderrText(), "Folmar==>  Unable to read C:\\D\\denied (access denied) \n"
                                "Folmar==>  Unable to read C:\\D\\gone (not found) \n"
                                "Folmar==>  Unable to read C:\\D\\c?d (name this system cannot hold) \n"
                                "Folmar==>  Unable to read C:\\D\\busy (error code 21) \n"
                                "Folmar==>  Unable to read C:\\D\\loop (loop) \n"
                                "Folmar==>  Unable to read " + tooLong + " (path too long for this system) \n"
                                "Folmar==>  Excluded C:\\D\\skip? (skip?) \n"
                                "Folmar==>  1 directory excluded (skip?) \n");
}

// One line for the root and one per first-level directory with its whole
// subtree, printed when the walk moves on and at the end of the drive. Each
// row: the files, in the order the walk finds them, and the lines.
TEST_F(WalkTest, CondensedWalkGivesOneLinePerFirstLevelSubtree) {
    struct Case { const char *name; std::vector<std::pair<const char *, uint64_t>> files; const char *target;
                  Listing showFiles; std::string lines; };
    const std::string root0 = "C:\\" + dots(73) + " 0\n";
    const Case cases[] = {
        {"drive root", {{"C:\\r", 1}, {"C:\\A\\a", 10}, {"C:\\A\\X\\x", 100}, {"C:\\A\\X\\Y\\y", 1000}, {"C:\\B\\b", 20000}},
         "C:\\", Listing::none, "C:\\" + dots(73) + " 1\nC:\\A" + dots(68) + " 1,110\nC:\\B" + dots(67) + " 20,000\n"},
        {"deeper target: one line for the tree", {{"C:\\D\\a", 1}, {"C:\\D\\S\\b", 2}, {"C:\\D\\S\\T\\c", 4}}, "C:\\D", Listing::none,
         "C:\\D" + dots(72) + " 7\n"},
        {"Data before Data2", {{"C:\\Data\\a", 1}, {"C:\\Data2\\b", 2}}, "C:\\", Listing::none,
         root0 + "C:\\Data" + dots(69) + " 1\nC:\\Data2" + dots(68) + " 2\n"},
        {"Data2 before Data", {{"C:\\Data2\\b", 2}, {"C:\\Data\\a", 1}}, "C:\\", Listing::none,
         root0 + "C:\\Data2" + dots(68) + " 2\nC:\\Data" + dots(69) + " 1\n"},
        {"file names of a new subtree come before the held-back line", {{"C:\\A\\fa", 1}, {"C:\\B\\fb", 2}}, "C:\\", Listing::longNames,
         "fa\n" + root0 + "fb\nC:\\A" + dots(72) + " 1\nC:\\B" + dots(72) + " 2\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        for (const auto &file : c.files) fakeAddFile(file.first, file.second);
        rs.showFiles = c.showFiles;
        rs.condensed = true;
        std::strcpy(rs.curPath, c.target);
        processDirs();
        flushRollUp();  // as the totals block ends the drive
        flushRollUp();  // nothing is pending then: the next drive starts afresh
        EXPECT_EQ(out(), c.lines);
    }
}

// Out of open files (4) or memory (8), in C:\A\B's directory pass or only in
// its file pass: the walk stops, B has no line, the run ends with exit code 1.
TEST_F(WalkTest, OutOfMemoryOrOpenFilesStopsTheRunWithExitCodeOne) {
    struct Case { int afterCalls; uint32_t code; };
    for (const Case &c : {Case{0, 4}, Case{0, 8}, Case{1, 4}}) {
        SCOPED_TRACE(std::to_string(c.code) + " after " + std::to_string(c.afterCalls));
        fresh();
        fakeAddFile("C:\\A\\f", 5);
        fakeAddFile("C:\\A\\B\\g", 7);
        fakeFailDir("C:\\A\\B", c.afterCalls, c.code);
        EXPECT_EQ(run({"C:\\A"}), 1);
        EXPECT_TRUE(endsWith(out(), "\nC:\\A" + dots(119) + " 5\n"
                                    "Folmar==>  Unable to read C:\\A\\B\\*.* \n"
                                    "Folmar==>  Out of memory or open files (Error Code " + std::to_string(c.code) + ") \n"));
    }
}

// A drive total that went down (forced: lowered after a line of 1,000): the
// figures, the path and a wait, then nothing more, even at a drive root.
TEST_F(WalkTest, DecreasingTotalStopsTheRunAfterItsMessagesAndAWait) {
    fakeAddFile("C:\\A\\f", 5);
    fakeAddDrive('D', driveFixed);
    rs.runMode = RunMode::allDrives;
    addDirToTotal("C:\\", 1000);
    rs.i64TotalAlloc = 0;
    EXPECT_EQ(runAllDrives(), 1);
    EXPECT_TRUE(endsWith(out(), "Folmar==>  Processing Drive C\n"
                                "Folmar==>  i64TotalAlloc is decending \n"
                                "i64TotalAlloc     =                0 \n"
                                "i64SaveTotalAlloc =            1,000 \n"
                                "path              = C:\\ \n"
                                "Folmar==>  Program will abort \n"
                                "Folmar==>  Press Enter to continue \n"));
    const std::string file = fakeFileText("C:\\FolmarAll.txt");
    EXPECT_FALSE(contains(file, "Totals") || contains(file, "C:\\A")) << file;
}
