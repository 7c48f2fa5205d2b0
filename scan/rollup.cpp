// The condensed roll-up: between the walk and the line layout it holds back
// one pending line per first-level directory, adds the totals of that
// directory's whole subtree to it, and prints it when the walk moves on to
// another first-level directory or the drive's totals ask for a flush.
#include <cstdio>
#include <cstring>

#include "common/runstate.h"
#include "report/report.h"
#include "scan/scan.h"

// Copies `text` into `target`, one of the roll-up's path buffers.
static void copyPath(char *target, const char *text) {
    std::snprintf(target, sizeof rs.pendingPath, "%s", text);
}

int prefixLength(const char *path) {
    int backslashes = 0;
    for (int i = 0; path[i] != '\0'; ++i) {
        if (path[i] == '\\' && ++backslashes == 2) return i + 1;
    }
    return 3;
}

// Prints the pending line with its accumulated total; i64DirAlloc is kept
// for the caller and handed back afterwards in i64PendingAlloc.
static void printPending() {
    uint64_t kept = rs.i64DirAlloc;
    rs.i64DirAlloc = rs.i64PendingAlloc;
    printDirLine(rs.pendingPrintPath);
    rs.i64PendingAlloc = kept;
}

void rollUpFirstLevel(char *path) {
    if (!rs.condensed) {
        printDirLine(path);
        return;
    }
    if (rs.rollUpFirst) {
        if (rs.rollUpFlush) {
            rs.rollUpFlush = false;
            return;
        }
        copyPath(rs.pendingPath, path);
        copyPath(rs.pendingPrintPath, path);
        rs.i64PendingAlloc = rs.i64DirAlloc;
        rs.i64DirAlloc = 0;
        rs.rollUpFirst = false;
        return;
    }
    if (rs.rollUpFlush) {
        printPending();
        rs.rollUpFirst = true;
        rs.rollUpFlush = false;
        return;
    }
    if (std::strncmp(rs.pendingPath, path, (size_t)prefixLength(path)) == 0) {
        rs.i64PendingAlloc = addSaturating(rs.i64PendingAlloc, rs.i64DirAlloc);
        rs.i64DirAlloc = 0;
        return;
    }
    copyPath(rs.pendingPath, path);
    printPending();
    copyPath(rs.pendingPrintPath, rs.pendingPath);
}
