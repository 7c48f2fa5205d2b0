// The directory walk: order of files and lines, what is entered and counted,
// the byte totals, the never-decreasing guard and the fold into the grand totals.
#include "report/report.h"
#include "scan/scan.h"
#include "tests/unit/fixture.h"

namespace {

const std::string deepBase = "C:\\" + std::string(200, 'a');

class WalkTest : public FolmarTest {
protected:
    void prepare() override {
        fakeAddDrive('C', driveFixed);
        useConsoleWidth();
    }
    void walk(const char *target) {
        std::strcpy(rs.curPath, target);
        processDirs();
    }
};

}  // namespace

TEST_F(WalkTest, FilesOfADirectoryComeBeforeItsLineAndTheLineBeforeSubdirectories) {
    fakeAddFile("C:\\A\\f1", 10);
    fakeAddFile("C:\\A\\B\\f2", 20);
    fakeAddDir("C:\\A\\B\\C");
    fakeAddDir("C:\\A\\D");
    rs.showFiles = 'L';
    walk("C:\\A");
    EXPECT_STREQ(rs.curPath, "C:\\A\\D\\");  // the last directory entered
    EXPECT_EQ(out(), "f1\n"
                     "C:\\A" + std::string(71, '.') + " 10\n"
                     "f2\n"
                     "C:\\A\\B" + std::string(69, '.') + " 20\n"
                     "C:\\A\\B\\C" + std::string(68, '.') + " 0\n"
                     "C:\\A\\D" + std::string(70, '.') + " 0\n");
    EXPECT_EQ(rs.dirCount, 3u);
    EXPECT_EQ(rs.fileCount, 2u);
    EXPECT_EQ(rs.i64TotalAlloc, 30u);
}

// Each row: a tree, the walk's target and listing style, the counts and
// total, and a directory line that must (+) or must not (-) be printed.
TEST_F(WalkTest, WhatIsEnteredCountedAndListed) {
    struct Case {
        const char *name;
        void (*tree)();
        const char *target;
        char showDirs;
        uint32_t dirs, files;
        uint64_t total;
        const char *listed, *notListed;
    };
    const Case cases[] = {
        {"dot directories are skipped, dot files count", [] {
             fakeAddFile("C:\\T\\.profile", 7);
             fakeAddFile("C:\\T\\.cache\\big", 1000);
             fakeAddDir("C:\\T\\.git\\objects");
             fakeAddFile("C:\\T\\src\\main.c", 5);
         }, "C:\\T", 'L', 1, 2, 12, "C:\\T\\src..", ".cache"},
        {"a 5 GiB file uses both size words",
         [] { fakeAddFile("C:\\vm\\disk.raw", 5368709120ull), fakeAddFile("C:\\vm\\small", 1); },
         "C:\\vm", 'L', 0, 2, 5368709121ull, ". 5,368,709,121\n", nullptr},
        {"an unopenable subdirectory is counted, not listed; its siblings go on", [] {
             fakeAddFile("C:\\R\\a\\x", 1);
             fakeAddFile("C:\\R\\b\\y", 2);
             fakeAddFile("C:\\R\\c\\z", 4);
             fakeFailDir("C:\\R\\b");
         }, "C:\\R", 'L', 3, 2, 5, "C:\\R\\c..", "C:\\R\\b"},
        {"a directory whose file pass fails still gets its line",  // its directory pass opens
         [] { fakeAddFile("C:\\Q\\f", 9), fakeFailDir("C:\\Q", 1); }, "C:\\Q", 'L', 0, 0, 0, "C:\\Q...", nullptr},
        {"a missing target gives no line", [] {}, "C:\\nothere", 'L', 0, 0, 0, nullptr, "C:"},
        {"a child too long for curPath is counted, not entered", [] {
             fakeAddFile((deepBase + "\\" + std::string(70, 'b') + "\\inside").c_str(), 100);
             fakeAddFile((deepBase + "\\zz\\f").c_str(), 3);
         }, deepBase.c_str(), 'L', 2, 1, 3, nullptr, nullptr},
        {"short names build the paths under 'S'",
         [] { fakeAddDir("C:\\S\\Long Directory Name", "LONGDI~1"), fakeAddDir("C:\\S\\plain"); },
         "C:\\S", 'S', 2, 0, 0, "C:\\S\\LONGDI~1..", "Long Directory Name"},
        {"no directory lines; file names by their short name, else the long one", [] {
             fakeAddFile("C:\\F\\A Long Name.txt", 1, "ALONGN~1.TXT");
             fakeAddFile("C:\\F\\short.txt", 2);
             fakeAddFile("C:\\F\\s\\t\\c", 4);
             rs.showFiles = 'S';
         }, "C:\\F", 'N', 2, 3, 7, "ALONGN~1.TXT\nshort.txt\nc\n", "C:"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        c.tree();
        rs.showDirs = c.showDirs;
        walk(c.target);
        EXPECT_EQ(rs.dirCount, c.dirs);
        EXPECT_EQ(rs.fileCount, c.files);
        EXPECT_EQ(rs.i64TotalAlloc, c.total);
        EXPECT_EQ(rs.i64DirAlloc, 0u);
        EXPECT_TRUE(c.listed == nullptr || contains(out(), c.listed)) << out();
        EXPECT_TRUE(c.notListed == nullptr || !contains(out(), c.notListed)) << out();
        EXPECT_EQ(fakeOpenFindHandles(), 0);
    }
}

TEST_F(WalkTest, TotalsSaturateInsteadOfWrappingOrAborting) {
    // Two directories of 2^63 bytes each: the drive total holds at 2^64 - 1.
    fakeAddFile("C:\\W\\a\\huge1", 1ull << 63);
    fakeAddFile("C:\\W\\b\\huge2", 1ull << 63);
    walk("C:\\W");
    EXPECT_EQ(rs.i64TotalAlloc, UINT64_MAX);
    EXPECT_FALSE(contains(out(), "decending"));
    // The bytes of one directory never wrap to a small total either.
    fakeAddFile("C:\\H\\x", 1ull << 63);
    fakeAddFile("C:\\H\\y", 1ull << 63);
    rs.showDirs = 'N';
    rs.i64TotalAlloc = 0;
    walk("C:\\H");
    EXPECT_EQ(rs.i64TotalAlloc, UINT64_MAX);
    // Nor do the grand totals over drives.
    rs.osLevel = 'N';
    rs.i64TotalFree = UINT64_MAX;
    foldDriveTotals();
    rs.i64TotalAlloc = 5;
    rs.i64TotalFree = 5;
    foldDriveTotals();
    EXPECT_EQ(rs.i64GrandAlloc, UINT64_MAX);
    EXPECT_EQ(rs.i64GrandTotalFree, UINT64_MAX);
}
