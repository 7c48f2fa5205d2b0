// The drive loop of an all-drives run (which drives, in which order, with
// which messages) and the two disk-space queries, on the fake machine.
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "drives/drives.h"
#include "tests/unit/fixture.h"

namespace {

// Occurrences of `needle` in `text`.
int countOf(const std::string &text, const std::string &needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

// Letters of the "Processing Drive" lines, in order.
std::string lettersProcessed(const std::string &console) {
    const std::string marker = "Folmar==>  Processing Drive ";
    std::string letters;
    for (size_t at = console.find(marker); at != std::string::npos;
         at = console.find(marker, at + 1)) {
        letters += console[at + marker.size()];
        EXPECT_EQ(console[at + marker.size() + 1], '\n');
    }
    return letters;
}

// Sets rs.driveList from letters, in the form the settings reader builds.
void setDriveList(const char *letters) {
    std::memset(rs.driveList, 0, sizeof rs.driveList);
    for (int i = 0; letters[i] != 0; ++i) {
        rs.driveList[4 * i] = letters[i];
        rs.driveList[4 * i + 1] = ':';
        rs.driveList[4 * i + 2] = '\\';
    }
}

class DrivesTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        rs.runMode = '~';
        rs.osLevel = 'N';
        rs.lineWidth = 78;
        deriveLayout();
    }
    // One drive of every type: A removable, C fixed, D remote, E CD-ROM,
    // F RAM disk, G fixed, H unknown type, I no root directory.
    void addDriveOfEveryType() {
        fakeAddDrive('A', driveRemovable);
        fakeAddDrive('C', driveFixed);
        fakeAddDrive('D', driveRemote);
        fakeAddDrive('E', driveCdrom);
        fakeAddDrive('F', driveRamdisk);
        fakeAddDrive('G', driveFixed);
        fakeAddDrive('H', driveUnknown);
        fakeAddDrive('I', driveNoRootDir);
    }
    // The letters a drive loop reports on that machine with these settings.
    std::string lettersWith(char local, char remote) {
        fakeReset();
        resetRunState();
        addDriveOfEveryType();
        rs.processLocalDrives = local;
        rs.processRemoteDrives = remote;
        processDrives();
        return lettersProcessed(out());
    }
};

TEST_F(DrivesTest, SelectionRuleForEveryTypeAndBothSettings) {
    struct Case { char local, remote; const char *selectedTypes; };
    const Case cases[] = {{'Y', 'N', "3"}, {'N', 'Y', "4"}, {'Y', 'Y', "34"}, {'N', 'N', ""}};
    for (const Case &c : cases) {
        rs.processLocalDrives = c.local;
        rs.processRemoteDrives = c.remote;
        for (uint32_t type = 0; type <= 7; ++type) {
            bool expected = std::strchr(c.selectedTypes, (char)('0' + type)) != nullptr;
            EXPECT_EQ(driveSelected(type), expected)
                << "type " << type << " local " << c.local << " remote " << c.remote;
        }
    }
}

TEST_F(DrivesTest, LoopReportsSelectedKindsInLetterOrder) {
    EXPECT_EQ(lettersWith('Y', 'N'), "CG");
    EXPECT_EQ(lettersWith('N', 'Y'), "D");
    EXPECT_EQ(lettersWith('Y', 'Y'), "CDG");
}

TEST_F(DrivesTest, ProgressMessagesNameTheFileAndThePitch) {
    fakeAddDrive('C', driveFixed);
    rs.lineWidth = 125;
    deriveLayout();
    processDrives();
    EXPECT_EQ(out(),
              "\n"
              "Folmar==>  Processing multiple drives \n"
              "Folmar==>  Output will be in C:\\FolmarAll.txt\n"
              "Folmar==>  To print C:\\FolmarAll.txt, use a 17 CPI, fixed pitch font \n\n"
              "Folmar==>  Processing Drive C\n");
}

TEST_F(DrivesTest, DriveListOrderIsKeptAndLowerCaseIsRaised) {
    fakeAddDrive('C', driveFixed);
    fakeAddDrive('D', driveFixed);
    setDriveList("dC");
    processDrives();
    EXPECT_EQ(lettersProcessed(out()), "DC");
}

TEST_F(DrivesTest, FullDriveListOf27EntriesIsReportedWhole) {
    fakeAddDrive('C', driveFixed);
    setDriveList("CCCCCCCCCCCCCCCCCCCCCCCCCCC");
    processDrives();
    EXPECT_EQ(lettersProcessed(out()), std::string(27, 'C'));
    EXPECT_EQ(rs.curDrive[0], 0);
}

TEST_F(DrivesTest, EveryDriveIsWalkedFromItsRootAtPageZero) {
    fakeAddDrive('C', driveFixed);
    fakeAddDir("C:\\A\\B");
    fakeAddDrive('D', driveFixed);
    rs.showDirs = 'N';  // no page headers, so the page number stays as the loop set it
    rs.pageNumber = 7;
    std::strcpy(rs.searchPattern, "xyz");
    processDrives();
    EXPECT_EQ(rs.pageNumber, 0);
    EXPECT_STREQ(rs.curPath, "D:\\");  // the walk of D, the last drive, entered nothing
    EXPECT_STREQ(rs.searchPattern, "*.*");
}

TEST_F(DrivesTest, UnselectedEntriesAreSkippedWithoutMessage) {
    addDriveOfEveryType();
    setDriveList("E1AZc");  // CD-ROM, a digit, removable, no such drive, fixed
    processDrives();
    std::string console = out();
    EXPECT_EQ(lettersProcessed(console), "C");
    EXPECT_EQ(countOf(console, "Folmar==>"), 4);  // three progress lines and drive C
}

