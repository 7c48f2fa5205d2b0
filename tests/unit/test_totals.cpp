// Totals blocks on standard output and in the report file, in both disk-query
// forms, their fold into the grand totals, and figures too wide for a field.
#include "drives/drives.h"
#include "report/report.h"
#include "tests/unit/fixture.h"

namespace {

class TotalsTest : public FolmarTest {
protected:
    // Drive C of 1,234 directories, 56,789 files and 12,345,678,901 bytes, at C:\DATA.
    void prepare() override {
        useConsoleWidth();
        rs.osLevel = 'N';
        fakeAddDrive('C', driveFixed);
        fakeSetDiskSpaceEx('C', 39000000000ULL, 80000000000ULL, 40000000000ULL);
        fakeSetDiskSpace('C', 1, 1000, 2000000, 5000000);  // 3,000,000,000 bytes used, 2,000,000,000 free
        rs.driveLetter = rs.curDrive[0] = 'C';
        std::strcpy(rs.curPath, "C:\\DATA\\");
        rs.dirCount = 1234;
        rs.fileCount = 56789;
        rs.i64TotalAlloc = 12345678901ULL;
    }
};

const std::string consoleCounts =  // the target itself is counted: 1,235
    "\n"
    "   Number of Dirs.     =           1,235\n"
    "   Number of Files     =          56,789\n"
    "   Allocation          =  12,345,678,901  (File Sizes) \n"
    "\n";
const std::string fileCounts =
    "\n"
    "Drive C Totals: \n"
    "   Number of Dirs.   =           1,234 \n"
    "   Number of Files   =          56,789 \n"
    "   Allocation        =  12,345,678,901 \n"
    "\n";

}  // namespace

// Classic figures are 32-bit unsigned in 14 columns: 3,000,000,000 +
// 2,000,000,000 kept in 32 bits is a capacity of 705,032,704.
TEST_F(TotalsTest, BlocksInBothFormsOnTheConsoleAndInTheReportFile) {
    struct Case { char osLevel; bool toFile; std::string expected; };
    const Case cases[] = {
        {'N', false, consoleCounts + "   Free Space          =  40,000,000,000  (Sectors) \n"
                                     "   Free space Avail.   =  39,000,000,000  (Free Space) \n"
                                     "   Capacity            =  80,000,000,000  (Bytes) \n\n"},
        {'O', false, consoleCounts + "   Allocation          =  3,000,000,000  (Sectors) \n"
                                     "   Free space          =  2,000,000,000  (Free Space) \n"
                                     "   Capacity            =    705,032,704  (Bytes) \n\n"},
        {'N', true, fileCounts + "   Total Free Space  =  40,000,000,000  (Bytes) \n"
                                 "   Free space Avail. =  39,000,000,000  (Bytes) \n"
                                 "   Capacity          =  80,000,000,000  (Bytes) \n\n\f"},
        {'O', true, fileCounts + "   Allocation        =  3,000,000,000  (Sectors) \n"
                                 "   Free space        =  2,000,000,000  (Free Space) \n"
                                 "   Capacity          =    705,032,704  (Bytes) \n\n\f"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(1, c.osLevel) + (c.toFile ? " in the file" : " on the console"));
        fresh();
        if (c.toFile) openReport();
        rs.lineCount = 30;
        rs.osLevel = c.osLevel;
        fakeQueueClock(LocalTime{2009, 2, 3, 4, 5});
        printDriveTotals();
        EXPECT_EQ(c.toFile ? report() : out(), c.expected);
        EXPECT_EQ(rs.lineCount, c.toFile ? 38u : 30u);
        // Folded into the grand totals, the classic figures without sign, then zeroed.
        std::vector<uint64_t> expected = {c.toFile ? 1234u : 1235u, 56789, 12345678901ULL, 0, 0, 0, 0, 0, 0};
        if (c.osLevel == 'O') expected[3] = 3000000000ULL, expected[4] = 2000000000ULL, expected[5] = 705032704;
        if (c.osLevel == 'N') expected[6] = 40000000000ULL, expected[7] = 39000000000ULL, expected[8] = 80000000000ULL;
        EXPECT_EQ((std::vector<uint64_t>{rs.i64GrandDirs, rs.i64GrandFiles, rs.i64GrandAlloc, rs.i64GrandUsed,
                                         rs.i64GrandFree, rs.i64GrandCapacity, rs.i64GrandTotalFree,
                                         rs.i64GrandFreeToCaller, rs.i64GrandTotalBytes}),
                  expected);
        EXPECT_EQ(rs.i64TotalAlloc + rs.i64SaveTotalAlloc + rs.dirCount + rs.fileCount + rs.usedBytes +
                      rs.freeBytes + rs.capacityBytes + rs.i64TotalFree + rs.i64FreeToCaller + rs.i64TotalBytes,
                  0u);
        EXPECT_EQ(rs.runDate.year, 2009);  // read again for the next drive's title
    }
}

TEST_F(TotalsTest, FiguresOfTrillionsUseThePlainDigitsOrStars) {
    openReport();
    rs.i64TotalAlloc = 1000000000000ULL;
    fakeSetDiskSpaceEx('C', 999999999999999ULL, 10000000000000000ULL, 1000000000000ULL);
    printDriveTotals();
    const std::string text = report();
    EXPECT_EQ(text.substr(text.find("   Allocation")), "   Allocation        =   1000000000000 \n\n"
                                                       "   Total Free Space  =   1000000000000  (Bytes) \n"
                                                       "   Free space Avail. = 999999999999999  (Bytes) \n"
                                                       "   Capacity          = ***************  (Bytes) \n\n\f");
}

// Classic sums beyond 32 bits, and a figure too wide for 16 columns.
TEST_F(TotalsTest, GrandTotalsOfClassicFiguresIn16Columns) {
    openReport();
    rs.osLevel = 'O';
    rs.i64GrandDirs = 3;
    rs.i64GrandFiles = 4;
    rs.i64GrandAlloc = 12345678901234ULL;
    rs.i64GrandUsed = 6000000000ULL;
    rs.i64GrandFree = 4000000000ULL;
    rs.i64GrandCapacity = 100000000000000000ULL;
    printGrandTotals();
    EXPECT_EQ(report(), " \n"
                        "Grand Totals for the system: \n"
                        "   Number of Dirs.   =                3 \n"
                        "   Number of Files   =                4 \n"
                        "   Allocation        =   12345678901234  (File Sizes) \n"
                        "   Allocation        =    6,000,000,000  (Sectors) \n"
                        "   Free space        =    4,000,000,000  (Free Space) \n"
                        "   Capacity          = ****************  (Bytes) \n\n");
    EXPECT_EQ(rs.lineCount, 0u);
}
