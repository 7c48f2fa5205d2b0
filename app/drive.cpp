// One drive's (or the target's) report, the same in both runs: its walk
// into the report's sink, then the close of its listing. The figures the
// totals block shows are settled before it is written, and the drive's
// figures are folded into the grand totals after it.
#include "app/internal.h"
#include "common/runstate.h"
#include "common/sink.h"
#include "drives/drives.h"
#include "platform/platform.h"
#include "scan/scan.h"

bool reportDrive() {
    deliverDriveStarted();  // the console's column header, or the report file's page header
    processDirs();
    if (walkStopped()) return false;
    printDriveTotals();
    return !rs.runAborted;
}

void printDriveTotals() {
    if (rs.condensed) {
        flushRollUp();
        if (walkStopped()) return;
    }
    if (rs.osLevel == OsLevel::classic) {
        queryFreeSpace();
        rs.capacityBytes = rs.usedBytes + rs.freeBytes;  // kept in 32 bits, as the query's figures
    } else {
        queryFreeSpaceEx();
    }
    if (rs.runMode == RunMode::singlePath) countDirectories(1);  // the target counts itself; a drive root does not
    reportSink().writeTotals();
    foldDriveTotals();
    getLocalTime(&rs.runDate);  // the next drive's title shows when this one ended
}
