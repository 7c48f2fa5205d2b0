// The report layout: directory lines (path column, dot leader, size column,
// the wrapping of long paths), page headers and the report file's pages.
#include "report/internal.h"
#include "report/report.h"
#include "tests/unit/fixture.h"

class LayoutTest : public FolmarTest {
protected:
    void prepare() override {
        rs.runDate = LocalTime{2008, 1, 18, 9, 5};
        rs.driveLetter = 'C';
    }
    // The console text of one directory `path` holding `bytes` at `width`.
    std::string linesOf(int width, const std::string &path, uint64_t bytes) {
        setWidth(width);
        size_t before = out().size();
        printDirLine(path.c_str(), bytes);
        return out().substr(before);
    }
};

static std::string x(int count) { return std::string(count, 'x'); }

// Width 78: size column from 64, breaks searched at columns 33 to 64; 75: 61,
// from 31; 125: 111, from 56. All in terminal columns (in a code page: in its
// bytes), no break inside a character.
TEST_F(LayoutTest, LinesAreExactToTheCharacter) {
    const std::string head60 = "C:\\" + x(60) + "\\", e = "\xc3\xa9", wide = "\xe6\x97\xa5";  // é, 日
    const std::string selector = "\xf3\xa0\x84\x81";  // U+E0101: four bytes, no column
    struct Case { int width; const char *name; std::string path; uint64_t bytes; std::string expected; bool codePage = false; };
    const Case cases[] = {
        {78, "a backslash is taken before a blank further right", "C:\\" + x(31) + "\\" + x(28) + " " + x(10) + "\\", 1,
         "C:\\" + x(31) + "\\\n   " + x(28) + " " + x(10) + dots(22) + "............ 1\n"},
        {78, "a blank before an underscore further right", "C:\\" + x(31) + " " + x(28) + "_" + x(10) + "\\", 1,
         "C:\\" + x(31) + " \n   " + x(28) + "_" + x(10) + dots(22) + "............ 1\n"},
        {78, "an underscore before a hyphen further right", "C:\\" + x(31) + "_" + x(28) + "-" + x(10) + "\\", 1,
         "C:\\" + x(31) + "_\n   " + x(28) + "-" + x(10) + dots(22) + "............ 1\n"},
        {75, "width 75: exactly pathColumn characters", "C:\\" + x(58) + "\\", 1234, "C:\\" + x(58) + "........ 1,234\n"},
        {75, "width 75: a backslash just above the floor is a break", "C:\\" + x(28) + "\\" + x(40) + "\\", 1,
         "C:\\" + x(28) + "\\\n   " + x(40) + dots(18) + "............ 1\n"},
        {125, "width 125: pathColumn + 1 characters", "C:\\" + x(109) + "\\", 1234,
         "C:\\" + x(108) + "\n   x" + dots(107) + "........ 1,234\n"},
        {125, "width 125: a backslash at the floor is no break", "C:\\" + x(52) + "\\" + x(70) + "\\", 1,
         "C:\\" + x(52) + "\\" + x(55) + "\n   " + x(15) + dots(93) + "............ 1\n"},
        {78, "backslash at the path column ends a line of pathColumn + 1", "C:\\" + x(61) + "\\Tail\\", 7,
         "C:\\" + x(61) + "\\\n   Tail..................................................................... 7\n"},
        {78, "a last piece of 62 characters would reach the size column: broken again", head60 + x(55) + " " + x(6) + "\\", 2048,
         head60 + "\n   " + x(55) + " \n   " + x(6) + dots(55) + "........ 2,048\n"},
        {78, "a continuation line never reaches the size column", head60 + x(61) + "_yy\\", 1,
         head60 + "\n   " + x(61) + "\n   _yy" + dots(58) + "............ 1\n"},
        {78, "no break on the last character (the size keeps a line): the hyphen below", "C:\\" + x(37) + "-" + x(23) + "_\\", 300,
         "C:\\" + x(37) + "-\n   " + x(23) + "_" + dots(37) + ".......... 300\n"},
        {78, "no break on the last character: a hard break", "C:\\" + x(61) + "_\\", 300,
         "C:\\" + x(61) + "\n   _" + dots(60) + ".......... 300\n"},
        {78, "11 digits fill the size text", "C:\\Big\\", 10000000000ULL,
         "C:\\Big..........................................................10,000,000,000\n"},
        {78, "plain digits when the commas do not fit", "C:\\Big\\", 100000000000ULL,
         "C:\\Big" + dots(58) + ". 100000000000\n"},
        {75, "combining accent, then 1,016 bytes of no width", "C:\\e\xcc\x81" + times(254, selector) + "\\", 5,
         "C:\\e\xcc\x81" + times(254, selector) + dots(57) + "............ 5\n"},
        {75, "marks of other scripts (U+A825, U+ABE8, U+1171D) take no column",
         "C:\\e\xea\xa0\xa5\xea\xaf\xa8\xf0\x91\x9c\x9d\\", 5,
         "C:\\e\xea\xa0\xa5\xea\xaf\xa8\xf0\x91\x9c\x9d" + dots(57) + "............ 5\n"},
        {75, "invalid byte and C1 control", "C:\\bad\xe9x\xc2\x9b\\", 5, "C:\\bad?x?" + dots(52) + "............ 5\n"},
        {75, "direction controls (U+202E, U+2066) are one '?' and one column each",
         "C:\\rlo\xe2\x80\xae" "exe.txt\xe2\x81\xa6\\", 5, "C:\\rlo?exe.txt?" + dots(46) + "............ 5\n"},
        {75, "hard break between two characters", "C:\\ab" + times(70, e) + "\\", 5,
         "C:\\ab" + times(56, e) + "\n   " + times(14, e) + dots(44) + "............ 5\n"},
        {75, "a wide character that would cross the path column moves on", "C:\\x" + times(40, wide) + "\\", 5,
         "C:\\x" + times(28, wide) + "\n   " + times(12, wide) + dots(34) + "............ 5\n"},
        {75, "break positions are columns, not bytes", "C:\\" + times(20, wide) + " " + x(30) + "\\", 5,
         "C:\\" + times(20, wide) + " \n   " + x(30) + dots(28) + "............ 5\n"},
        {75, "in a code page: bytes as written, one '?' for each character it lacks",
         "C:\\e\xcc\x81\xcc\x81 \xf0\x9f\x8e\x89 " + wide + "\xce\xb1" + e + "\\", 5,
         "C:\\e?? ? " + wide + "?" + e + dots(48) + "............ 5\n", true},
    };
    for (const Case &c : cases) {  // more than 23 lines in all: without /P the console never stops
        SCOPED_TRACE(c.name);
        fakeSetCodePage(c.codePage);
        EXPECT_EQ(linesOf(c.width, c.path, c.bytes), c.expected);
    }
}

