// The directory walk: order of files and lines, what is entered and counted,
// the byte totals, the never-decreasing guard and the fold into the grand totals.
#include <cstring>

#include "tests/unit/fixture.h"
#include "report/report.h"
#include "scan/scan.h"

namespace {

class WalkTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        fakeAddDrive('C', driveFixed);
        useConsoleWidth();
    }
    void walk(const char *target) {
        std::strcpy(rs.curPath, target);
        processDirs();
    }
};

TEST_F(WalkTest, FilesOfADirectoryComeBeforeItsLineAndTheLineBeforeSubdirectories) {
    fakeAddFile("C:\\A\\f1", 10);
    fakeAddFile("C:\\A\\B\\f2", 20);
    rs.showFiles = 'L';
    walk("C:\\A");
    std::string text = out();
    size_t f1 = text.find("f1\n"), lineA = text.find("C:\\A...");
    size_t f2 = text.find("f2\n"), lineB = text.find("C:\\A\\B...");
    ASSERT_NE(f1, std::string::npos);
    ASSERT_NE(lineA, std::string::npos);
    ASSERT_NE(f2, std::string::npos);
    ASSERT_NE(lineB, std::string::npos);
    EXPECT_LT(f1, lineA);
    EXPECT_LT(lineA, f2);
    EXPECT_LT(f2, lineB);
    EXPECT_EQ(rs.dirCount, 1u);
    EXPECT_EQ(rs.fileCount, 2u);
    EXPECT_EQ(rs.i64TotalAlloc, 30u);
}

TEST_F(WalkTest, DotDirectoriesAreSkippedButDotFilesCount) {
    fakeAddFile("C:\\T\\.profile", 7);
    fakeAddFile("C:\\T\\.cache\\big", 1000);
    fakeAddDir("C:\\T\\.git\\objects");
    fakeAddFile("C:\\T\\src\\main.c", 5);
    walk("C:\\T");
    EXPECT_EQ(rs.dirCount, 1u);
    EXPECT_EQ(rs.fileCount, 2u);
    EXPECT_EQ(rs.i64TotalAlloc, 12u);
    EXPECT_EQ(out().find(".cache"), std::string::npos);
}

TEST_F(WalkTest, LargeFileSizesUseBothWords) {
    fakeAddFile("C:\\vm\\disk.raw", 5368709120ull);
    fakeAddFile("C:\\vm\\small", 1);
    walk("C:\\vm");
    EXPECT_EQ(rs.i64TotalAlloc, 5368709121ull);
}

TEST_F(WalkTest, UnopenableSubdirectoryIsCountedButNotListedAndSiblingsGoOn) {
    fakeAddFile("C:\\R\\a\\x", 1);
    fakeAddFile("C:\\R\\b\\y", 2);
    fakeAddFile("C:\\R\\c\\z", 4);
    fakeFailDir("C:\\R\\b");
    walk("C:\\R");
    EXPECT_EQ(rs.dirCount, 3u);
    EXPECT_EQ(rs.fileCount, 2u);
    EXPECT_EQ(rs.i64TotalAlloc, 5u);
    EXPECT_EQ(out().find("C:\\R\\b"), std::string::npos);
    EXPECT_NE(out().find("C:\\R\\c"), std::string::npos);
    EXPECT_EQ(fakeOpenFindHandles(), 0);
}

TEST_F(WalkTest, DirectoryWhoseFilePassFailsStillGetsItsLine) {
    fakeAddFile("C:\\Q\\f", 9);
    fakeFailDir("C:\\Q", 1);  // the directory pass opens, the file pass does not
    walk("C:\\Q");
    EXPECT_EQ(rs.fileCount, 0u);
    EXPECT_NE(out().find("C:\\Q.."), std::string::npos);
}

TEST_F(WalkTest, MissingTargetGivesNoLineAndLeavesTheBackslash) {
    walk("C:\\nothere");
    EXPECT_EQ(out(), "");
    EXPECT_EQ(rs.dirCount, 0u);
    EXPECT_EQ(rs.fileCount, 0u);
    EXPECT_STREQ(rs.curPath, "C:\\nothere\\");
}

TEST_F(WalkTest, CurPathEndsAtTheLastDirectoryEntered) {
    fakeAddDir("C:\\P\\one");
    fakeAddDir("C:\\P\\two\\deep");
    walk("C:\\P");
    EXPECT_STREQ(rs.curPath, "C:\\P\\two\\deep\\");
}

TEST_F(WalkTest, ChildPathTooLongForCurPathIsCountedNotEntered) {
    std::string base = "C:\\" + std::string(200, 'a');
    std::string longChild = base + "\\" + std::string(70, 'b');
    fakeAddFile((longChild + "\\inside").c_str(), 100);
    fakeAddFile((base + "\\zz\\f").c_str(), 3);
    walk(base.c_str());
    EXPECT_EQ(rs.dirCount, 2u);
    EXPECT_EQ(rs.fileCount, 1u);
    EXPECT_EQ(rs.i64TotalAlloc, 3u);
}

