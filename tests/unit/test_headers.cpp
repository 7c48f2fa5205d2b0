// Page headers and pagination: the title block and column header of the
// report file, the column header on standard output, the page breaks of the
// report file, the /P pause and the date-and-time text.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/fake/fake.h"
#include "report/report.h"
#include "tests/unit/fixture.h"

namespace {

class HeaderTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        setWidth(78);
        rs.runDate = LocalTime{2008, 1, 18, 9, 5};
        rs.driveLetter = 'C';
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
    void openReport() {
        rs.outFile = openFile("C:\\R.txt", "w+");
        ASSERT_NE(rs.outFile, nullptr);
        rs.runMode = '~';
    }
    std::string report() {
        std::fflush(rs.outFile);
        return fakeFileText("C:\\R.txt");
    }
    // One directory line of a short path, as the walk would hand it over.
    void directoryLine(int number) {
        char path[32];
        std::snprintf(path, sizeof path, "C:\\D%03d\\", number);
        rs.i64DirAlloc = 1;
        printDirLine(path);
    }
};

std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

std::vector<std::string> splitPages(const std::string &text) {
    std::vector<std::string> pages;
    size_t start = 0;
    for (size_t ff; (ff = text.find('\f', start)) != std::string::npos; start = ff + 1)
        pages.push_back(text.substr(start, ff - start));
    pages.push_back(text.substr(start));
    return pages;
}

int directoryLines(const std::string &page) {
    int count = 0;
    for (const std::string &line : splitLines(page))
        if (line.compare(0, 4, "C:\\D") == 0) ++count;
    return count;
}

// Blanks between the end of `marker` and the next non-blank of `line`.
int blanksAfter(const std::string &line, const std::string &marker) {
    size_t from = line.find(marker);
    if (from == std::string::npos) return -1;
    from += marker.size();
    size_t to = line.find_first_not_of(' ', from);
    return (int)(to - from);
}

}  // namespace

TEST_F(HeaderTest, FirstPageOfADriveCarriesTheTitleBlockAndColumnHeader) {
    openReport();
    writePageHeader();
    EXPECT_EQ(report(),
              "Directory Size (Folmar Ver. 2.0) \n"
              "Directory Size Ver. 5.1b of 18 January, 2008 \n"
              "Copyright (c) Orvan Software 1994-2008 \n"
              "\n"
              "www.orvan.example \n"
              "sales@orvan.example \n"
              "\n"
              "Creating Directory List for Drive C on 01-18-2008 at 09:05 Hours \n"
              "\n"
              "Directory Drive C   Page  1                                             Bytes \n"
              "---------                                                           ---------- \n");
    EXPECT_EQ(rs.lineCount, 10u);
    EXPECT_EQ(rs.pageNumber, 1);
    EXPECT_STREQ(rs.dateTimeText, "01-18-2008 at 09:05 Hours");
}

TEST_F(HeaderTest, LaterPageStartsWithAFormFeedAndNoTitle) {
    openReport();
    rs.pageNumber = 1;
    rs.lineCount = 56;
    writePageHeader();
    EXPECT_EQ(report(),
              "\fDirectory Drive C   Page  2                                             Bytes \n"
              "---------                                                           ---------- \n");
    EXPECT_EQ(rs.lineCount, 2u);
}

TEST_F(HeaderTest, ColumnHeadersFollowTheWidthTable) {
    struct Row {
        int width;
        int fileBlanks, fileLength, fileDashBlanks, fileDashLength;
        int outBlanks, outLength, outDashBlanks, outDashLength;
    };
    const Row table[] = {
        {75, 42, 75, 56, 76, 44, 77, 57, 77},
        {78, 45, 78, 59, 79, 44, 77, 57, 77},
        {90, 57, 90, 71, 91, 56, 89, 69, 89},
        {112, 79, 112, 93, 113, 78, 111, 91, 111},
        {125, 92, 125, 106, 126, 91, 124, 104, 124},
    };
    for (const Row &row : table) {
        SCOPED_TRACE(row.width);
        fakeReset();
        resetRunState();
        setWidth(row.width);
        rs.driveLetter = 'D';
        openReport();
        rs.pageNumber = 1;
        writePageHeader();
        std::vector<std::string> file = splitLines(report().substr(1));  // after the form feed
        ASSERT_EQ(file.size(), 2u);
        EXPECT_EQ(blanksAfter(file[0], "Page  2"), row.fileBlanks);
        EXPECT_EQ((int)file[0].size(), row.fileLength);
        EXPECT_EQ(blanksAfter(file[1], "---------"), row.fileDashBlanks);
        EXPECT_EQ((int)file[1].size(), row.fileDashLength);
        EXPECT_EQ(file[0].substr(file[0].size() - 6), "Bytes ");
        EXPECT_EQ(file[1].substr(file[1].size() - 11), "---------- ");
        std::fclose(rs.outFile);
        rs.outFile = nullptr;

        rs.pageNumber = 0;
        printStdoutHeader();
        std::vector<std::string> console = splitLines(out());
        ASSERT_EQ(console.size(), 2u);
        EXPECT_EQ(console[0].substr(0, 27), "Directory Drive D   Page  1");
        EXPECT_EQ(blanksAfter(console[0], "Page  1"), row.outBlanks);
        EXPECT_EQ((int)console[0].size(), row.outLength);
        EXPECT_EQ(blanksAfter(console[1], "---------"), row.outDashBlanks);
        EXPECT_EQ((int)console[1].size(), row.outDashLength);
    }
}