// Under /P the console stops after every 23 lines, the continuation lines of
// a long path counted: the prompt on the screen, then a key.
TEST_F(LayoutTest, PauseComesAfter23ConsoleLinesContinuationLinesCounted) {
    setWidth(78);
    rs.pausePerScreen = true;
    fakeSetConsole(true);
    fakePressLater('x');
    printStdoutHeader();  // the listing begins
    const size_t start = out().size();
    for (int i = 0; i < 11; ++i) printDirLine(("C:\\" + x(61) + "\\Tail\\").c_str(), 7);  // two lines each
    printDirLine("C:\\D\\", 0);
    printDirLine("C:\\E\\", 0);
    EXPECT_EQ(out().substr(start), times(11, "C:\\" + x(61) + "\\\n   Tail" + dots(69) + " 7\n") + "C:\\D" + dots(72) +
                                       " 0\n\nFolmar==>  Press Enter to continueC:\\E" + dots(72) + " 0\n");
    EXPECT_EQ(fakeKeysRead(), 1);
    EXPECT_EQ(fakeShownAtLastRead(), out().find("continue") + 8);
}

// The first page holds the title block (dated month-day-year), the column
// header and pageSize - 9 lines, a later page pageSize - 1. The console's
// header is never narrower than at 78.
TEST_F(LayoutTest, PagesHoldPageSizeLessTheirHeaders) {
    setWidth(75);
    openReport();
    rs.pageSize = 60;
    writePageHeader();
    for (int i = 1; i <= 110; ++i) linesOf(75, "C:\\D\\", 0);
    const std::string text = report(), line = "\nC:\\D" + dots(69) + " 0";
    const std::string bytes = "Bytes \n---------" + std::string(56, ' ') + "---------- \n";
    EXPECT_TRUE(contains(text, "sales@orvan.example \n\nCreating Directory List for Drive C on 01-18-2008 at 09:05 Hours "
                               "\n\nDirectory Drive C   Page  1" + std::string(42, ' ') + bytes + "C:"));
    const size_t second = text.find('\f'), third = text.find('\f', second + 1);
    EXPECT_EQ(countOf(text.substr(0, second), line), 51);
    EXPECT_EQ(countOf(text.substr(second, third - second), line), 59);
    EXPECT_EQ(text.substr(third), "\fDirectory Drive C   Page  3" + std::string(42, ' ') + bytes);
    rs.pageNumber = 0;
    printStdoutHeader();  // the console's only text: no report line went there
    EXPECT_EQ(out(), "Directory Drive C   Page  1" + std::string(44, ' ') + "Bytes \n---------" +
                         std::string(57, ' ') + "---------- \n");
}
