// The all-drives run on the fake machine: the width question, the report
// file from its title to its closing lines, the page test before the grand
// totals, and the report file that cannot be opened or written.
#include <cstring>
#include <string>

#include "app/app.h"
#include "tests/unit/fixture.h"

namespace {

const char *const reportPath = "C:\\FolmarAll.txt";

int countOf(const std::string &text, const std::string &needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

bool contains(const std::string &text, const std::string &needle) {
    return text.find(needle) != std::string::npos;
}

// The grand totals block, osLevel 'N', with every figure 0.
const std::string zeroGrandTotals =
    " \n"
    "Grand Totals for the system: \n"
    "   Number of Dirs.   =                0 \n"
    "   Number of Files   =                0 \n"
    "   Allocation        =                0  (File Sizes) \n"
    "   Free Space        =                0  (Sectors) \n"
    "   Free space Avail. =                0  (Free Space) \n"
    "   Capacity          =                0  (Bytes) \n\n";

const std::string shortTitle =
    "Directory Size Ver. 5.1b of 18 January, 2008 \n"
    "Copyright (c) Orvan Software 1994-2008 \n\n"
    "www.orvan.example \n"
    "sales@orvan.example \n\n";

class AllDrivesTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        rs.runMode = '~';
        rs.osLevel = 'N';
        rs.lineWidth = 78;
        deriveLayout();
    }
    std::string report() { return fakeFileText(reportPath); }
};

// ---- the width question ----

TEST_F(AllDrivesTest, EveryAnswerOnAConsoleAndRedirected) {
    struct Case { bool haveNumber; int answer; bool goOn; int onConsole; int redirected; };
    const Case cases[] = {
        {true, 1, true, 75, 75},    {true, 2, true, 90, 90},    {true, 3, true, 112, 112},
        {true, 4, true, 125, 125},  {true, 0, false, 78, 0},    {false, 0, false, 78, 0},
        {true, 7, true, 78, 125},   {true, -1, true, 78, 125},
    };
    for (const Case &c : cases) {
        for (bool console : {true, false}) {
            fakeReset();
            resetRunState();
            if (c.haveNumber) fakeSetStdinInteger(c.answer);
            rs.lineWidth = console ? 78 : 0;  // as main leaves it; no width in the settings
            EXPECT_EQ(selectLineWidth(), c.goOn) << "answer " << c.answer;
            EXPECT_EQ(rs.lineWidth, console ? c.onConsole : c.redirected)
                << "answer " << c.answer << (console ? " on a console" : " redirected")
                << (c.haveNumber ? "" : " (no number)");
        }
    }
}

TEST_F(AllDrivesTest, QuestionListsTheChoicesAndPromptsWithoutNewline) {
    std::strcpy(rs.outputFile, "D:\\other.txt");  // the question names the default file
    fakeSetStdinInteger(2);
    selectLineWidth();
    EXPECT_EQ(out(),
              "Folmar==>  Processing ALL Drives \n"
              "Folmar==>  Output will be in C:\\FolmarAll.txt \n"
              "Folmar==>  Select Line Width in Characters (1-4): \n"
              "Folmar==>     1 =  75 (10 cpi) \n"
              "Folmar==>     2 =  90 (12 cpi) \n"
              "Folmar==>     3 = 112 (15 cpi) \n"
              "Folmar==>     4 = 125 (17 cpi) \n"
              "Folmar==>  Enter (1-4) or 0 to End: ");
}

TEST_F(AllDrivesTest, WidthFromTheSettingsIsTakenWithoutAQuestion) {
    rs.lineWidthPrint = 90;
    rs.lineWidth = 78;  // a console
    fakeSetStdinInteger(0);
    EXPECT_TRUE(selectLineWidth());
    EXPECT_EQ(rs.lineWidth, 90);
    EXPECT_EQ(out(), "");
}

// ---- the report file ----

