// The disk-space queries, the classic totals blocks on standard output and in
// the report file, and their fold into the grand totals.
#include "drives/drives.h"
#include "report/report.h"
#include "scan/internal.h"
#include "scan/scan.h"
#include "tests/unit/fixture.h"

class TotalsTest : public FolmarTest {
protected:
    // C:\DATA of 1,234 directories; 3,000,000,000 bytes used, 2,000,000,000 free.
    void prepare() override {
        fakeAddDrive('C', driveFixed);
        fakeSetDiskSpace('C', 1, 1000, 2000000, 5000000);
        rs.osLevel = OsLevel::classic;
        rs.driveLetter = rs.curDrive[0] = 'C';
        std::strcpy(rs.curPath, "C:\\DATA\\");
        rs.dirCount = 1234;
        rs.i64TotalAlloc = 12345678901ULL;
    }
};

// Capacity 3,000,000,000 + 2,000,000,000 kept in 32 bits: 705,032,704. A
// target without any file is named first; the target itself is counted.
TEST_F(TotalsTest, ClassicFiguresOnTheConsoleAreThirtyTwoBits) {
    printDriveTotals();
    EXPECT_EQ(out(), "File not found: C:\\DATA\\\n"
                     "\n"
                     "   Number of Dirs.     =           1,235\n"
                     "   Number of Files     =               0\n"
                     "   Allocation          =  12,345,678,901  (File Sizes) \n"
                     "\n"
                     "   Allocation          =  3,000,000,000  (Sectors) \n"
                     "   Free space          =  2,000,000,000  (Free Space) \n"
                     "   Capacity            =    705,032,704  (Bytes) \n\n");
}

// The second drive, empty, shows each block zeroed after its fold into the
// grand totals, which go beyond 32 bits; the clock is read for the next title.
TEST_F(TotalsTest, DriveBlocksFoldIntoTheGrandTotals) {
    openReport();
    rs.fileCount = 56789;
    fakeQueueClock(LocalTime{2009, 2, 3, 4, 5});
    printDriveTotals();
    EXPECT_EQ(rs.runDate.year, 2009);
    printDriveTotals();
    printGrandTotals();
    const std::string classic = "   Allocation        =  3,000,000,000  (Sectors) \n"
                                "   Free space        =  2,000,000,000  (Free Space) \n"
                                "   Capacity          =    705,032,704  (Bytes) \n\n\f";
    EXPECT_EQ(report(), "\nDrive C Totals: \n"
                        "   Number of Dirs.   =           1,234 \n"
                        "   Number of Files   =          56,789 \n"
                        "   Allocation        =  12,345,678,901 \n\n" + classic +
                        "\nDrive C Totals: \n"
                        "   Number of Dirs.   =               0 \n"
                        "   Number of Files   =               0 \n"
                        "   Allocation        =               0 \n\n" + classic +
                        " \n"
                        "Grand Totals for the system: \n"
                        "   Number of Dirs.   =            1,234 \n"
                        "   Number of Files   =           56,789 \n"
                        "   Allocation        =   12,345,678,901  (File Sizes) \n"
                        "   Allocation        =    6,000,000,000  (Sectors) \n"
                        "   Free space        =    4,000,000,000  (Free Space) \n"
                        "   Capacity          =    1,410,065,408  (Bytes) \n\n");
}