TEST_F(WalkTest, ShortNamesBuildPathsWhenAskedAndLongNamesOtherwise) {
    fakeAddDir("C:\\S\\Long Directory Name", "LONGDI~1");
    fakeAddDir("C:\\S\\plain");
    rs.showDirs = 'S';
    walk("C:\\S");
    std::string text = out();
    EXPECT_NE(text.find("C:\\S\\LONGDI~1.."), std::string::npos);
    EXPECT_NE(text.find("C:\\S\\plain.."), std::string::npos);
    EXPECT_EQ(text.find("Long Directory Name"), std::string::npos);
}

TEST_F(WalkTest, NoDirectoryLinesStillTotalsEveryByte) {
    fakeAddFile("C:\\N\\a", 1);
    fakeAddFile("C:\\N\\s\\b", 2);
    fakeAddFile("C:\\N\\s\\t\\c", 4);
    rs.showDirs = 'N';
    walk("C:\\N");
    EXPECT_EQ(out(), "");
    EXPECT_EQ(rs.i64TotalAlloc, 7u);
    EXPECT_EQ(rs.i64DirAlloc, 0u);
}

TEST_F(WalkTest, FileNamesListedByShortNameFallBackToTheLongName) {
    fakeAddFile("C:\\F\\A Long Name.txt", 1, "ALONGN~1.TXT");
    fakeAddFile("C:\\F\\short.txt", 1);
    rs.showFiles = 'S';
    rs.showDirs = 'N';
    walk("C:\\F");
    EXPECT_EQ(out(), "ALONGN~1.TXT\nshort.txt\n");
}

TEST_F(WalkTest, DecreasingTotalAbortsWithItsMessageAndExitCodeOne) {
    fakeAddFile("C:\\W\\a\\huge1", 1ull << 63);
    fakeAddFile("C:\\W\\b\\huge2", 1ull << 63);
    rs.showDirs = 'L';
    EXPECT_EXIT(walk("C:\\W"), ::testing::ExitedWithCode(1),
                "Folmar==>  i64TotalAlloc is decending \n"
                "i64TotalAlloc     =                0 \n"
                "i64SaveTotalAlloc = \\*+ \n"
                "path              = C:\\\\W\\\\b  \n"
                "Folmar==>  Program will abort \n");
}

TEST_F(WalkTest, BytesOfOneDirectoryNeverWrapToASmallTotal) {
    fakeAddFile("C:\\H\\x", 1ull << 63);
    fakeAddFile("C:\\H\\y", 1ull << 63);
    rs.showDirs = 'N';
    walk("C:\\H");
    EXPECT_EQ(rs.i64TotalAlloc, UINT64_MAX);
}

TEST_F(WalkTest, FoldAddsTheDriveIntoTheGrandTotalsAndZeroesIt) {
    rs.osLevel = 'O';
    rs.dirCount = 3;
    rs.fileCount = 4;
    rs.i64TotalAlloc = 5000000000ull;
    rs.i64SaveTotalAlloc = 5000000000ull;
    rs.usedBytes = 3000000000u;
    rs.freeBytes = 4000000000u;
    rs.capacityBytes = 2705032704u;
    rs.i64GrandAlloc = 1;
    fakeQueueClock(LocalTime{2009, 2, 3, 4, 5});
    foldDriveTotals();
    EXPECT_EQ(rs.i64GrandDirs, 3u);
    EXPECT_EQ(rs.i64GrandFiles, 4u);
    EXPECT_EQ(rs.i64GrandAlloc, 5000000001ull);
    EXPECT_EQ(rs.i64GrandUsed, 3000000000ull);
    EXPECT_EQ(rs.i64GrandFree, 4000000000ull);
    EXPECT_EQ(rs.i64GrandCapacity, 2705032704ull);
    EXPECT_EQ(rs.i64GrandTotalBytes, 0u);
    EXPECT_EQ(rs.dirCount + rs.fileCount + rs.usedBytes + rs.freeBytes + rs.capacityBytes, 0u);
    EXPECT_EQ(rs.i64TotalAlloc, 0u);
    EXPECT_EQ(rs.i64SaveTotalAlloc, 0u);
    EXPECT_EQ(rs.runDate.year, 2009);
}

TEST_F(WalkTest, FoldOfTheExtendedFiguresLeavesTheClassicOnesAlone) {
    rs.osLevel = 'N';
    rs.i64TotalFree = 40000000000ull;
    rs.i64FreeToCaller = 39000000000ull;
    rs.i64TotalBytes = 80000000000ull;
    foldDriveTotals();
    foldDriveTotals();  // a second drive with nothing adds nothing
    EXPECT_EQ(rs.i64GrandTotalFree, 40000000000ull);
    EXPECT_EQ(rs.i64GrandFreeToCaller, 39000000000ull);
    EXPECT_EQ(rs.i64GrandTotalBytes, 80000000000ull);
    EXPECT_EQ(rs.i64GrandUsed, 0u);
}

}  // namespace
