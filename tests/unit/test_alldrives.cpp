// The all-drives run: the width question, the report file from its title to its
// closing lines, the page test before the grand totals, a failing report file.
#include "tests/unit/fixture.h"

namespace {

const char *const reportPath = "C:\\FolmarAll.txt";

const std::string shortTitle =
    "Directory Size Ver. 5.1b of 18 January, 2008 \n"
    "Copyright (c) Orvan Software 1994-2008 \n\n"
    "www.orvan.example \n"
    "sales@orvan.example \n\n";

class AllDrivesTest : public FolmarTest {
protected:
    void prepare() override { useAllDrivesRun(); }
};

}  // namespace

// Each row: the integer read (none: a word), the settings' width (0: none; it
// is taken without a question), whether the run goes on, the width on a
// console and redirected.
TEST_F(AllDrivesTest, EveryAnswerOnAConsoleAndRedirected) {
    struct Case { bool haveNumber; int answer, settingsWidth; bool goOn; int onConsole, redirected; };
    const Case cases[] = {
        {true, 1, 0, true, 75, 75},    {true, 2, 0, true, 90, 90},    {true, 3, 0, true, 112, 112},
        {true, 4, 0, true, 125, 125},  {true, 0, 0, false, 78, 0},    {false, 0, 0, false, 78, 0},
        {true, 7, 0, true, 78, 125},   {true, -1, 0, true, 78, 125},  {true, 0, 90, true, 90, 90},
    };
    for (const Case &c : cases) {
        for (bool console : {true, false}) {
            SCOPED_TRACE(std::string(c.haveNumber ? "answer " + std::to_string(c.answer) : "a word") +
                         (console ? " on a console" : " redirected") + (c.settingsWidth ? " with a width" : ""));
            fresh();
            if (c.haveNumber) fakeSetStdinInteger(c.answer);
            rs.lineWidthPrint = c.settingsWidth;
            rs.lineWidth = console ? 78 : 0;  // as main leaves it
            EXPECT_EQ(selectLineWidth(), c.goOn);
            EXPECT_EQ(rs.lineWidth, console ? c.onConsole : c.redirected);
            EXPECT_EQ(out().empty(), c.settingsWidth != 0);
        }
    }
}

TEST_F(AllDrivesTest, QuestionListsTheChoicesAndPromptsWithoutNewline) {
    std::strcpy(rs.outputFile, "D:\\other.txt");  // the question names the default file
    fakeSetStdinInteger(2);
    selectLineWidth();
    EXPECT_EQ(out(), "Folmar==>  Processing ALL Drives \n"
                     "Folmar==>  Output will be in C:\\FolmarAll.txt \n"
                     "Folmar==>  Select Line Width in Characters (1-4): \n"
                     "Folmar==>     1 =  75 (10 cpi) \n"
                     "Folmar==>     2 =  90 (12 cpi) \n"
                     "Folmar==>     3 = 112 (15 cpi) \n"
                     "Folmar==>     4 = 125 (17 cpi) \n"
                     "Folmar==>  Enter (1-4) or 0 to End: ");
}

