// The directory walk: the file pass and the directory pass of each
// directory, which directories are entered and by which name, and the stop
// of the walk when the machine runs out of memory or open files, or standard
// output can no longer be written.
#include <cstdio>
#include <cstring>

#include "common/output.h"
#include "common/runstate.h"
#include "common/text.h"
#include "scan/scan.h"

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
    rs.runAborted = true;
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

bool walkStopped() { return rs.runAborted || rs.stdoutFailed; }

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
    if (!walkStopped()) reportDirectory();  // a stopped file pass gives no line
    do {
        if (walkStopped()) break;
        if (!(entry.attributes & fileAttributeDirectory) || entry.cFileName[0] == '.') continue;
        rs.dirCount += 1;
        if (enterChildPath(parentPath, chars, entry)) processDirs();
    } while (findNextFile(handle, &entry));
    findClose(handle);
}