TEST_F(DrivesTest, NextDriveEndsWithTheLastUnselectedEntryThenNothing) {
    addDriveOfEveryType();
    setDriveList("CEA");
    std::memcpy(rs.driveStrings, rs.driveList, sizeof rs.driveStrings);
    nextDrive();
    EXPECT_STREQ(rs.curDrive, "C:\\");
    EXPECT_EQ(rs.driveLetter, 'C');
    nextDrive();
    EXPECT_STREQ(rs.curDrive, "A:\\");  // no selected drive left: the last entry
    EXPECT_EQ(rs.driveLetter, 'A');
    nextDrive();
    EXPECT_STREQ(rs.curDrive, "");
    EXPECT_EQ(rs.driveLetter, 0);
    nextDrive();  // the cursor never moves back
    EXPECT_STREQ(rs.curDrive, "");
}

TEST_F(DrivesTest, FailedSystemDriveListReportsNoDrive) {
    fakeAddDrive('C', driveFixed);
    fakeFailDriveStrings();
    processDrives();
    std::string console = out();
    EXPECT_NE(console.find("Folmar==>  Processing multiple drives \n"), std::string::npos);
    EXPECT_EQ(lettersProcessed(console), "");
    EXPECT_EQ(rs.driveLetter, 0);
}

// ---- disk space ----

TEST_F(DrivesTest, ClassicQueryStoresLow32BitsOfEachProduct) {
    fakeAddDrive('C', driveFixed);
    fakeSetDiskSpaceEx('C', 1, 2, 3);
    rs.driveLetter = 'C';
    fakeSetDiskSpace('C', 8, 512, 1000, 5000);
    EXPECT_EQ(queryFreeSpace(), 1);
    EXPECT_EQ(rs.freeBytes, 1000u * 4096u);
    EXPECT_EQ(rs.usedBytes, 4000u * 4096u);

    fakeSetDiskSpace('C', 8, 512, 1u << 21, (1u << 21) + 1000);  // 8 GiB free
    EXPECT_EQ(queryFreeSpace(), 1);
    EXPECT_EQ(rs.freeBytes, 0u);
    EXPECT_EQ(rs.usedBytes, 1000u * 4096u);

    fakeSetDiskSpace('C', 64, 512, 0x30000, 0x30000 + 0x20001);  // 6 GiB + 32 KiB used
    EXPECT_EQ(queryFreeSpace(), 1);
    EXPECT_EQ(rs.freeBytes, (uint32_t)(0x30000ull * 32768));
    EXPECT_EQ(rs.usedBytes, 32768u);
    EXPECT_EQ(rs.i64FreeToCaller + rs.i64TotalBytes + rs.i64TotalFree, 0u);
    EXPECT_EQ(out(), "");
}

TEST_F(DrivesTest, ExtendedQueryFillsOnlyThe64BitFigures) {
    fakeAddDrive('C', driveFixed);
    fakeSetDiskSpace('C', 8, 512, 1000, 5000);
    fakeSetDiskSpaceEx('C', 39000000000ull, 80000000000ull, 40000000000ull);
    rs.driveLetter = 'c';
    EXPECT_EQ(queryFreeSpaceEx(), 1);
    EXPECT_EQ(rs.i64FreeToCaller, 39000000000ull);
    EXPECT_EQ(rs.i64TotalBytes, 80000000000ull);
    EXPECT_EQ(rs.i64TotalFree, 40000000000ull);
    EXPECT_EQ(rs.freeBytes + rs.usedBytes + rs.capacityBytes, 0u);
}

TEST_F(DrivesTest, MissingExtendedEntryPointIsSilent) {
    fakeAddDrive('C', driveFixed);
    fakeSetDiskSpaceEx('C', 1, 2, 3);
    fakeSetDiskSpaceExAvailable(false);
    rs.driveLetter = 'C';
    EXPECT_EQ(queryFreeSpaceEx(), 0);
    EXPECT_EQ(fakeDiskQueries(), 0);
    EXPECT_EQ(rs.i64FreeToCaller + rs.i64TotalBytes + rs.i64TotalFree, 0u);
    EXPECT_EQ(out(), "");
}

TEST_F(DrivesTest, ClassicFailureNamesTheErrorCodeAndTheLetter) {
    fakeAddDrive('D', driveFixed);
    fakeSetDiskSpace('D', 8, 512, 1000, 5000);
    fakeFailDiskSpace('D', 21);
    rs.driveLetter = 'D';
    EXPECT_EQ(queryFreeSpace(), 0);
    EXPECT_EQ(out(),
              "Call to GetFreeDiskSpace() failed with Error Code 21 \n"
              "Unable to obtain free space for Drive 'D' \n");
    EXPECT_EQ(rs.freeBytes + rs.usedBytes, 0u);
}

TEST_F(DrivesTest, ExtendedFailureNamesTheErrorCodeAndTheRootAsGiven) {
    rs.driveLetter = 'q';  // no such drive: path not found
    rs.i64TotalFree = 7;
    EXPECT_EQ(queryFreeSpaceEx(), 0);
    EXPECT_EQ(out(),
              "Call to GetFreeDiskSpaceEx() failed with Error Code 3 \n"
              "Unable to obtain free space for \"q:\\\" \n");
    EXPECT_EQ(rs.i64TotalFree, 7u);  // a failed query changes no figure
}

}  // namespace
