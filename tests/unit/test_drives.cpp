// The drive loop of an all-drives run (which drives, in which order, with
// which messages) and the two disk-space queries, on the fake machine.
#include "drives/drives.h"
#include "tests/unit/fixture.h"

namespace {

class DrivesTest : public FolmarTest {
protected:
    void prepare() override { useAllDrivesRun(); }
};

// Letters of the "Processing Drive" lines, in order.
std::string lettersProcessed(const std::string &console) {
    const std::string marker = "Folmar==>  Processing Drive ";
    std::string letters;
    for (size_t at = console.find(marker); at != std::string::npos; at = console.find(marker, at + 1)) {
        letters += console[at + marker.size()];
        EXPECT_EQ(console[at + marker.size() + 1], '\n');
    }
    return letters;
}

}  // namespace

// Fixed drives when processLocalDrives is 'Y', remote ones when
// processRemoteDrives is 'Y', no other type ever. A drive list is taken in
// its own order, letters raised, other entries passed over without a
// message; every drive reported starts at page 1.
TEST_F(DrivesTest, SelectionForEveryTypeSettingAndDriveList) {
    struct Case { char local, remote; const char *list, *reported; };
    const std::string all27(27, 'C');
    const Case cases[] = {
        {'Y', 'N', "", "CD"},    {'N', 'Y', "", "G"},          {'Y', 'Y', "", "CDG"},     {'N', 'N', "", ""},
        {'Y', 'N', "DC", "DC"},  {'Y', 'N', "dc", "DC"},       {'Y', 'N', "CC", "CC"},    {'Y', 'N', "E1AZc", "C"},
        {'Y', 'N', "CEA", "C"},  {'Y', 'N', "E", ""},          {'Y', 'N', all27.c_str(), all27.c_str()},
        {'Y', 'N', nullptr, ""},  // the system's drive list cannot be obtained
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(1, c.local) + c.remote + " list '" + (c.list ? c.list : "?") + "'");
        fresh();
        const std::pair<char, uint32_t> drives[] = {
            {'A', driveRemovable}, {'C', driveFixed},  {'D', driveFixed},   {'E', driveCdrom},
            {'F', driveRamdisk},   {'G', driveRemote}, {'H', driveUnknown}, {'I', driveNoRootDir}};
        for (const auto &d : drives) fakeAddDrive(d.first, d.second);
        rs.processLocalDrives = c.local;
        rs.processRemoteDrives = c.remote;
        c.list ? setDriveList(c.list) : fakeFailDriveStrings();
        openReport();
        processDrives();
        const int reported = (int)std::string(c.reported).size();
        EXPECT_EQ(lettersProcessed(out()), c.reported);
        EXPECT_TRUE(contains(out(), "\nFolmar==>  Processing multiple drives \n"
                                    "Folmar==>  Output will be in C:\\FolmarAll.txt\n"
                                    "Folmar==>  To print C:\\FolmarAll.txt, use a 12 CPI, fixed pitch font \n\n"));
        EXPECT_EQ(countOf(out(), "Folmar==>"), 3 + reported);  // and a line for each drive
        EXPECT_EQ(countOf(report(), "   Page  1 "), reported);
        EXPECT_EQ(countOf(report(), "   Page  2 "), 0);
        EXPECT_EQ(rs.curDrive[0], 0);
        EXPECT_EQ(rs.driveLetter, 0);
    }
}

// The classic query keeps the low 32 bits of each product and the extended
// one its 64-bit figures; each leaves the other's figures alone.
TEST_F(DrivesTest, EachQueryFillsOnlyItsOwnFigures) {
    struct Case { int (*query)(); uint32_t sectors, freeClusters, totalClusters; std::vector<uint64_t> figures; };
    const Case cases[] = {
        {queryFreeSpace, 8, 1000, 5000, {1000u * 4096u, 4000u * 4096u, 0, 0, 0}},
        {queryFreeSpace, 8, 1u << 21, (1u << 21) + 1000, {0, 1000u * 4096u, 0, 0, 0}},  // 8 GiB free
        {queryFreeSpace, 64, 0x30000, 0x50001, {(uint32_t)(0x30000ull * 32768), 32768u, 0, 0, 0}},
        {queryFreeSpaceEx, 8, 1000, 5000, {0, 0, 39000000000ull, 40000000000ull, 80000000000ull}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.freeClusters);
        fresh();
        fakeAddDrive('C', driveFixed);
        fakeSetDiskSpace('C', c.sectors, 512, c.freeClusters, c.totalClusters);
        fakeSetDiskSpaceEx('C', 39000000000ull, 80000000000ull, 40000000000ull);
        rs.driveLetter = 'c';
        EXPECT_EQ(c.query(), 1);
        EXPECT_EQ((std::vector<uint64_t>{rs.freeBytes, rs.usedBytes, rs.i64FreeToCaller, rs.i64TotalFree,
                                         rs.i64TotalBytes}),
                  c.figures);
        EXPECT_EQ(out(), "");
    }
}

// A failed query names its error code and the drive; a missing extended
// entry point is silent and makes no query. No figure changes.
TEST_F(DrivesTest, FailedQueriesNameTheErrorCodeAndTheDrive) {
    struct Case { int (*query)(); char letter; bool entryPoint; const char *expected; };
    const Case cases[] = {
        {queryFreeSpace, 'D', true,
         "Call to GetFreeDiskSpace() failed with Error Code 21 \nUnable to obtain free space for Drive 'D' \n"},
        {queryFreeSpaceEx, 'D', true,
         "Call to GetFreeDiskSpaceEx() failed with Error Code 21 \nUnable to obtain free space for \"D:\\\" \n"},
        {queryFreeSpaceEx, 'q', true,  // no such drive: path not found; the letter as given
         "Call to GetFreeDiskSpaceEx() failed with Error Code 3 \nUnable to obtain free space for \"q:\\\" \n"},
        {queryFreeSpaceEx, 'E', false, ""},
    };
    for (const Case &c : cases) {
        fresh();
        fakeAddDrive('D', driveFixed);
        fakeFailDiskSpace('D', 21);
        fakeAddDrive('E', driveFixed);
        fakeSetDiskSpaceEx('E', 1, 2, 3);
        fakeSetDiskSpaceExAvailable(c.entryPoint);
        rs.driveLetter = c.letter;
        rs.freeBytes = rs.usedBytes = 5;
        rs.i64TotalFree = 7;
        EXPECT_EQ(c.query(), 0);
        EXPECT_EQ(out(), c.expected);
        EXPECT_EQ(rs.freeBytes + rs.usedBytes + rs.i64TotalFree + rs.i64TotalBytes, 17u) << c.expected;
        EXPECT_EQ(fakeDiskQueries(), c.entryPoint ? 1 : 0);
    }
}
