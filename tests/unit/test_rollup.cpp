// The condensed roll-up: one line for the root and one per first-level
// directory carrying its whole subtree, flushed by the totals.
#include <cstring>

#include "tests/unit/fixture.h"
#include "report/report.h"
#include "scan/scan.h"

namespace {

class RollUpTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        fakeAddDrive('C', driveFixed);
        useConsoleWidth();
        rs.condensed = true;
    }
    void walkAndFlush(const char *target) {
        std::strcpy(rs.curPath, target);
        processDirs();
        rs.rollUpFlush = true;
        rollUpFirstLevel(rs.curPath);
    }
    // The directory lines of the captured output.
    std::vector<std::string> lines() {
        std::vector<std::string> result;
        std::string text = out();
        size_t start = 0, end;
        while ((end = text.find('\n', start)) != std::string::npos) {
            result.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return result;
    }
};

std::string dirLine(const std::string &path, const std::string &size) {
    std::string line = path + std::string(64 - path.size(), '.');
    std::string field = std::string(13 - size.size(), '.') + " " + size;
    return line + field;
}

TEST(PrefixLength, EndsAtTheSecondBackslash) {
    EXPECT_EQ(prefixLength("C:\\"), 3);
    EXPECT_EQ(prefixLength("C:\\A\\"), 5);
    EXPECT_EQ(prefixLength("C:\\A\\X\\Y\\"), 5);
    EXPECT_EQ(prefixLength("C:\\Data2\\"), 9);
    EXPECT_EQ(prefixLength("C:"), 3);
}

TEST_F(RollUpTest, DriveRootGivesRootLineAndOneLinePerFirstLevelSubtree) {
    fakeAddFile("C:\\root.txt", 1);
    fakeAddFile("C:\\A\\a", 10);
    fakeAddFile("C:\\A\\X\\x", 100);
    fakeAddFile("C:\\A\\X\\Y\\y", 1000);
    fakeAddFile("C:\\B\\b", 20000);
    walkAndFlush("C:\\");
    std::vector<std::string> expected = {dirLine("C:\\", "1"), dirLine("C:\\A", "1,110"),
                                         dirLine("C:\\B", "20,000")};
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(rs.i64TotalAlloc, 21111u);
    EXPECT_TRUE(rs.rollUpFirst);
    EXPECT_FALSE(rs.rollUpFlush);
}

TEST_F(RollUpTest, DeeperTargetIsOneLineWithTheWholeTree) {
    fakeAddFile("C:\\Data\\a", 1);
    fakeAddFile("C:\\Data\\Sub\\b", 2);
    fakeAddFile("C:\\Data\\Sub\\Deeper\\c", 4);
    walkAndFlush("C:\\Data");
    std::vector<std::string> expected = {dirLine("C:\\Data", "7")};
    EXPECT_EQ(lines(), expected);
}

TEST_F(RollUpTest, SiblingsSharingANamePrefixAreDifferentSubtrees) {
    fakeAddFile("C:\\Data\\a", 1);
    fakeAddFile("C:\\Data2\\b", 2);
    walkAndFlush("C:\\");
    std::vector<std::string> expected = {dirLine("C:\\", "0"), dirLine("C:\\Data", "1"),
                                         dirLine("C:\\Data2", "2")};
    EXPECT_EQ(lines(), expected);
}

TEST_F(RollUpTest, UnopenableFirstLevelDirectoryLeavesThePendingLineAlone) {
    fakeAddFile("C:\\A\\a", 1);
    fakeAddFile("C:\\B\\b", 2);
    fakeAddFile("C:\\C\\c", 4);
    fakeFailDir("C:\\B");
    walkAndFlush("C:\\");
    std::vector<std::string> expected = {dirLine("C:\\", "0"), dirLine("C:\\A", "1"),
                                         dirLine("C:\\C", "4")};
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(rs.dirCount, 3u);
}

TEST_F(RollUpTest, FlushWithNothingPendingPrintsNothingAndNextDriveStartsFresh) {
    walkAndFlush("C:\\missing");
    EXPECT_EQ(out(), "");
    EXPECT_TRUE(rs.rollUpFirst);
    fakeAddFile("C:\\only\\f", 3);
    walkAndFlush("C:\\only");
    std::vector<std::string> expected = {dirLine("C:\\only", "3")};
    EXPECT_EQ(lines(), expected);
}

TEST_F(RollUpTest, FileNamesOfANewSubtreeComeBeforeThePreviousHeldBackLine) {
    fakeAddFile("C:\\A\\fa", 1);
    fakeAddFile("C:\\B\\fb", 2);
    rs.showFiles = 'L';
    walkAndFlush("C:\\");
    std::vector<std::string> expected = {"fa", dirLine("C:\\", "0"), "fb", dirLine("C:\\A", "1"),
                                         dirLine("C:\\B", "2")};
    EXPECT_EQ(lines(), expected);
}

}  // namespace