// The classic query keeps the low 32 bits of each product; a failed query
// names its error and the letter as given; a missing entry point is silent.
TEST_F(TotalsTest, EachDiskQueryFillsOnlyItsOwnFiguresOrNamesItsError) {
    struct Case { int (*query)(); char letter; bool entryPoint; uint32_t sectors, free, total; int result;
                  std::vector<uint64_t> figures; const char *messages; };
    const Case cases[] = {
        {queryFreeSpace, 'c', true, 8, 2097152, 2098152, 1, {0, 4096000, 7, 7, 7}, ""},  // 8 GiB free
        {queryFreeSpace, 'c', true, 64, 0x30000, 0x50001, 1, {2147483648u, 32768, 7, 7, 7}, ""},
        {queryFreeSpaceEx, 'c', true, 8, 1000, 5000, 1, {5, 5, 39000000000ull, 40000000000ull, 80000000000ull}, ""},
        {queryFreeSpace, 'D', true, 8, 1000, 5000, 0, {5, 5, 7, 7, 7},
         "Call to GetFreeDiskSpace() failed with Error Code 21 \nUnable to obtain free space for Drive 'D' \n"},
        {queryFreeSpaceEx, 'q', true, 8, 1000, 5000, 0, {5, 5, 7, 7, 7},
         "Call to GetFreeDiskSpaceEx() failed with Error Code 3 \nUnable to obtain free space for \"q:\\\" \n"},
        {queryFreeSpaceEx, 'c', false, 8, 1000, 5000, 0, {5, 5, 7, 7, 7}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(1, c.letter) + " " + std::to_string(c.free));
        fresh();
        fakeSetDiskSpace('C', c.sectors, 512, c.free, c.total);
        fakeSetDiskSpaceEx('C', 39000000000ull, 80000000000ull, 40000000000ull);
        fakeAddDrive('D', driveFixed);
        fakeFailDiskSpace('D', 21);
        fakeSetDiskSpaceExAvailable(c.entryPoint);
        rs.driveLetter = c.letter;
        rs.freeBytes = rs.usedBytes = 5;
        rs.i64FreeToCaller = rs.i64TotalFree = rs.i64TotalBytes = 7;
        EXPECT_EQ(c.query(), c.result);
        EXPECT_EQ((std::vector<uint64_t>{rs.freeBytes, rs.usedBytes, rs.i64FreeToCaller, rs.i64TotalFree,
                                         rs.i64TotalBytes}), c.figures);
        EXPECT_EQ(out(), c.messages);
        EXPECT_EQ(fakeDiskQueries(), c.entryPoint ? 1 : 0);
    }
}

// Grand totals past 2^64 - 1 hold at it, and the field shows stars.
TEST_F(TotalsTest, GrandTotalsSaturateAndShowAsStars) {
    openReport();
    rs.i64GrandAlloc = UINT64_MAX - 1;  // and the drive's 12,345,678,901 bytes on top
    foldDriveTotals();
    printGrandTotals();
    EXPECT_TRUE(contains(report(), "   Allocation        = ****************  (File Sizes) \n")) << report();
}

// Under hardLinks=Once a file with several names counts at its first; one
// with no room left in the table (200,000 files at once, 64 volumes) counts
// at every name and is said to, and its last name met gives its room back.
TEST_F(TotalsTest, LinkedFilesCountOnceWhileThereIsRoomAndAreSaidToCountAgainWhenNot) {
    FindData file{};
    auto first = [&file](uint64_t volume, uint64_t index, uint32_t links) {
        file.links = links;
        file.identity = FileIdentity{volume, index};
        return firstNameOf(file);
    };
    int counted = 0;
    for (uint64_t index = 0; index < linkedFilesHeld; ++index) counted += first(7, index, 3);
    EXPECT_EQ(counted, (int)linkedFilesHeld);
    EXPECT_EQ(rs.linksUnchecked, 0u);
    EXPECT_TRUE(first(7, linkedFilesHeld, 2));  // no room: counted, and said
    EXPECT_EQ(rs.linksUnchecked, 1u);
    EXPECT_FALSE(first(7, 0, 3));  // the second of three names
    EXPECT_FALSE(first(7, 0, 3));  // the last: its room is free again
    EXPECT_TRUE(first(8, 0, 2));   // another volume's file of the same index
    EXPECT_FALSE(first(8, 0, 2));
    EXPECT_TRUE(first(7, linkedFilesHeld, 2));  // met before without room: counted again, now with room
    EXPECT_EQ(rs.linksUnchecked, 1u);
    EXPECT_TRUE(first(7, 5, 1) && first(7, 5, 0));  // one name, or none known: always counted
    forgetLinkedFiles();
    for (uint64_t volume = 1; volume <= 64; ++volume) first(volume, 1, 2);
    EXPECT_TRUE(first(65, 1, 2) && first(65, 1, 2));  // a 65th volume: no room
    EXPECT_EQ(rs.linksUnchecked, 3u);
    EXPECT_FALSE(first(64, 1, 2));
}
