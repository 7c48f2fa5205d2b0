// Directory lines: the path column, dot leader and size column, wrapping of
// long paths (break order, hard breaks, continuation lines), the cases where
// the last piece would reach the size column, and the sinks of the lines.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fake/fake.h"
#include "report/report.h"
#include "tests/unit/fixture.h"

namespace {

class DirLineTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        setWidth(78);
    }
    void TearDown() override {
        if (rs.outFile != nullptr) std::fclose(rs.outFile);
        rs.outFile = nullptr;
    }
    void setWidth(int width) {
        rs.lineWidth = width;
        rs.pathColumn = width - 14;
        rs.wrapFloor = (unsigned)(width - 14) / 2;
    }
    // The console text of one directory `path` holding `bytes`.
    std::string linesOf(const std::string &path, uint64_t bytes) {
        size_t before = out().size();
        char text[521];
        std::snprintf(text, sizeof text, "%s", path.c_str());
        rs.i64DirAlloc = bytes;
        printDirLine(text);
        return out().substr(before);
    }
};

std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

std::string letters(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (char)('a' + i % 26);
    return text;
}

}  // namespace

// ---- the worked examples at width 78 ----

TEST_F(DirLineTest, PathThatFitsTakesOneLineWithLeaderAndSize) {
    rs.i64TotalAlloc = rs.i64SaveTotalAlloc = 1000;
    EXPECT_EQ(linesOf("C:\\Windows\\System32\\", 123456789),
              "C:\\Windows\\System32............................................... 123,456,789\n");
    EXPECT_EQ(rs.i64TotalAlloc, 123457789u);  // handed on to the drive total
    EXPECT_EQ(rs.i64DirAlloc, 0u);
}

TEST_F(DirLineTest, DriveRootKeepsItsBackslash) {
    EXPECT_EQ(linesOf("C:\\", 0),
              "C:\\......................................................................... 0\n");
}

TEST_F(DirLineTest, LongPathBreaksAfterTheRightmostBackslashInRange) {
    EXPECT_EQ(linesOf("C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\Year End\\",
                      2048),
              "C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\\n"
              "   Year End............................................................. 2,048\n");
}

TEST_F(DirLineTest, WithoutBackslashInRangeTheBreakIsAfterABlank) {
    EXPECT_EQ(linesOf("E:\\Audio\\Complete Studio Recordings of the City Chamber Orchestra 1952 to 1974\\",
                      734003200),
              "E:\\Audio\\Complete Studio Recordings of the City Chamber \n"
              "   Orchestra 1952 to 1974......................................... 734,003,200\n");
}

TEST_F(DirLineTest, WithoutAnyBreakCharacterThePathIsCutAtThePathColumn) {
    EXPECT_EQ(linesOf("D:\\Projects\\ThisDirectoryNameHasNoBreakCharactersAtAllAndItJustKeepsGoingOnAndOnUntilTheEn\\",
                      5),
              "D:\\Projects\\ThisDirectoryNameHasNoBreakCharactersAtAllAndItJustK\n"
              "   eepsGoingOnAndOnUntilTheEn............................................... 5\n");
}

// ---- edge cases of the layout ----

TEST_F(DirLineTest, PathOfExactlyThePathColumnHasNoLeaderDots) {
    std::string path = "C:\\" + letters(61);  // 64 characters
    EXPECT_EQ(linesOf(path + "\\", 2048), path + "........ 2,048\n");
    std::string longer = "C:\\" + letters(62);  // 65: broken
    EXPECT_EQ(linesOf(longer + "\\", 2048),
              longer.substr(0, 64) + "\n"
              "   " + longer.substr(64) + std::string(60, '.') + "........ 2,048\n");
}

TEST_F(DirLineTest, BreakKindsAreTriedBackslashBlankUnderscoreHyphen) {
    // A backslash low in the range wins over a blank at its top.
    std::string path = "C:\\" + letters(31) + "\\" + letters(28) + " " + letters(10);
    EXPECT_EQ(splitLines(linesOf(path + "\\", 1))[0], "C:\\" + letters(31) + "\\");
    // A blank wins over an underscore, an underscore over a hyphen.
    path = "C:\\" + letters(31) + " " + letters(28) + "_" + letters(10);
    EXPECT_EQ(splitLines(linesOf(path + "\\", 1))[0], "C:\\" + letters(31) + " ");
    path = "C:\\" + letters(31) + "_" + letters(28) + "-" + letters(10);
    EXPECT_EQ(splitLines(linesOf(path + "\\", 1))[0], "C:\\" + letters(31) + "_");
    path = "C:\\" + letters(31) + "-" + letters(28) + "-" + letters(10);
    EXPECT_EQ(splitLines(linesOf(path + "\\", 1))[0], "C:\\" + letters(31) + "-" + letters(28) + "-");
}

