// The directory walk and every counter and byte total: the file pass and the
// directory pass of each directory, the per-directory and per-drive totals,
// the never-decreasing check and the fold of a drive into the grand totals.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/text.h"
#include "report/report.h"
#include "scan/scan.h"

uint64_t addSaturating(uint64_t a, uint64_t b) {
    uint64_t sum = a + b;
    return sum < a ? UINT64_MAX : sum;
}

// Short names are asked of the enumeration only when something uses them:
// paths built from them, files listed by them, or long names that may be
// look-alikes.
static bool shortNamesWanted() {
    return rs.showDirs != 'L' || rs.showFiles == 'S' || enterByShortNames();
}

// A directory that could not be enumerated because the machine ran out of
// memory or open files: the walk cannot be complete, so it stops, and the
// run ends as a failure instead of passing over the directory.
static bool walkOutOfResources(const char *lsPath) {
    uint32_t code = getLastError();
    if (code != errorTooManyOpenFiles && code != errorNotEnoughMemory) return false;
    conText("Folmar==>  Unable to read ");
    conClean(lsPath);
    conText(" \n");
    conFormat("Folmar==>  Out of memory or open files (Error Code %lu) \n", (unsigned long)code);
    rs.walkFailed = true;
    return true;
}

void processFiles(const char *lsPath) {
    FindData entry;
    FindHandle handle = findFirstFile(lsPath, &entry, shortNamesWanted());
    if (handle == invalidFindHandle) {
        walkOutOfResources(lsPath);
        return;
    }
    do {
        if (entry.attributes & fileAttributeDirectory) continue;
        if (rs.showFiles == 'S' || rs.showFiles == 'L') {
            bool useShort = rs.showFiles == 'S' && entry.cAlternateFileName[0] != '\0';
            conClean(useShort ? entry.cAlternateFileName : entry.cFileName);
            conChar('\n');
        }
        rs.fileCount += 1;
        uint64_t size = ((uint64_t)entry.nFileSizeHigh << 32) | entry.nFileSizeLow;
        rs.i64DirAlloc = addSaturating(rs.i64DirAlloc, size);
    } while (findNextFile(handle, &entry));
    findClose(handle);
}

// Sets rs.curPath to `parentPath` (of `parentChars` characters) followed by
// the child's name. False when the result would be longer than 259
// characters: the child is then not entered.
static bool enterChildPath(const char *parentPath, size_t parentChars, const FindData &entry) {
    const char *name = entry.cFileName;
    bool useShort = rs.showDirs != 'L' || enterByShortNames();
    if (useShort && entry.cAlternateFileName[0] != '\0') name = entry.cAlternateFileName;
    size_t parentLength = std::strlen(parentPath);
    size_t nameLength = std::strlen(name);
    if (parentChars + utf8Chars(name) > maxPathChars) return false;
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
        rs.i64TotalAlloc = addSaturating(rs.i64TotalAlloc, rs.i64DirAlloc);
        rs.i64DirAlloc = 0;
    }
}

bool walkStopped() { return rs.walkFailed || rs.stdoutFailed; }

void processDirs() {
    char parentPath[sizeof rs.curPath];
    char lsPath[sizeof rs.curPath + 4];
    FindData entry;

    size_t length = std::strlen(rs.curPath);
    size_t chars = utf8Chars(rs.curPath);
    if (length == 0 || rs.curPath[length - 1] != '\\') {
        if (chars + 1 > maxPathChars) return;  // no room for the backslash
        rs.curPath[length] = '\\';
        rs.curPath[length + 1] = '\0';
        chars += 1;
    }
    std::strcpy(parentPath, rs.curPath);
    std::snprintf(lsPath, sizeof lsPath, "%s%s", rs.curPath, rs.searchPattern);

    FindHandle handle = findFirstFile(lsPath, &entry, shortNamesWanted());
    if (handle == invalidFindHandle) {
        walkOutOfResources(lsPath);
        return;
    }
    processFiles(lsPath);
    reportDirectory();
    do {
        if (!(entry.attributes & fileAttributeDirectory) || entry.cFileName[0] == '.') continue;
        rs.dirCount += 1;
        if (enterChildPath(parentPath, chars, entry)) processDirs();
    } while (!walkStopped() && findNextFile(handle, &entry));
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
    conText("path              = ");
    conClean(path);
    conText(" \n");
    conText("Folmar==>  Program will abort \n");
    waitForKey();
    if (rs.outFile != nullptr) {
        std::fclose(rs.outFile);
        rs.outFile = nullptr;
    }
    conFlush();
    exitProcess(1);
}

void addDirToTotal(const char *path) {
    rs.i64TotalAlloc = addSaturating(rs.i64TotalAlloc, rs.i64DirAlloc);
    if (rs.i64TotalAlloc < rs.i64SaveTotalAlloc) abortDecreasingTotal(path);
    rs.i64SaveTotalAlloc = rs.i64TotalAlloc;
    rs.i64DirAlloc = 0;
}

void foldDriveTotals() {
    rs.i64GrandDirs = addSaturating(rs.i64GrandDirs, rs.dirCount);
    rs.i64GrandFiles = addSaturating(rs.i64GrandFiles, rs.fileCount);
    rs.i64GrandAlloc = addSaturating(rs.i64GrandAlloc, rs.i64TotalAlloc);
    if (rs.osLevel == 'O') {
        rs.i64GrandUsed = addSaturating(rs.i64GrandUsed, rs.usedBytes);
        rs.i64GrandFree = addSaturating(rs.i64GrandFree, rs.freeBytes);
        rs.i64GrandCapacity = addSaturating(rs.i64GrandCapacity, rs.capacityBytes);
    } else if (rs.osLevel == 'N') {
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
    getLocalTime(&rs.runDate);
    rs.i64SaveTotalAlloc = rs.i64TotalAlloc;
}
