// Totals blocks: the block of a single-path run on standard output, the
// drive block of the report file in both disk-query forms, the grand totals,
// figures too wide for their field, and a drive whose disk query fails.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/fake/fake.h"
#include "report/report.h"
#include "scan/scan.h"
#include "tests/unit/fixture.h"

namespace {

class TotalsTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        rs.lineWidth = 78;
        rs.pathColumn = 64;
        rs.wrapFloor = 32;
        rs.osLevel = 'N';
        fakeAddDrive('C', driveFixed);
        fakeSetDiskSpaceEx('C', 39000000000ULL, 80000000000ULL, 40000000000ULL);
        // 1000-byte clusters: 3,000,000,000 bytes used, 2,000,000,000 free.
        fakeSetDiskSpace('C', 1, 1000, 2000000, 5000000);
        selectDrive('C');
        std::strcpy(rs.curPath, "C:\\DATA\\");
        rs.dirCount = 1234;
        rs.fileCount = 56789;
        rs.i64TotalAlloc = 12345678901ULL;
    }
    void TearDown() override {
        if (rs.outFile != nullptr) std::fclose(rs.outFile);
        rs.outFile = nullptr;
    }
    void selectDrive(char letter) {
        rs.driveLetter = letter;
        std::snprintf(rs.curDrive, sizeof rs.curDrive, "%c:\\", letter);
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
};

}  // namespace

TEST_F(TotalsTest, SinglePathBlockCountsTheTargetAndShowsExtendedFigures) {
    printDriveTotals();
    EXPECT_EQ(out(),
              "\n"
              "   Number of Dirs.     =           1,235\n"
              "   Number of Files     =          56,789\n"
              "   Allocation          =  12,345,678,901  (File Sizes) \n"
              "\n"
              "   Free Space          =  40,000,000,000  (Sectors) \n"
              "   Free space Avail.   =  39,000,000,000  (Free Space) \n"
              "   Capacity            =  80,000,000,000  (Bytes) \n\n");
}

TEST_F(TotalsTest, SinglePathBlockWithClassicFiguresIsUnsignedIn14Columns) {
    rs.osLevel = 'O';
    printDriveTotals();
    // 3,000,000,000 + 2,000,000,000 kept in 32 bits: 705,032,704.
    EXPECT_EQ(out(),
              "\n"
              "   Number of Dirs.     =           1,235\n"
              "   Number of Files     =          56,789\n"
              "   Allocation          =  12,345,678,901  (File Sizes) \n"
              "\n"
              "   Allocation          =  3,000,000,000  (Sectors) \n"
              "   Free space          =  2,000,000,000  (Free Space) \n"
              "   Capacity            =    705,032,704  (Bytes) \n\n");
}

TEST_F(TotalsTest, TargetWithoutFilesIsReportedNotFound) {
    std::strcpy(rs.curPath, "C:\\NOPE\\");
    rs.dirCount = 0;
    rs.fileCount = 0;
    rs.i64TotalAlloc = 0;
    printDriveTotals();
    EXPECT_EQ(out().substr(0, 108),
              "File not found: C:\\NOPE\\\n"
              "\n"
              "   Number of Dirs.     =               1\n"
              "   Number of Files     =               0\n");
}

TEST_F(TotalsTest, FileBlockOfADriveWithExtendedFigures) {
    openReport();
    rs.lineCount = 30;
    printDriveTotals();
    EXPECT_EQ(report(),
              "\n"
              "Drive C Totals: \n"
              "   Number of Dirs.   =           1,234 \n"
              "   Number of Files   =          56,789 \n"
              "   Allocation        =  12,345,678,901 \n"
              "\n"
              "   Total Free Space  =  40,000,000,000  (Bytes) \n"
              "   Free space Avail. =  39,000,000,000  (Bytes) \n"
              "   Capacity          =  80,000,000,000  (Bytes) \n"
              "\n"
              "\f");
    EXPECT_EQ(rs.lineCount, 38u);
    EXPECT_EQ(out(), "");
}

TEST_F(TotalsTest, FileBlockOfADriveWithClassicFigures) {
    openReport();
    rs.osLevel = 'O';
    printDriveTotals();
    EXPECT_EQ(report(),
              "\n"
              "Drive C Totals: \n"
              "   Number of Dirs.   =           1,234 \n"
              "   Number of Files   =          56,789 \n"
              "   Allocation        =  12,345,678,901 \n"
              "\n"
              "   Allocation        =  3,000,000,000  (Sectors) \n"
              "   Free space        =  2,000,000,000  (Free Space) \n"
              "   Capacity          =    705,032,704  (Bytes) \n"
              "\n"
              "\f");
}

