// The condensed roll-up: between the walk and the line layout it holds back
// one pending line per first-level directory, adds the bytes of that
// directory's whole subtree to it, and prints it when the walk moves on to
// another first-level directory or the drive's totals ask for a flush. Each
// line is printed first; its bytes then go to the drive's total.
#include <cstring>

#include "common/runstate.h"
#include "report/report.h"
#include "scan/internal.h"
#include "scan/scan.h"

// A pending path is the target or a drive's first-level directory: at
// most 259 characters.
static bool nothingPending = true;          // the next line starts a new roll-up
static char pendingPath[maxPathBytes + 5];  // the pending first-level path, the comparison key
static uint64_t pendingBytes = 0;           // bytes accumulated for the pending line

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
    if (length >= sizeof pendingPath) length = sizeof pendingPath - 1;
    std::memcpy(pendingPath, path, length);
    pendingPath[length] = '\0';
    pendingBytes = bytes;
    nothingPending = false;
}

void rollUpFirstLevel(const char *path, uint64_t bytes) {
    if (!rs.condensed) {
        printLine(path, bytes);
        return;
    }
    if (nothingPending) {
        holdBack(path, bytes);
        return;
    }
    if (std::strncmp(pendingPath, path, prefixLength(path)) == 0) {
        pendingBytes = addSaturating(pendingBytes, bytes);
        return;
    }
    printLine(pendingPath, pendingBytes);
    holdBack(path, bytes);
}

void flushRollUp() {
    if (nothingPending) return;
    nothingPending = true;
    printLine(pendingPath, pendingBytes);
}