// A drive list naming only a CD-ROM drive: no drive is reported, and the file
// holds the short title, zero grand totals and the closing lines.
TEST_F(AllDrivesTest, RunWithNoDriveSelectedWritesTitleTotalsAndClosingLines) {
    fakeAddDrive('C', driveFixed);
    fakeAddDrive('E', driveCdrom);
    fakeAddDir("E:\\SETUP");
    std::memcpy(rs.driveList, "E:\\\0", 5);
    rs.showDirs = 'N';
    std::strcpy(rs.outputFile, "D:\\Reports.txt");
    fakeQueueClock({2008, 2, 3, 17, 45});  // read again for the closing lines
    EXPECT_EQ(runAllDrives(), 0);
    EXPECT_EQ(fakeFileText("D:\\Reports.txt"),
              shortTitle + zeroGrandTotals +
                  "Directory Size Ver. 5.1b of 18 January, 2008 \n"
                  "02-03-2008 at 17:45 Hours \n");
    std::string console = out();
    EXPECT_TRUE(contains(console, "Folmar==>  Processing multiple drives \n"));
    EXPECT_FALSE(contains(console, "Folmar==>  Processing Drive "));
    EXPECT_TRUE(contains(console, "\nFolmar==>  Folmar Ver. 5.1b Completed \n"
                                  "Folmar==>  Output is in D:\\Reports.txt\n"));
    EXPECT_EQ(rs.outFile, nullptr);
}

TEST_F(AllDrivesTest, ShortTitleRunBreaksThePageOnlyBeforeTheEighthBlock) {
    for (char letter = 'C'; letter <= 'J'; ++letter) fakeAddDrive(letter, driveFixed);
    fakeAddFile("C:\\A\\f.txt", 1234);
    rs.showDirs = 'N';
    EXPECT_EQ(runAllDrives(), 0);
    std::string file = report();
    EXPECT_EQ(file.substr(0, shortTitle.size()), shortTitle);
    EXPECT_FALSE(contains(file, "Directory Drive"));
    EXPECT_EQ(countOf(file, "\f"), 1);
    EXPECT_TRUE(contains(file, "\n\f\nDrive J Totals: \n"));
    EXPECT_TRUE(contains(file, "\nDrive C Totals: \n"
                               "   Number of Dirs.   =               1 \n"
                               "   Number of Files   =               1 \n"
                               "   Allocation        =           1,234 \n"));
}

TEST_F(AllDrivesTest, DriveListedTwiceIsReportedTwiceFromPageOne) {
    fakeAddDrive('C', driveFixed);
    fakeAddDir("C:\\A");
    std::memcpy(rs.driveList, "C:\\\0C:\\\0", 9);
    EXPECT_EQ(runAllDrives(), 0);
    std::string file = report();
    EXPECT_EQ(countOf(file, "Creating Directory List for Drive C on "), 2);
    EXPECT_EQ(countOf(file, "Directory Drive C   Page  1 "), 2);
    EXPECT_EQ(countOf(file, "Page  2"), 0);
    EXPECT_EQ(countOf(out(), "Folmar==>  Processing Drive C\n"), 2);
}

// A drive C with `lines` directory lines (its root and lines - 1 children).
void addDriveWithLines(int lines) {
    fakeAddDrive('C', driveFixed);
    for (int i = 1; i < lines; ++i) {
        char path[16];
        std::snprintf(path, sizeof path, "C:\\D%02d", i);
        fakeAddDir(path);
    }
}

// Title (8) + column header (2) + 29 lines + totals (8) = 47: 47 + 8 fits 55.
TEST_F(AllDrivesTest, GrandTotalsFollowTheLastDriveWhenTheyFit) {
    addDriveWithLines(29);
    EXPECT_EQ(runAllDrives(), 0);
    std::string file = report();
    EXPECT_TRUE(contains(file, "  (Bytes) \n\n\f" + zeroGrandTotals.substr(0, 2) +
                                   "Grand Totals for the system: \n"));
    EXPECT_EQ(countOf(file, "\f"), 1);
}