TEST_F(HeaderTest, StandardOutputHeaderIsWrittenOnceWithPageOne) {
    rs.showDirs = 'N';  // still gets its header
    printStdoutHeader();
    EXPECT_EQ(out(),
              "Directory Drive C   Page  1                                            Bytes \n"
              "---------                                                         ---------- \n");
    EXPECT_EQ(rs.pageNumber, 1);
    EXPECT_EQ(rs.lineCount, 0u);
}

TEST_F(HeaderTest, PageNumbersFromOneHundredWidenTheLine) {
    openReport();
    rs.pageNumber = 99;
    writePageHeader();
    std::vector<std::string> lines = splitLines(report().substr(1));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "Directory Drive C   Page 100                                             Bytes ");
    EXPECT_EQ(lines[0].size(), 79u);
}

TEST_F(HeaderTest, HeaderWithoutADriveLetterLeavesTheLetterOut) {
    openReport();
    rs.driveLetter = 0;
    rs.pageNumber = 3;
    writePageHeader();
    EXPECT_EQ(report(),
              "\fDirectory Drive    Page  4                                             Bytes \n"
              "---------                                                           ---------- \n");
    EXPECT_EQ(report().find('\0'), std::string::npos);
}

TEST_F(HeaderTest, NoHeadersWhenDirectoriesAreNotListed) {
    openReport();
    rs.showDirs = 'N';
    rs.lineCount = 17;
    rs.pageNumber = 2;
    writePageHeader();
    EXPECT_EQ(report(), "");
    EXPECT_EQ(rs.lineCount, 17u);
    EXPECT_EQ(rs.pageNumber, 2);
}

TEST_F(HeaderTest, ReportLineIsWrittenAsPlainTextAndCounted) {
    openReport();
    rs.lineCount = 20;
    writeReportLine("C:\\100%s%n%d \n");
    EXPECT_EQ(report(), "C:\\100%s%n%d \n");
    EXPECT_EQ(rs.lineCount, 21u);
}

TEST_F(HeaderTest, PagesOfFiftyFiveLinesHoldFortySixThenFiftyFourDirectories) {
    openReport();
    writePageHeader();
    for (int i = 1; i <= 100; ++i) directoryLine(i);
    std::vector<std::string> pages = splitPages(report());
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(directoryLines(pages[0]), 46);
    EXPECT_EQ(splitLines(pages[0]).size(), 9u + 2u + 46u);
    EXPECT_EQ(directoryLines(pages[1]), 54);
    EXPECT_EQ(splitLines(pages[1]).size(), 2u + 54u);
    // The 100th line fills page 2; the header of page 3 follows it at once.
    EXPECT_EQ(splitLines(pages[1]).back().substr(0, 8), "C:\\D100.");
    EXPECT_EQ(pages[2],
              "Directory Drive C   Page  3                                             Bytes \n"
              "---------                                                           ---------- \n");
    EXPECT_EQ(rs.lineCount, 2u);
}

TEST_F(HeaderTest, PagesOfSixtyLinesHoldFiftyOneThenFiftyNineDirectories) {
    openReport();
    rs.pageSize = 60;
    writePageHeader();
    for (int i = 1; i <= 110; ++i) directoryLine(i);
    std::vector<std::string> pages = splitPages(report());
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(directoryLines(pages[0]), 51);
    EXPECT_EQ(directoryLines(pages[1]), 59);
    EXPECT_EQ(directoryLines(pages[2]), 0);
}

TEST_F(HeaderTest, PausePerScreenWaitsAfterEveryTwentyThreeLines) {
    rs.pausePerScreen = true;
    fakeSetConsole(true);
    fakePressLater('\r');
    for (int i = 1; i <= 22; ++i) directoryLine(i);
    EXPECT_EQ(out().find("Press Enter"), std::string::npos);
    directoryLine(23);
    std::string text = out();
    const std::string prompt = "\nFolmar==>  Press Enter to continue";
    ASSERT_GE(text.size(), prompt.size());
    EXPECT_EQ(text.substr(text.size() - prompt.size()), prompt);
    EXPECT_EQ(fakeKeysRead(), 1);
    EXPECT_EQ(fakeClearCount(), 1);
    EXPECT_EQ(fakeLastClearOffset(), text.size());
    EXPECT_EQ(rs.screenLines, 0u);
    directoryLine(24);
    EXPECT_EQ(rs.screenLines, 1u);
}

TEST_F(HeaderTest, WithoutPausePerScreenLinesAreOnlyCounted) {
    fakeSetConsole(true);
    for (int i = 1; i <= 30; ++i) directoryLine(i);
    EXPECT_EQ(out().find("Press Enter"), std::string::npos);
    EXPECT_EQ(fakeKeysRead() + fakeBlockedReads(), 0);
    EXPECT_EQ(rs.screenLines, 30u);
}
