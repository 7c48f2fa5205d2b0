// Page headers and pagination: title block and column headers of the report
// file and of standard output, the report file's page breaks, the /P pause.
#include "report/report.h"
#include "tests/unit/fixture.h"

namespace {

class HeaderTest : public FolmarTest {
protected:
    void prepare() override {
        setWidth(78);
        rs.runDate = LocalTime{2008, 1, 18, 9, 5};
        rs.driveLetter = 'C';
    }
    // One directory line of a short path, as the walk would hand it over.
    void directoryLine(int number) {
        char path[32];
        std::snprintf(path, sizeof path, "C:\\D%03d\\", number);
        rs.i64DirAlloc = 1;
        printDirLine(path);
    }
};

const std::string dashLine78 = "---------                                                           ---------- \n";

}  // namespace

TEST_F(HeaderTest, FirstPageHasTheTitleBlockLaterPagesAFormFeed) {
    struct Case { int pageBefore; char letter; std::string expected; };
    const Case cases[] = {
        {0, 'C',
         "Directory Size (Folmar Ver. 2.0) \n"
         "Directory Size Ver. 5.1b of 18 January, 2008 \n"
         "Copyright (c) Orvan Software 1994-2008 \n"
         "\n"
         "www.orvan.example \n"
         "sales@orvan.example \n"
         "\n"
         "Creating Directory List for Drive C on 01-18-2008 at 09:05 Hours \n"
         "\n"
         "Directory Drive C   Page  1                                             Bytes \n" + dashLine78},
        {1, 'C', "\fDirectory Drive C   Page  2                                             Bytes \n" + dashLine78},
        {3, 0, "\fDirectory Drive    Page  4                                             Bytes \n" + dashLine78},
        {99, 'C', "\fDirectory Drive C   Page 100                                             Bytes \n" + dashLine78},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pageBefore);
        fresh();
        openReport();
        rs.driveLetter = c.letter;
        rs.pageNumber = c.pageBefore;
        rs.lineCount = 56;
        writePageHeader();
        EXPECT_EQ(report(), c.expected);
        EXPECT_EQ(rs.lineCount, c.pageBefore == 0 ? 10u : 2u);
        EXPECT_EQ(rs.pageNumber, c.pageBefore + 1);
        EXPECT_STREQ(rs.dateTimeText, c.pageBefore == 0 ? "01-18-2008 at 09:05 Hours" : "");
    }
}

// Each row: the width, then the blanks before "Bytes" and between the dash
// groups, in the report file (a later page) and on standard output.
TEST_F(HeaderTest, ColumnHeadersFollowTheWidthTable) {
    const int table[][5] = {
        {75, 42, 56, 44, 57}, {78, 45, 59, 44, 57}, {90, 57, 71, 56, 69}, {112, 79, 93, 78, 91},
        {125, 92, 106, 91, 104},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row[0]);
        fresh();
        setWidth(row[0]);
        rs.driveLetter = 'D';
        openReport();
        rs.pageNumber = 1;
        writePageHeader();
        EXPECT_EQ(report(), "\fDirectory Drive D   Page  2" + std::string(row[1], ' ') + "Bytes \n---------" +
                                std::string(row[2], ' ') + "---------- \n");
        rs.pageNumber = 0;
        rs.showDirs = 'N';  // the standard output header is written all the same
        printStdoutHeader();
        EXPECT_EQ(out(), "Directory Drive D   Page  1" + std::string(row[3], ' ') + "Bytes \n---------" +
                             std::string(row[4], ' ') + "---------- \n");
        EXPECT_EQ(rs.pageNumber, 1);
        EXPECT_EQ(rs.lineCount, 2u);
    }
}

// After the title block (8) and the column header (2) the first page holds
// pageSize - 9 lines, each later page pageSize - 1; the line that fills a
// page is followed at once by the next page's header.
TEST_F(HeaderTest, PagesHoldPageSizeLessTheirHeaders) {
    struct Case { int pageSize, lines, firstPage, secondPage; };
    for (const Case &c : {Case{55, 100, 46, 54}, Case{60, 110, 51, 59}}) {
        SCOPED_TRACE(std::to_string(c.lines) + " lines at pageSize " + std::to_string(c.pageSize));
        fresh();
        openReport();
        rs.pageSize = c.pageSize;
        writePageHeader();
        for (int i = 1; i <= c.lines; ++i) directoryLine(i);
        std::vector<std::string> pages = split(report(), '\f');
        ASSERT_EQ(pages.size(), 3u);
        EXPECT_EQ(countOf(pages[0], "\nC:\\D"), c.firstPage);
        EXPECT_EQ(countOf(pages[1], "\nC:\\D"), c.secondPage);
        EXPECT_EQ(splitLines(pages[1]).size(), 2u + c.secondPage);
        EXPECT_EQ(pages[2], "Directory Drive C   Page  3                                             Bytes \n" +
                                dashLine78);
        EXPECT_TRUE(endsWith(pages[1], "C:\\D" + std::to_string(c.lines) + std::string(57, '.') + "............ 1\n"));
        EXPECT_EQ(rs.lineCount, 2u);
    }
}

// Under /P the console stops after every 23 lines until a key is pressed,
// then is cleared; without /P lines are only counted.
TEST_F(HeaderTest, PausePerScreenWaitsAfterEveryTwentyThreeLines) {
    fakeSetConsole(true);
    for (int i = 1; i <= 30; ++i) directoryLine(i);
    EXPECT_EQ(fakeKeysRead() + fakeBlockedReads() + fakeClearCount(), 0);
    EXPECT_EQ(rs.screenLines, 30u);
    fresh();
    rs.pausePerScreen = true;
    fakeSetConsole(true);
    fakePressLater('\r');
    for (int i = 1; i <= 22; ++i) directoryLine(i);
    EXPECT_FALSE(contains(out(), "Press Enter"));
    directoryLine(23);
    std::string text = out();
    EXPECT_TRUE(endsWith(text, "\nFolmar==>  Press Enter to continue"));  // no line break
    EXPECT_EQ(fakeKeysRead(), 1);
    EXPECT_EQ(fakeClearCount(), 1);
    EXPECT_EQ(fakeLastClearOffset(), text.size());  // cleared after the prompt and the key
    directoryLine(24);
    EXPECT_EQ(rs.screenLines, 1u);
}
