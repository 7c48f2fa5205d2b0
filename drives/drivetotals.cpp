// The close of one drive's (or target's) listing: the condensed roll-up's
// last line, the disk-space query, the totals block of the run, and the fold
// of the drive's figures into the grand totals. It sits with the drives
// because it ends each drive of the drive loop and the single-path run alike.
#include "drives/drives.h"

#include <cstdint>

#include "common/runstate.h"
#include "common/sink.h"
#include "scan/scan.h"

void printDriveTotals() {
    if (rs.condensed) {
        rs.rollUpFlush = true;
        rollUpFirstLevel(rs.curPath);
        if (walkStopped()) return;
    }
    if (rs.osLevel == 'O')
        queryFreeSpace();
    else
        queryFreeSpaceEx();
    reportSink().writeTotals();
    foldDriveTotals();
}