// Eight drives without directory lines: the short title, no page headers, a
// form feed only before the eighth block. Drive D's failed query shows zeros
// and the run goes on to the grand totals and its closing lines.
TEST_F(AllDrivesTest, ShortTitleRunWithAFailingDrive) {
    for (char letter = 'C'; letter <= 'J'; ++letter) {
        fakeAddDrive(letter, driveFixed);
        fakeSetDiskSpaceEx(letter, 1000, 3000, 2000);
    }
    fakeFailDiskSpace('D', 21);
    fakeAddFile("C:\\A\\f.txt", 1234);
    rs.showDirs = 'N';
    std::strcpy(rs.outputFile, "D:\\Reports.txt");
    fakeQueueClock({2008, 2, 3, 17, 45});  // read again after each drive
    EXPECT_EQ(runAllDrives(), 0);
    std::string file = fakeFileText("D:\\Reports.txt");
    EXPECT_EQ(file.substr(0, shortTitle.size()), shortTitle);
    EXPECT_FALSE(contains(file, "Directory Drive"));
    EXPECT_EQ(countOf(file, "\f"), 1);
    EXPECT_TRUE(contains(file, "\n\f\nDrive J Totals: \n"));
    EXPECT_TRUE(contains(file, "\nDrive C Totals: \n"
                               "   Number of Dirs.   =               1 \n"
                               "   Number of Files   =               1 \n"
                               "   Allocation        =           1,234 \n\n"
                               "   Total Free Space  =           2,000  (Bytes) \n"
                               "   Free space Avail. =           1,000  (Bytes) \n"
                               "   Capacity          =           3,000  (Bytes) \n\n"
                               "\nDrive D Totals: \n"
                               "   Number of Dirs.   =               0 \n"
                               "   Number of Files   =               0 \n"
                               "   Allocation        =               0 \n\n"
                               "   Total Free Space  =               0  (Bytes) \n"
                               "   Free space Avail. =               0  (Bytes) \n"
                               "   Capacity          =               0  (Bytes) \n\n"
                               "\nDrive E Totals: \n"));
    EXPECT_TRUE(endsWith(file, "  (Bytes) \n\n"
                               " \n"
                               "Grand Totals for the system: \n"
                               "   Number of Dirs.   =                1 \n"
                               "   Number of Files   =                1 \n"
                               "   Allocation        =            1,234  (File Sizes) \n"
                               "   Free Space        =           14,000  (Sectors) \n"
                               "   Free space Avail. =            7,000  (Free Space) \n"
                               "   Capacity          =           21,000  (Bytes) \n\n"
                               "Directory Size Ver. 5.1b of 18 January, 2008 \n"
                               "02-03-2008 at 17:45 Hours \n"));
    EXPECT_TRUE(contains(out(), "Call to GetFreeDiskSpaceEx() failed with Error Code 21 \n"
                                "Unable to obtain free space for \"D:\\\" \n"));
    EXPECT_TRUE(endsWith(out(), "\nFolmar==>  Folmar Ver. 5.1b Completed \nFolmar==>  Output is in D:\\Reports.txt\n"));
    EXPECT_EQ(rs.outFile, nullptr);
}

// Title (8) + column header (2) + 29 lines + totals (8) = 47: 47 + 8 fits 55.
// One line more does not: an empty sheet and a new page header without a
// drive letter come before the grand totals.
TEST_F(AllDrivesTest, GrandTotalsGetANewPageOnlyWhenTheyDoNotFit) {
    const std::string after = "  (Bytes) \n\n\f";
    const std::string grand = " \nGrand Totals for the system: \n";
    const std::string newPage = "\fDirectory Drive    Page  2" + std::string(45, ' ') + "Bytes \n" +
                                "---------" + std::string(59, ' ') + "---------- \n";
    for (int lines : {29, 30}) {
        SCOPED_TRACE(lines);
        fresh();
        fakeAddDrive('C', driveFixed);
        for (int i = 1; i < lines; ++i) {  // the root and lines - 1 children
            char path[16];
            std::snprintf(path, sizeof path, "C:\\D%02d", i);
            fakeAddDir(path);
        }
        EXPECT_EQ(runAllDrives(), 0);
        EXPECT_TRUE(contains(fakeFileText(reportPath), after + (lines == 30 ? newPage : "") + grand));
        EXPECT_EQ(countOf(fakeFileText(reportPath), "\f"), lines == 30 ? 2 : 1);
    }
}

// A report file that cannot be opened ends the run after a wait, with exit
// code 0; one that cannot be written (a full disk) is never called complete
// and ends it with exit code 1, without a wait.
TEST_F(AllDrivesTest, ReportFileThatCannotBeOpenedOrWritten) {
    for (bool full : {false, true}) {
        SCOPED_TRACE(full ? "full disk" : "cannot be opened");
        fresh();
        fakeAddDrive('C', driveFixed);
        fakeAddFile("C:\\A\\f.txt", 10);
        full ? fakeFullDisk(reportPath) : fakeFailOpen(reportPath);
        fakeSetConsole(true);
        fakeTypeKey('\r');
        EXPECT_EQ(runAllDrives(), full ? 1 : 0);
        EXPECT_EQ(out().substr(full ? out().find("Folmar==>  Unable") : 0),
                  full ? "Folmar==>  Unable to write the output file C:\\FolmarAll.txt \n"
                         "Folmar==>  Most likely the disk drive is full \n"
                       : "Folmar==>  Unable to open the FolmarAll.txt output file \n"
                         "Folmar==>  Most likely the disk drive is full \n"
                         "Folmar==>  Program will terminate \n"
                         "Folmar==>  Press Enter to continue \n");
        EXPECT_FALSE(contains(out(), "Completed"));
        EXPECT_EQ(fakeKeysRead(), full ? 0 : 1);
        EXPECT_EQ(fakeFileExists(reportPath), full);
        EXPECT_EQ(rs.outFile, nullptr);
        EXPECT_EQ(rs.outFileWriteFailed, full);
    }
}