TEST_F(DirLineTest, BreaksAreSearchedOnlyAboveTheWrapFloor) {
    // Backslash at position 32 (the floor) is not used: hard break at 64.
    std::string path = "C:\\" + letters(29) + "\\" + letters(40);
    std::vector<std::string> lines = splitLines(linesOf(path + "\\", 1));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], path.substr(0, 64));
    EXPECT_EQ(lines[1], "   " + path.substr(64) + std::string(52, '.') + "............ 1");
    // One further right (33) is.
    path = "C:\\" + letters(30) + "\\" + letters(40);
    EXPECT_EQ(splitLines(linesOf(path + "\\", 1))[0], "C:\\" + letters(30) + "\\");
}

TEST_F(DirLineTest, BackslashAtThePathColumnEndsAFirstLineOfPathColumnPlusOne) {
    std::string head = "C:\\" + letters(61) + "\\";  // backslash at 64
    EXPECT_EQ(linesOf(head + "Tail\\", 7),
              head + "\n"
              "   Tail..................................................................... 7\n");
}

TEST_F(DirLineTest, VeryLongPathIsBrokenOverAsManyLinesAsItNeeds) {
    std::string path =
        "F:\\Archive\\Scanned Correspondence\\Northern District Offices\\Letters Received "
        "During The Winter\\Quarter Of Nineteen Ninety Seven\\Bundle Twelve\\";
    EXPECT_EQ(linesOf(path, 9876543210ULL),
              "F:\\Archive\\Scanned Correspondence\\Northern District Offices\\\n"
              "   Letters Received During The Winter\\\n"
              "   Quarter Of Nineteen Ninety Seven\\Bundle Twelve............... 9,876,543,210\n");
}

// ---- the two cases where the path would reach the size column ----

TEST_F(DirLineTest, LastPieceTooLongForAContinuationLineIsBrokenOnceMore) {
    // The rest after the first break has 62 characters: at column 3 it would
    // reach into the size column, so it is broken again at a blank.
    std::string head = "C:\\" + letters(60) + "\\";
    std::string tail = "Quarterly Reports Of The Regional Sales Office Nineteen Ninety";
    ASSERT_EQ(tail.size(), 62u);
    EXPECT_EQ(linesOf(head + tail + "\\", 2048),
              head + "\n"
              "   Quarterly Reports Of The Regional Sales Office Nineteen \n"
              "   Ninety............................................................... 2,048\n");
}

TEST_F(DirLineTest, LastPieceWithoutBreakCharacterIsCutClearOfTheSizeColumn) {
    std::string head = "C:\\" + letters(60) + "\\";
    std::string tail = "QuarterlyReportsOfTheRegionalSalesOfficeNineteenNinetyFourABCD";  // 62
    ASSERT_EQ(tail.size(), 62u);
    EXPECT_EQ(linesOf(head + tail + "\\", 2048),
              head + "\n"
              "   QuarterlyReportsOfTheRegionalSalesOfficeNineteenNinetyFourABC\n"
              "   D.................................................................... 2,048\n");
}

TEST_F(DirLineTest, BreakOnTheLastCharacterIsNotTakenSoTheSizeHasALine) {
    // 65 characters ending in '_': the underscore is not a break, the
    // hyphen below it is.
    std::string path = "C:\\" + letters(37) + "-" + letters(23) + "_";
    ASSERT_EQ(path.size(), 65u);
    EXPECT_EQ(linesOf(path + "\\", 300),
              "C:\\" + letters(37) + "-\n"
              "   " + letters(23) + "_" + std::string(37, '.') + ".......... 300\n");
    // Nothing else to break at: a hard break leaves the underscore alone.
    path = "C:\\" + letters(61) + "_";
    EXPECT_EQ(linesOf(path + "\\", 300),
              "C:\\" + letters(61) + "\n"
              "   _" + std::string(60, '.') + ".......... 300\n");
}

// Every directory, whatever its path and the width, gets its size exactly
// once, on its last line, which is exactly lineWidth characters; the pieces
// put together give the path back.
TEST_F(DirLineTest, EveryPathAtEveryWidthKeepsTheLayoutInvariants) {
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789\\\\  __--";
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u, (seed >> 8); };
    for (int round = 0; round < 3000; ++round) {
        int width = 75 + (int)(next() % 51);
        setWidth(width);
        int length = 4 + (int)(next() % 256);
        std::string path = "C:\\";
        while ((int)path.size() < length) path += alphabet[next() % (sizeof alphabet - 1)];
        while (path.back() == ' ') path.pop_back();
        uint64_t bytes = next();
        char sizeText[15];
        std::snprintf(sizeText, sizeof sizeText, "%s", formatGrouped(std::to_string(bytes).c_str(), 14));
        dotFillNumber(sizeText);

        std::vector<std::string> lines = splitLines(linesOf(path + "\\", bytes));
        ASSERT_FALSE(lines.empty()) << path;
        std::string joined;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string &line = lines[i];
            std::string body = i == 0 ? line : line.substr(3);
            if (i > 0) {
                ASSERT_EQ(line.substr(0, 3), "   ") << path;
            }
            if (i + 1 < lines.size()) {
                ASSERT_LE(body.size(), (size_t)width - 13) << path;
                joined += body;
                continue;
            }
            ASSERT_EQ(line.size(), (size_t)width) << path << " at " << width;
            ASSERT_EQ(line.substr(width - 14), sizeText) << path;
            size_t end = line.find_last_not_of('.', width - 15);
            joined += line.substr(i == 0 ? 0 : 3, end + 1 - (i == 0 ? 0 : 3));
        }
        ASSERT_EQ(joined, path) << "at width " << width;
    }
}

