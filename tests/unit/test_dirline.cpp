// Directory lines: path column, dot leader and size column, the wrapping of long
// paths (break order, hard breaks, the last piece), and where the lines go.
#include "report/report.h"
#include "tests/unit/fixture.h"

namespace {

class DirLineTest : public FolmarTest {
protected:
    void prepare() override { setWidth(78); }
    // The console text of one directory `path` holding `bytes`. The caller's
    // text ends in a blank instead of its backslash, unless it is a root.
    std::string linesOf(const std::string &path, uint64_t bytes) {
        size_t before = out().size();
        char text[sizeof rs.linePath];
        std::snprintf(text, sizeof text, "%s", path.c_str());
        rs.i64DirAlloc = bytes;
        printDirLine(text);
        EXPECT_EQ(text, path.size() > 4 ? path.substr(0, path.size() - 1) + " " : path);
        return out().substr(before);
    }
    std::string firstLineOf(const std::string &path) { return splitLines(linesOf(path, 1))[0]; }
};

std::string letters(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (char)('a' + i % 26);
    return text;
}

std::string dots(int count) { return std::string(count, '.'); }

}  // namespace

// Width 78: path column 64, size column 64 to 77, breaks searched at 64 down to 33.
TEST_F(DirLineTest, LinesAtWidth78AreExactToTheCharacter) {
    const std::string head60 = "C:\\" + letters(60) + "\\";
    struct Case { const char *name; std::string path; uint64_t bytes; std::string expected; };
    const Case cases[] = {
        {"one line", "C:\\Windows\\System32\\", 123456789,
         "C:\\Windows\\System32............................................... 123,456,789\n"},
        {"drive root keeps its backslash", "C:\\", 0,
         "C:\\......................................................................... 0\n"},
        {"break after the rightmost backslash in range",
         "C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\Year End\\", 2048,
         "C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\\n"
         "   Year End............................................................. 2,048\n"},
        {"no backslash in range: break after a blank",
         "E:\\Audio\\Complete Studio Recordings of the City Chamber Orchestra 1952 to 1974\\", 734003200,
         "E:\\Audio\\Complete Studio Recordings of the City Chamber \n"
         "   Orchestra 1952 to 1974......................................... 734,003,200\n"},
        {"no break character: hard break at the path column",
         "D:\\Projects\\ThisDirectoryNameHasNoBreakCharactersAtAllAndItJustKeepsGoingOnAndOnUntilTheEn\\", 5,
         "D:\\Projects\\ThisDirectoryNameHasNoBreakCharactersAtAllAndItJustK\n"
         "   eepsGoingOnAndOnUntilTheEn............................................... 5\n"},
        {"exactly pathColumn characters: no leader dot", "C:\\" + letters(61) + "\\", 2048,
         "C:\\" + letters(61) + "........ 2,048\n"},
        {"pathColumn + 1 characters: broken", "C:\\" + letters(62) + "\\", 2048,
         "C:\\" + letters(61) + "\n   " + letters(62).substr(61) + dots(60) + "........ 2,048\n"},
        {"backslash at the path column ends a line of pathColumn + 1",
         "C:\\" + letters(61) + "\\Tail\\", 7,
         "C:\\" + letters(61) + "\\\n   Tail..................................................................... 7\n"},
        {"broken twice",
         "F:\\Archive\\Scanned Correspondence\\Northern District Offices\\Letters Received "
         "During The Winter\\Quarter Of Nineteen Ninety Seven\\Bundle Twelve\\", 9876543210ULL,
         "F:\\Archive\\Scanned Correspondence\\Northern District Offices\\\n"
         "   Letters Received During The Winter\\\n"
         "   Quarter Of Nineteen Ninety Seven\\Bundle Twelve............... 9,876,543,210\n"},
        // A last piece of 62 characters would reach the size column at
        // column 3: it is broken once more, at a blank or hard.
        {"last piece reaching the size column, blank",
         head60 + "Quarterly Reports Of The Regional Sales Office Nineteen Ninety\\", 2048,
         head60 + "\n"
         "   Quarterly Reports Of The Regional Sales Office Nineteen \n"
         "   Ninety............................................................... 2,048\n"},
        {"last piece reaching the size column, no break character",
         head60 + "QuarterlyReportsOfTheRegionalSalesOfficeNineteenNinetyFourABCD\\", 2048,
         head60 + "\n"
         "   QuarterlyReportsOfTheRegionalSalesOfficeNineteenNinetyFourABC\n"
         "   D.................................................................... 2,048\n"},
        // 65 characters ending in '_': a break on the last character is not
        // taken, so that the size keeps a line of its own.
        {"break on the last character: the hyphen below is taken",
         "C:\\" + letters(37) + "-" + letters(23) + "_\\", 300,
         "C:\\" + letters(37) + "-\n   " + letters(23) + "_" + dots(37) + ".......... 300\n"},
        {"break on the last character: hard break", "C:\\" + letters(61) + "_\\", 300,
         "C:\\" + letters(61) + "\n   _" + dots(60) + ".......... 300\n"},
        {"4 GiB", "C:\\Big\\", 4294967296ULL,
         "C:\\Big.......................................................... 4,294,967,296\n"},
        {"11 digits fill the size text", "C:\\Big\\", 10000000000ULL,
         "C:\\Big..........................................................10,000,000,000\n"},
        {"control characters", "C:\\Bad\x01Name\x1b[2J\\", 5,
         "C:\\Bad?Name?[2J" + dots(61) + " 5\n"},
        {"format specifiers", "C:\\100%s%n%d\\", 5, "C:\\100%s%n%d" + dots(64) + " 5\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        rs.i64TotalAlloc = rs.i64SaveTotalAlloc = 1000;
        rs.screenLines = 0;
        EXPECT_EQ(linesOf(c.path, c.bytes), c.expected);
        EXPECT_EQ((int)rs.screenLines, countOf(c.expected, "\n"));  // each line counts toward the /P pause
        EXPECT_EQ(rs.i64TotalAlloc, 1000 + c.bytes);  // handed on to the drive total
        EXPECT_EQ(rs.i64DirAlloc, 0u);
    }
}

// Names beyond ASCII are measured in the columns a terminal gives them: the
// size column stays straight, no line is broken inside a character, and
// what cannot be shown is a '?'. Width 75: path column 61, breaks at 61 down to 31.
TEST_F(DirLineTest, NamesBeyondAsciiAreLaidOutInColumns) {
    auto times = [](int count, const std::string &text) {
        std::string all;
        for (int i = 0; i < count; ++i) all += text;
        return all;
    };
    const std::string e = "\xc3\xa9", wide = "\xe6\x97\xa5";  // é, 日
    struct Case { const char *name; int width; std::string path; std::string expected; };
    const Case cases[] = {
        {"accented", 75, "C:\\caf" + e + "\\", "C:\\caf" + e + dots(54) + "............ 5\n"},
        {"wide", 75, "C:\\" + times(3, wide) + "\\", "C:\\" + times(3, wide) + dots(52) + "............ 5\n"},
        {"combining accent", 75, "C:\\e\xcc\x81te\\", "C:\\e\xcc\x81te" + dots(55) + "............ 5\n"},
        {"invalid byte and C1 control", 75, "C:\\bad\xe9x\xc2\x9b\\", "C:\\bad?x?" + dots(52) + "............ 5\n"},
        {"hard break between two characters", 75, "C:\\ab" + times(70, e) + "\\",
         "C:\\ab" + times(56, e) + "\n   " + times(14, e) + dots(44) + "............ 5\n"},
        {"a wide character that would cross the path column moves on", 75, "C:\\x" + times(40, wide) + "\\",
         "C:\\x" + times(28, wide) + "\n   " + times(12, wide) + dots(34) + "............ 5\n"},
        {"break positions are columns, not bytes", 75, "C:\\" + times(20, wide) + " " + letters(30) + "\\",
         "C:\\" + times(20, wide) + " \n   " + letters(30) + dots(28) + "............ 5\n"},
        {"width 125", 125, "D:\\Donn" + e + "es\\\xc3\x9c" "berblick\\",
         "D:\\Donn" + e + "es\\\xc3\x9c" "berblick" + dots(91) + "............ 5\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        setWidth(c.width);
        EXPECT_EQ(linesOf(c.path, 5), c.expected);
    }
}

TEST_F(DirLineTest, BreakKindsAreTriedBackslashBlankUnderscoreHyphen) {
    const std::string low = "C:\\" + letters(31);  // a break character after it is at 34
    const std::pair<std::string, std::string> cases[] = {
        {low + "\\" + letters(28) + " " + letters(10), low + "\\"},
        {low + " " + letters(28) + "_" + letters(10), low + " "},
        {low + "_" + letters(28) + "-" + letters(10), low + "_"},
        {low + "-" + letters(28) + "-" + letters(10), low + "-" + letters(28) + "-"},
    };
    for (const auto &c : cases) EXPECT_EQ(firstLineOf(c.first + "\\"), c.second) << c.first;
}

TEST_F(DirLineTest, LayoutFollowsTheWidthAtEveryWidthInUse) {
    struct Geometry { int width, pathColumn, wrapFloor; };
    const Geometry widths[] = {{75, 61, 30}, {78, 64, 32}, {90, 76, 38}, {112, 98, 49}, {125, 111, 55}};
    for (const Geometry &g : widths) {
        SCOPED_TRACE(g.width);
        setWidth(g.width);
        std::string fits = "C:\\" + letters(g.pathColumn - 3);
        EXPECT_EQ(linesOf(fits + "\\", 1234), fits + "........ 1,234\n");
        EXPECT_EQ(linesOf("C:\\Data\\", 1234), "C:\\Data" + dots(g.pathColumn - 7) + "........ 1,234\n");
        // A backslash just above the floor is a break; one at the floor is not (hard break).
        std::string above = "C:\\" + letters(g.wrapFloor - 2) + "\\" + letters(g.pathColumn);
        EXPECT_EQ(firstLineOf(above + "\\"), above.substr(0, g.wrapFloor + 2));
        std::string at = "C:\\" + letters(g.wrapFloor - 3) + "\\" + letters(g.pathColumn);
        EXPECT_EQ(linesOf(at + "\\", 1),
                  at.substr(0, g.pathColumn) + "\n   " + at.substr(g.pathColumn) +
                      dots(g.pathColumn - 3 - (int)at.size() + g.pathColumn) + "............ 1\n");
        std::string edge = "C:\\" + letters(g.pathColumn - 3) + "\\";
        EXPECT_EQ(linesOf(edge + "x\\", 1), edge + "\n   x" + dots(g.pathColumn - 4) + "............ 1\n");
    }
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
            size_t indent = i == 0 ? 0 : 3;
            ASSERT_EQ(line.substr(0, indent), std::string(indent, ' ')) << path;
            if (i + 1 < lines.size()) {
                ASSERT_LE(line.size() - indent, (size_t)width - 13) << path;
                joined += line.substr(indent);
                continue;
            }
            ASSERT_EQ(line.size(), (size_t)width) << path << " at " << width;
            ASSERT_EQ(line.substr(width - 14), sizeText) << path;
            size_t end = line.find_last_not_of('.', width - 15);
            joined += line.substr(indent, end + 1 - indent);
        }
        ASSERT_EQ(joined, path) << "at width " << width;
    }
}

TEST_F(DirLineTest, AllDrivesRunWritesLinesToTheReportFileWithPageBreaksBetweenThem) {
    openReport();
    rs.driveLetter = 'C';
    rs.pageNumber = 1;
    rs.lineCount = 55;  // the first line fills the page
    EXPECT_EQ(linesOf("C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\Year End\\", 2048), "");
    EXPECT_EQ(report(),
              "C:\\Documents and Settings\\All Users\\Application Data\\Accounting\\\n"
              "\fDirectory Drive C   Page  2                                             Bytes \n"
              "---------                                                           ---------- \n"
              "   Year End............................................................. 2,048\n");
    EXPECT_EQ(rs.lineCount, 3u);
    linesOf("C:\\100%s%n%d\\", 5);  // written as plain text and counted
    EXPECT_TRUE(endsWith(report(), " 2,048\nC:\\100%s%n%d" + dots(64) + " 5\n"));
    EXPECT_EQ(rs.lineCount, 4u);
    EXPECT_EQ(rs.screenLines, 0u);
}
