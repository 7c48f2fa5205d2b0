// The condensed roll-up: between the walk and the line layout it holds back
// one pending line per first-level directory, adds the bytes of that
// directory's whole subtree to it, and prints it when the walk moves on to
// another first-level directory or the drive's totals ask for a flush. Each
// line is printed first; its bytes then go to the drive's total. The
// pending line (the target or a drive's first-level directory) is run
// state, in rs.rollUp*.
#include <cstring>

#include "common/runstate.h"
#include "report/report.h"
#include "scan/internal.h"
#include "scan/scan.h"

// The number of leading characters of `path` that name its first-level
// subtree: up to and including the second backslash, else 3 (a drive root).
static size_t prefixLength(const char *path) {
    int backslashes = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (path[i] == '\\' && ++backslashes == 2) return i + 1;
    }
    return 3;
}

// The line of `path` with `bytes`, then the bytes into the drive's total.
static void printLine(const char *path, uint64_t bytes) {
    printDirLine(path, bytes);
    addDirToTotal(path, bytes);
}

// `path` with `bytes` becomes the pending line.
static void holdBack(const char *path, uint64_t bytes) {
    size_t length = std::strlen(path);
    if (length >= sizeof rs.rollUpPath) length = sizeof rs.rollUpPath - 1;
    std::memcpy(rs.rollUpPath, path, length);
    rs.rollUpPath[length] = '\0';
    rs.rollUpBytes = bytes;
    rs.rollUpHeld = true;
}

void rollUpFirstLevel(const char *path, uint64_t bytes) {
    if (!rs.condensed) {
        printLine(path, bytes);
        return;
    }
    if (!rs.rollUpHeld) {
        holdBack(path, bytes);
        return;
    }
    if (std::strncmp(rs.rollUpPath, path, prefixLength(path)) == 0) {
        rs.rollUpBytes = addSaturating(rs.rollUpBytes, bytes);
        return;
    }
    printLine(rs.rollUpPath, rs.rollUpBytes);
    holdBack(path, bytes);
}

void flushRollUp() {
    if (!rs.rollUpHeld) return;
    rs.rollUpHeld = false;
    printLine(rs.rollUpPath, rs.rollUpBytes);
}