// ---- the five widths in use ----

TEST_F(DirLineTest, LayoutFollowsTheWidthAtEveryWidthInUse) {
    struct Geometry { int width, pathColumn, wrapFloor; };
    const Geometry widths[] = {{75, 61, 30}, {78, 64, 32}, {90, 76, 38}, {112, 98, 49}, {125, 111, 55}};
    for (const Geometry &g : widths) {
        SCOPED_TRACE(g.width);
        setWidth(g.width);
        std::string fits = "C:\\" + letters(g.pathColumn - 3);
        EXPECT_EQ(linesOf(fits + "\\", 1234), fits + "........ 1,234\n");
        std::string shortPath = "C:\\Data";
        EXPECT_EQ(linesOf(shortPath + "\\", 1234),
                  shortPath + std::string(g.pathColumn - 7, '.') + "........ 1,234\n");
        // Backslash just above the floor is a break, one at the floor is not.
        std::string above = "C:\\" + letters(g.wrapFloor - 2) + "\\" + letters(g.pathColumn);
        EXPECT_EQ(splitLines(linesOf(above + "\\", 1))[0], above.substr(0, g.wrapFloor + 2));
        std::string at = "C:\\" + letters(g.wrapFloor - 3) + "\\" + letters(g.pathColumn);
        EXPECT_EQ(splitLines(linesOf(at + "\\", 1))[0], at.substr(0, g.pathColumn));
        // Backslash at the path column itself.
        std::string edge = "C:\\" + letters(g.pathColumn - 3) + "\\";
        EXPECT_EQ(linesOf(edge + "x\\", 1),
                  edge + "\n   x" + std::string(g.pathColumn - 4, '.') + "............ 1\n");
    }
}

// ---- sizes, the caller's text and characters from the file system ----

TEST_F(DirLineTest, LargeSizesAreShownInFull) {
    EXPECT_EQ(linesOf("C:\\Big\\", 4294967296ULL),
              "C:\\Big.......................................................... 4,294,967,296\n");
    EXPECT_EQ(linesOf("C:\\Big\\", 10000000000ULL),
              "C:\\Big..........................................................10,000,000,000\n");
    EXPECT_EQ(linesOf("C:\\Big\\", 100000000000ULL),
              "C:\\Big........................................................... 100000000000\n");
    EXPECT_EQ(linesOf("C:\\Big\\", 100000000000000ULL),
              "C:\\Big..........................................................**************\n");
}

TEST_F(DirLineTest, FinalBackslashOfTheCallersTextBecomesABlank) {
    char path[] = "C:\\Data\\";
    printDirLine(path);
    EXPECT_STREQ(path, "C:\\Data ");
    char root[] = "C:\\";
    printDirLine(root);
    EXPECT_STREQ(root, "C:\\");
}

TEST_F(DirLineTest, NamesAreWrittenAsTextWithControlCharactersShownAsQuestionMarks) {
    EXPECT_EQ(linesOf("C:\\Bad\x01Name\x1b[2J\\", 5),
              "C:\\Bad?Name?[2J" + std::string(49, '.') + "............ 5\n");
    EXPECT_EQ(linesOf("C:\\100%s%n%d\\", 5),
              "C:\\100%s%n%d" + std::string(52, '.') + "............ 5\n");
}

// ---- where the lines go ----

TEST_F(DirLineTest, ConsoleLinesOfAWrappedPathEachCountTowardThePause) {
    linesOf("C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\Year End\\", 1);
    EXPECT_EQ(rs.screenLines, 2u);
    EXPECT_EQ(rs.lineCount, 0u);
}

TEST_F(DirLineTest, AllDrivesRunWritesLinesToTheReportFileWithPageBreaksBetweenThem) {
    rs.outFile = openFile("C:\\R.txt", "w+");
    ASSERT_NE(rs.outFile, nullptr);
    rs.runMode = '~';
    rs.driveLetter = 'C';
    rs.pageNumber = 1;
    rs.lineCount = 55;  // the first line fills the page
    std::string text = linesOf("C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\Year End\\", 2048);
    EXPECT_EQ(text, "");
    std::fflush(rs.outFile);
    EXPECT_EQ(fakeFileText("C:\\R.txt"),
              "C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\\n"
              "\fDirectory Drive C   Page  2                                             Bytes \n"
              "---------                                                           ---------- \n"
              "   Year End............................................................. 2,048\n");
    EXPECT_EQ(rs.lineCount, 3u);
    EXPECT_EQ(rs.screenLines, 0u);
}
