// The drive list of an all-drives run: which drives are reported and in which
// order. The list comes from the settings' driveList or from the system's
// logical-drive strings; only fixed and remote drives of the enabled kinds are
// selected. The list and its cursor are this file's own.
#include "drives/drives.h"

#include <cctype>
#include <cstring>

#include "common/runstate.h"
#include "platform/platform.h"

// Bytes of driveStrings that are ever filled; the byte after them stays NUL.
static const uint32_t driveStringsLength = 108;
static char driveStrings[driveStringsLength + 1];  // drive roots, NUL-padded
static int driveCursor = 0;                         // offset of the next entry

bool driveSelected(uint32_t driveType) {
    if (driveType == driveFixed) return rs.processLocalDrives == 'Y';
    if (driveType == driveRemote) return rs.processRemoteDrives == 'Y';
    return false;
}

// The entry of driveStrings at `offset`; the empty text once the offset
// reaches the end of the filled bytes (the list is then exhausted).
static const char *entryAt(int offset) {
    if (offset < 0 || (uint32_t)offset >= driveStringsLength) return "";
    return driveStrings + offset;
}

void forgetDriveList() {
    std::memset(driveStrings, 0, sizeof driveStrings);
    driveCursor = 0;
}

// A failed system query leaves the list empty.
void loadDriveStrings() {
    forgetDriveList();
    if (rs.driveList[0] != 0) {
        std::memcpy(driveStrings, rs.driveList, driveStringsLength);
        return;
    }
    if (getLogicalDriveStrings(driveStringsLength, driveStrings) > driveStringsLength)
        std::memset(driveStrings, 0, sizeof driveStrings);  // did not fit
}

// Writes rs.curDrive and rs.driveLetter. The cursor only ever moves forward.
// When the rest of the list holds no selected drive, rs.curDrive keeps the
// last entry examined; the caller tests its type again and calls once more.
void nextDrive() {
    rs.curDrive[0] = 0;
    while (entryAt(driveCursor)[0] != 0) {
        const char *entry = entryAt(driveCursor);
        size_t length = std::strlen(entry);  // the NUL at offset 108 bounds it
        std::memcpy(rs.curDrive, entry, length + 1);
        rs.curDrive[0] = (char)std::toupper((unsigned char)rs.curDrive[0]);
        driveCursor += (int)length + 1;
        if (driveSelected(getDriveType(rs.curDrive))) break;
    }
    rs.driveLetter = rs.curDrive[0];
}
