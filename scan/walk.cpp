// The directory walk and every counter and byte total: the file pass and the
// directory pass of each directory, the per-directory and per-drive totals,
// the never-decreasing check and the fold of a drive into the grand totals.
#include <cstring>

#include "app/app.h"
#include "common/output.h"
#include "common/runstate.h"
#include "report/report.h"
#include "scan/scan.h"

// a + b, held at the largest value instead of wrapping: a directory whose
// files add up past 2^64 - 1 must never show a small, plausible total.
static uint64_t addSaturating(uint64_t a, uint64_t b) {
    uint64_t sum = a + b;
    return sum < a ? UINT64_MAX : sum;
}

void processFiles(const char *lsPath) {
    FindData entry;
    FindHandle handle = findFirstFile(lsPath, &entry);
    if (handle == invalidFindHandle) return;
    do {
        if (entry.attributes & fileAttributeDirectory) continue;
        if (rs.showFiles == 'S' || rs.showFiles == 'L') {
            bool useShort = rs.showFiles == 'S' && entry.cAlternateFileName[0] != '\0';
            conText(useShort ? entry.cAlternateFileName : entry.cFileName);
            conChar('\n');
        }
        rs.fileCount += 1;
        uint64_t size = ((uint64_t)entry.nFileSizeHigh << 32) | entry.nFileSizeLow;
        rs.i64DirAlloc = addSaturating(rs.i64DirAlloc, size);
    } while (findNextFile(handle, &entry));
    findClose(handle);
}

// Sets rs.curPath to `parentPath` followed by the child's name. False when
// the result would not fit rs.curPath: the child is then not entered.
static bool enterChildPath(const char *parentPath, const FindData &entry) {
    const char *name = entry.cFileName;
    if (rs.showDirs != 'L' && entry.cAlternateFileName[0] != '\0') name = entry.cAlternateFileName;
    size_t parentLength = std::strlen(parentPath);
    size_t nameLength = std::strlen(name);
    if (parentLength + nameLength >= sizeof rs.curPath) return false;
    std::memcpy(rs.curPath, parentPath, parentLength);
    std::memcpy(rs.curPath + parentLength, name, nameLength + 1);
    return true;
}

// Hands the directory's line on, or adds its bytes straight to the drive
// total when no directory lines are listed.
static void reportDirectory() {
    std::strcpy(rs.linePath, rs.curPath);
    if (rs.showDirs == 'S' || rs.showDirs == 'L') {
        rollUpFirstLevel(rs.linePath);
    } else {
        rs.i64TotalAlloc += rs.i64DirAlloc;
        rs.i64DirAlloc = 0;
    }
}

void processDirs() {
    char parentPath[520];
    char lsPath[520];
    FindData entry;

    size_t length = std::strlen(rs.curPath);
    if (length == 0 || rs.curPath[length - 1] != '\\') {
        if (length + 1 >= sizeof rs.curPath) return;  // no room for the backslash
        rs.curPath[length] = '\\';
        rs.curPath[length + 1] = '\0';
    }
    std::strcpy(parentPath, rs.curPath);
    std::strcpy(lsPath, rs.curPath);
    std::strcat(lsPath, rs.searchPattern);

    FindHandle handle = findFirstFile(lsPath, &entry);
    if (handle == invalidFindHandle) return;
    processFiles(lsPath);
    reportDirectory();
    do {
        if (!(entry.attributes & fileAttributeDirectory) || entry.cFileName[0] == '.') continue;
        rs.dirCount += 1;
        if (enterChildPath(parentPath, entry)) processDirs();
    } while (findNextFile(handle, &entry));
    findClose(handle);
}

// The abort when a drive's running total went down: the figures, the path,
// a wait, then the process ends with exit code 1.
static void abortDecreasingTotal(const char *path) {
    char digits[21];
    conText("Folmar==>  i64TotalAlloc is decending \n");
    u64Digits(rs.i64TotalAlloc, digits);
    conFormat("i64TotalAlloc     = %s \n", formatGrouped(digits, 16));
    u64Digits(rs.i64SaveTotalAlloc, digits);
    conFormat("i64SaveTotalAlloc = %s \n", formatGrouped(digits, 16));
    conFormat("path              = %s \n", path);
    conText("Folmar==>  Program will abort \n");
    waitForKey();
    if (rs.outFile != nullptr) {
        std::fclose(rs.outFile);
        rs.outFile = nullptr;
    }
    std::fflush(rs.con);
    exitProcess(1);
}

void addDirToTotal(const char *path) {
    rs.i64TotalAlloc += rs.i64DirAlloc;
    if (rs.i64TotalAlloc < rs.i64SaveTotalAlloc) abortDecreasingTotal(path);
    rs.i64SaveTotalAlloc = rs.i64TotalAlloc;
    rs.i64DirAlloc = 0;
}

void foldDriveTotals() {
    rs.i64GrandDirs += rs.dirCount;
    rs.i64GrandFiles += rs.fileCount;
    rs.i64GrandAlloc += rs.i64TotalAlloc;
    if (rs.osLevel == 'O') {
        rs.i64GrandUsed += rs.usedBytes;
        rs.i64GrandFree += rs.freeBytes;
        rs.i64GrandCapacity += rs.capacityBytes;
    } else if (rs.osLevel == 'N') {
        rs.i64GrandTotalFree += rs.i64TotalFree;
        rs.i64GrandFreeToCaller += rs.i64FreeToCaller;
        rs.i64GrandTotalBytes += rs.i64TotalBytes;
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
    getLocalTime(&rs.runDate);
    rs.i64SaveTotalAlloc = rs.i64TotalAlloc;
}
