// Every counter and byte total past the walk's own: a directory's bytes
// added to its drive's running total, the check that this total never goes
// down, and the fold of a drive's figures into the grand totals. The one
// writer of the drive's total and its directory count. Every sum
// saturates, so that no figure ever wraps to a small, plausible one.
#include <cstring>

#include "common/console.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/text.h"
#include "report/report.h"
#include "scan/internal.h"
#include "scan/scan.h"

uint64_t addSaturating(uint64_t a, uint64_t b) {
    uint64_t sum = a + b;
    return sum < a ? UINT64_MAX : sum;
}

// The abort when a drive's running total went down: the figures, the path
// as its line showed it (a final backslash a blank, but at a drive root)
// and a wait; the walk then stops and the run ends with exit code 1.
static void abortDecreasingTotal(const char *path) {
    char digits[21];
    conText("Folmar==>  i64TotalAlloc is decending \n");
    u64Digits(rs.i64TotalAlloc, digits);
    conFormat("i64TotalAlloc     = %s \n", formatGrouped(digits, 16));
    u64Digits(rs.i64SaveTotalAlloc, digits);
    conFormat("i64SaveTotalAlloc = %s \n", formatGrouped(digits, 16));
    conText("path              = ");
    bool backslashShown = utf8Chars(path) <= 4;
    conCleanBytes(path, std::strlen(path) - (backslashShown ? 0 : 1));
    conText(backslashShown ? " \n" : "  \n");
    conText("Folmar==>  Program will abort \n");
    waitForKey();
    rs.runAborted = true;
}

void addDirToTotal(const char *path, uint64_t bytes) {
    rs.i64TotalAlloc = addSaturating(rs.i64TotalAlloc, bytes);
    if (rs.i64TotalAlloc < rs.i64SaveTotalAlloc) abortDecreasingTotal(path);
    rs.i64SaveTotalAlloc = rs.i64TotalAlloc;
}

void foldDriveTotals() {
    rs.i64GrandDirs = addSaturating(rs.i64GrandDirs, rs.dirCount);
    rs.i64GrandFiles = addSaturating(rs.i64GrandFiles, rs.fileCount);
    rs.i64GrandAlloc = addSaturating(rs.i64GrandAlloc, rs.i64TotalAlloc);
    if (rs.osLevel == OsLevel::classic) {
        rs.i64GrandUsed = addSaturating(rs.i64GrandUsed, rs.usedBytes);
        rs.i64GrandFree = addSaturating(rs.i64GrandFree, rs.freeBytes);
        rs.i64GrandCapacity = addSaturating(rs.i64GrandCapacity, rs.capacityBytes);
    } else if (rs.osLevel == OsLevel::extended) {
        rs.i64GrandTotalFree = addSaturating(rs.i64GrandTotalFree, rs.i64TotalFree);
        rs.i64GrandFreeToCaller = addSaturating(rs.i64GrandFreeToCaller, rs.i64FreeToCaller);
        rs.i64GrandTotalBytes = addSaturating(rs.i64GrandTotalBytes, rs.i64TotalBytes);
    }
    rs.dirCount = 0;
    rs.fileCount = 0;
    rs.i64TotalAlloc = 0;
    rs.usedBytes = 0;
    rs.freeBytes = 0;
    rs.capacityBytes = 0;
    rs.i64TotalFree = 0;
    rs.i64FreeToCaller = 0;
    rs.i64TotalBytes = 0;
    rs.i64SaveTotalAlloc = 0;
    forgetLargestFiles();
}

void countDirectories(uint32_t count) { rs.dirCount += count; }
