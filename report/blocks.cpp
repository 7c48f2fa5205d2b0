// The totals blocks: a drive's or target's block after its walk (on the
// console in a single-path run, in the report file in an all-drives run),
// and the grand totals over all drives at the end of the report file.
// Every figure is written through a fixed-width grouped field; the figures
// are settled before a block is written, and a block changes none of them.
#include <cstdint>

#include "common/output.h"
#include "common/runstate.h"
#include "report/internal.h"
#include "report/report.h"

void writeConsoleTotals() {
    if (rs.fileCount == 0) {
        conText("File not found: ");
        conClean(rs.curPath);
        conText("\n");
    }
    conText("\n");
    conFormat("   Number of Dirs.     = %s\n", groupedField(rs.dirCount, 15));
    conFormat("   Number of Files     = %s\n", groupedField(rs.fileCount, 15));
    conFormat("   Allocation          = %s  (File Sizes) \n", groupedField(rs.i64TotalAlloc, 15));
    conText("\n");
    if (rs.osLevel == OsLevel::classic) {
        conFormat("   Allocation          = %s  (Sectors) \n", groupedField(rs.usedBytes, 14));
        conFormat("   Free space          = %s  (Free Space) \n", groupedField(rs.freeBytes, 14));
        conFormat("   Capacity            = %s  (Bytes) \n\n", groupedField(rs.capacityBytes, 14));
    } else {
        conFormat("   Free Space          = %s  (Sectors) \n", groupedField(rs.i64TotalFree, 15));
        conFormat("   Free space Avail.   = %s  (Free Space) \n",
                  groupedField(rs.i64FreeToCaller, 15));
        conFormat("   Capacity            = %s  (Bytes) \n\n", groupedField(rs.i64TotalBytes, 15));
    }
}

void writeFileTotals() {
    fileText("\n");
    fileFormat("Drive %c Totals: \n", printableChar(rs.curDrive[0]));
    fileFormat("   Number of Dirs.   = %s \n", groupedField(rs.dirCount, 15));
    fileFormat("   Number of Files   = %s \n", groupedField(rs.fileCount, 15));
    fileFormat("   Allocation        = %s \n", groupedField(rs.i64TotalAlloc, 15));
    fileText("\n");
    if (rs.osLevel == OsLevel::classic) {
        fileFormat("   Allocation        = %s  (Sectors) \n", groupedField(rs.usedBytes, 14));
        fileFormat("   Free space        = %s  (Free Space) \n", groupedField(rs.freeBytes, 14));
        fileFormat("   Capacity          = %s  (Bytes) \n\n", groupedField(rs.capacityBytes, 14));
    } else {
        fileFormat("   Total Free Space  = %s  (Bytes) \n", groupedField(rs.i64TotalFree, 15));
        fileFormat("   Free space Avail. = %s  (Bytes) \n", groupedField(rs.i64FreeToCaller, 15));
        fileFormat("   Capacity          = %s  (Bytes) \n\n", groupedField(rs.i64TotalBytes, 15));
    }
    rs.lineCount += driveTotalsLines;
}

void printGrandTotals() {
    fileText(" \n");
    fileText("Grand Totals for the system: \n");
    fileFormat("   Number of Dirs.   = %s \n", groupedField(rs.i64GrandDirs, 16));
    fileFormat("   Number of Files   = %s \n", groupedField(rs.i64GrandFiles, 16));
    fileFormat("   Allocation        = %s  (File Sizes) \n", groupedField(rs.i64GrandAlloc, 16));
    if (rs.osLevel == OsLevel::classic) {
        fileFormat("   Allocation        = %s  (Sectors) \n", groupedField(rs.i64GrandUsed, 16));
        fileFormat("   Free space        = %s  (Free Space) \n", groupedField(rs.i64GrandFree, 16));
        fileFormat("   Capacity          = %s  (Bytes) \n\n",
                   groupedField(rs.i64GrandCapacity, 16));
    } else {
        fileFormat("   Free Space        = %s  (Sectors) \n",
                   groupedField(rs.i64GrandTotalFree, 16));
        fileFormat("   Free space Avail. = %s  (Free Space) \n",
                   groupedField(rs.i64GrandFreeToCaller, 16));
        fileFormat("   Capacity          = %s  (Bytes) \n\n",
                   groupedField(rs.i64GrandTotalBytes, 16));
    }
}