TEST_F(TotalsTest, WithoutDirectoryLinesBlocksShareAPageUntilItIsFull) {
    openReport();
    rs.showDirs = 'N';
    rs.lineCount = 48;  // 48 + 7 is not more than 55: no page break
    printDriveTotals();
    std::string first = report();
    EXPECT_EQ(first.find('\f'), std::string::npos);
    EXPECT_EQ(rs.lineCount, 56u);
    rs.dirCount = 1;
    printDriveTotals();  // 56 + 7 is: a form feed first
    std::string second = report().substr(first.size());
    EXPECT_EQ(second.substr(0, 19), "\f\nDrive C Totals: \n");
    EXPECT_EQ(second.find('\f', 1), std::string::npos);
    EXPECT_EQ(rs.lineCount, 8u);
}

TEST_F(TotalsTest, CondensedRunFlushesTheLastFirstLevelLineBeforeTheBlock) {
    rs.condensed = true;
    rs.i64TotalAlloc = 0;
    rs.i64DirAlloc = 500;
    char path[] = "C:\\DATA\\";
    rollUpFirstLevel(path);
    EXPECT_EQ(out(), "");
    printDriveTotals();
    EXPECT_EQ(out().substr(0, 121),
              "C:\\DATA" + std::string(57, '.') + ".......... 500\n"
              "\n"
              "   Number of Dirs.     =           1,235\n");
    EXPECT_EQ(rs.i64GrandAlloc, 500u);
}

TEST_F(TotalsTest, FiguresOfTrillionsUseThePlainDigitsOrStars) {
    openReport();
    rs.i64TotalAlloc = 1000000000000ULL;
    fakeSetDiskSpaceEx('C', 999999999999999ULL, 10000000000000000ULL, 1000000000000ULL);
    printDriveTotals();
    std::string text = report();
    EXPECT_NE(text.find("   Allocation        =   1000000000000 \n"), std::string::npos);
    EXPECT_NE(text.find("   Total Free Space  =   1000000000000  (Bytes) \n"), std::string::npos);
    EXPECT_NE(text.find("   Free space Avail. = 999999999999999  (Bytes) \n"), std::string::npos);
    EXPECT_NE(text.find("   Capacity          = ***************  (Bytes) \n"), std::string::npos);
}

TEST_F(TotalsTest, DriveWhoseDiskQueryFailsShowsZeros) {
    openReport();
    fakeAddDrive('D', driveFixed);
    fakeFailDiskSpace('D', 21);
    printDriveTotals();
    selectDrive('D');
    rs.dirCount = 5;
    rs.fileCount = 6;
    rs.i64TotalAlloc = 7;
    printDriveTotals();
    std::string text = report();
    std::string second = text.substr(text.find("Drive D Totals"));
    EXPECT_EQ(second,
              "Drive D Totals: \n"
              "   Number of Dirs.   =               5 \n"
              "   Number of Files   =               6 \n"
              "   Allocation        =               7 \n"
              "\n"
              "   Total Free Space  =               0  (Bytes) \n"
              "   Free space Avail. =               0  (Bytes) \n"
              "   Capacity          =               0  (Bytes) \n"
              "\n"
              "\f");
    EXPECT_EQ(rs.i64GrandTotalBytes, 80000000000ULL);
    EXPECT_EQ(rs.i64GrandDirs, 1239u);
}

TEST_F(TotalsTest, GrandTotalsWithExtendedFiguresIn16Columns) {
    openReport();
    printDriveTotals();
    std::string drive = report();
    printGrandTotals();
    EXPECT_EQ(report().substr(drive.size()),
              " \n"
              "Grand Totals for the system: \n"
              "   Number of Dirs.   =            1,234 \n"
              "   Number of Files   =           56,789 \n"
              "   Allocation        =   12,345,678,901  (File Sizes) \n"
              "   Free Space        =   40,000,000,000  (Sectors) \n"
              "   Free space Avail. =   39,000,000,000  (Free Space) \n"
              "   Capacity          =   80,000,000,000  (Bytes) \n\n");
    EXPECT_EQ(rs.lineCount, 8u);
}

TEST_F(TotalsTest, GrandTotalsWithClassicFiguresAreSumsBeyond32Bits) {
    openReport();
    rs.osLevel = 'O';
    rs.i64GrandDirs = 3;
    rs.i64GrandFiles = 4;
    rs.i64GrandAlloc = 12345678901234ULL;
    rs.i64GrandUsed = 6000000000ULL;
    rs.i64GrandFree = 4000000000ULL;
    rs.i64GrandCapacity = 100000000000000000ULL;
    printGrandTotals();
    EXPECT_EQ(report(),
              " \n"
              "Grand Totals for the system: \n"
              "   Number of Dirs.   =                3 \n"
              "   Number of Files   =                4 \n"
              "   Allocation        =   12345678901234  (File Sizes) \n"
              "   Allocation        =    6,000,000,000  (Sectors) \n"
              "   Free space        =    4,000,000,000  (Free Space) \n"
              "   Capacity          = ****************  (Bytes) \n\n");
}
