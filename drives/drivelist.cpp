// The drive list of an all-drives run: which drives are reported and in which
// order. The list comes from the settings' driveList or from the system's
// logical-drive strings; only fixed and remote drives of the enabled kinds are
// selected. For each selected drive the loop writes its page header, walks it
// and writes its totals block.
#include "drives/drives.h"

#include <cctype>
#include <cstring>

#include "common/output.h"
#include "common/runstate.h"
#include "common/sink.h"
#include "platform/platform.h"
#include "scan/scan.h"

// Bytes of driveStrings that are ever filled; the byte after them stays NUL.
static const uint32_t driveStringsLength = 108;

bool driveSelected(uint32_t driveType) {
    if (driveType == driveFixed) return rs.processLocalDrives == 'Y';
    if (driveType == driveRemote) return rs.processRemoteDrives == 'Y';
    return false;
}

// The entry of rs.driveStrings at `offset`; the empty text once the offset
// reaches the end of the filled bytes (the list is then exhausted).
static const char *entryAt(int offset) {
    if (offset < 0 || (uint32_t)offset >= driveStringsLength) return "";
    return rs.driveStrings + offset;
}

// Fills rs.driveStrings once: the settings' driveList when it is given, else
// the system's drive list. A failed system query leaves the list empty.
static void loadDriveStrings() {
    std::memset(rs.driveStrings, 0, sizeof rs.driveStrings);
    if (rs.driveList[0] != 0) {
        std::memcpy(rs.driveStrings, rs.driveList, driveStringsLength);
        return;
    }
    if (getLogicalDriveStrings(driveStringsLength, rs.driveStrings) > driveStringsLength)
        std::memset(rs.driveStrings, 0, sizeof rs.driveStrings);  // did not fit
}

// Reads rs.driveCursor and rs.driveStrings; writes rs.driveCursor,
// rs.curDrive and rs.driveLetter. The cursor only ever moves forward. When
// the rest of the list holds no selected drive, rs.curDrive keeps the last
// entry examined; the caller tests its type again and calls once more.
void nextDrive() {
    if (rs.driveCursor < 0) rs.driveCursor = 0;
    rs.curDrive[0] = 0;
    while (entryAt(rs.driveCursor)[0] != 0) {
        const char *entry = entryAt(rs.driveCursor);
        size_t length = std::strlen(entry);  // the NUL at offset 108 bounds it
        std::memcpy(rs.curDrive, entry, length + 1);
        rs.curDrive[0] = (char)std::toupper((unsigned char)rs.curDrive[0]);
        rs.driveCursor += (int)length + 1;
        if (driveSelected(getDriveType(rs.curDrive))) break;
    }
    rs.driveLetter = rs.curDrive[0];
}

// The progress lines written before the first drive.
static void announceRun() {
    conText("\n");
    conText("Folmar==>  Processing multiple drives \n");
    conText("Folmar==>  Output will be in ");
    conClean(rs.outputFile);
    conText("\n");
    conText("Folmar==>  To print ");
    conClean(rs.outputFile);
    conText(", use a ");
    conFormat("%d", rs.cpi);
    conText(" CPI, fixed pitch font \n\n");
}

// Called once by the all-drives run with the report file open and its sink
// chosen. Reads the drive settings, rs.outputFile and rs.cpi; for every
// selected drive sets rs.curPath to its root and rs.searchPattern, then
// writes the page header (rs.pageNumber from 0), walks the drive and writes
// its totals. Returns with rs.curDrive empty and rs.driveLetter NUL.
void processDrives() {
    loadDriveStrings();
    announceRun();
    for (;;) {
        nextDrive();
        if (rs.curDrive[0] == 0) return;
        if (!driveSelected(getDriveType(rs.curDrive))) continue;
        conFormat("Folmar==>  Processing Drive %c\n", rs.curDrive[0]);
        std::memcpy(rs.curPath, rs.curDrive, std::strlen(rs.curDrive) + 1);
        std::strcpy(rs.searchPattern, "*.*");
        deliverDriveStarted();  // the report file's page header
        processDirs();
        if (walkStopped()) return;
        printDriveTotals();
    }
}