// One line more: 48 + 8 exceeds 55, so an empty sheet and a new page header
// without a drive letter come before the grand totals.
TEST_F(AllDrivesTest, GrandTotalsGetANewPageWhenTheLastIsFull) {
    addDriveWithLines(30);
    EXPECT_EQ(runAllDrives(), 0);
    const std::string header =
        "\f\fDirectory Drive    Page  2" + std::string(18 + 3 + 24, ' ') + "Bytes \n" +
        "---------" + std::string(23 + 33 + 3, ' ') + "---------- \n" +
        " \nGrand Totals for the system: \n";
    EXPECT_TRUE(contains(report(), "  (Bytes) \n\n" + header));
}

TEST_F(AllDrivesTest, FailedDiskQueryLeavesTheReportOpenWithZeros) {
    fakeAddDrive('C', driveFixed);
    fakeAddDrive('D', driveFixed);
    fakeSetDiskSpaceEx('C', 100, 300, 200);
    fakeSetDiskSpaceEx('D', 1000, 3000, 2000);
    fakeFailDiskSpace('C', 21);
    rs.showDirs = 'N';
    EXPECT_EQ(runAllDrives(), 0);
    std::string console = out();
    EXPECT_TRUE(contains(console, "Call to GetFreeDiskSpaceEx() failed with Error Code 21 \n"
                                  "Unable to obtain free space for \"C:\\\" \n"));
    EXPECT_TRUE(contains(console, "Completed"));
    std::string file = report();
    EXPECT_TRUE(contains(file, "   Total Free Space  =               0  (Bytes) \n"
                               "   Free space Avail. =               0  (Bytes) \n"
                               "   Capacity          =               0  (Bytes) \n\n"
                               "\nDrive D Totals: \n"));
    EXPECT_TRUE(contains(file, "   Capacity          =            3,000  (Bytes) \n\n"));
    EXPECT_TRUE(contains(file, "Directory Size Ver. 5.1b of 18 January, 2008 \n"
                               "01-18-2008 at 09:05 Hours \n"));
}

// ---- the report file fails ----

TEST_F(AllDrivesTest, ReportFileThatCannotBeOpenedEndsAfterAWait) {
    fakeAddDrive('C', driveFixed);
    fakeFailOpen(reportPath);
    fakeSetConsole(true);
    fakeTypeKey('\r');
    EXPECT_EQ(runAllDrives(), 0);
    EXPECT_EQ(out(),
              "Folmar==>  Unable to open the FolmarAll.txt output file \n"
              "Folmar==>  Most likely the disk drive is full \n"
              "Folmar==>  Program will terminate \n"
              "Folmar==>  Press Enter to continue \n");
    EXPECT_EQ(fakeKeysRead(), 1);
    EXPECT_FALSE(fakeFileExists(reportPath));
    EXPECT_EQ(rs.outFile, nullptr);
}

TEST_F(AllDrivesTest, FullDiskIsNeverCalledComplete) {
    fakeAddDrive('C', driveFixed);
    fakeAddFile("C:\\A\\f.txt", 10);
    fakeFullDisk(reportPath);
    fakeSetConsole(true);
    EXPECT_EQ(runAllDrives(), 1);
    std::string console = out();
    EXPECT_FALSE(contains(console, "Completed"));
    const std::string ending =
        "Folmar==>  Unable to write the output file C:\\FolmarAll.txt \n"
        "Folmar==>  Most likely the disk drive is full \n";
    ASSERT_GE(console.size(), ending.size());
    EXPECT_EQ(console.substr(console.size() - ending.size()), ending);
    EXPECT_EQ(fakeBlockedReads() + fakeKeysRead(), 0);  // no wait
    EXPECT_EQ(rs.outFile, nullptr);
    EXPECT_TRUE(rs.outFileWriteFailed);
}

}  // namespace
