// The directory walk (walk.cpp), every counter and byte total (totals.cpp),
// the condensed first-level roll-up (rollup.cpp) and the list of the
// directories not read (notread.cpp).
//
// Walk order of processDirs for one directory D: the file pass lists and
// counts D's files, then D's line is handed to the roll-up (and so to
// printDirLine), then each subdirectory of D is walked in enumeration order.
// A directory's line therefore follows the names of its own files and
// precedes every line of its subtree. Names beginning with '.' are never
// entered; a directory that cannot be enumerated gets no line, nor does one
// whose path would pass walkPathChars, nor a reparse point that is the same
// directory as one above it in the branch: each of these is counted and
// noted as not read (notread.cpp). The walk tells each of these steps to the
// sinks of the run (common/sink.h); the report's sinks list the names, hand
// the line to the roll-up and note what was not read.
//
// The one call back up: printDirLine ends every directory line by handing
// its bytes to addDirToTotal.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- walk.cpp ----
// Walks rs.curPath (with or without its final backslash). Leaves rs.curPath
// holding the last directory entered, with its final backslash.
void processDirs();
// The file pass over `lsPath` ("...\*.*"): counts files into rs.fileCount,
// adds their sizes to rs.i64DirAlloc and hands each file to the sinks (the
// report lists its name when rs.showFiles asks).
void processFiles(const char *lsPath);
// The walk stops early, and the run ends with exit code 1: the machine ran
// out of memory or open files, a drive's total went down (rs.runAborted), or
// standard output can no longer be written (rs.stdoutFailed).
bool walkStopped();

// ---- notread.cpp ----
// The directory shown as the first `length` bytes of `path` followed by
// `name` (when not null) could not be read, for the reason `errorCode` (a
// Windows error code): counted in rs.notReadCount and, under /E, kept for
// the list at the end of the run.
void noteNotRead(uint32_t errorCode, const char *path, size_t length, const char *name);
// Under /E, the kept list on standard error, one directory a line with its
// reason; without it, when any directory could not be read, one line that
// says how many and that /E lists them. Changes no counter.
void printNotRead();

// ---- totals.cpp ----
// a + b, held at the largest value instead of wrapping: a total past 2^64 - 1
// must never show a small, plausible figure.
uint64_t addSaturating(uint64_t a, uint64_t b);
// Adds rs.i64DirAlloc to the drive total and checks that the total never
// decreases (else the message, a wait, and rs.runAborted). `path` is used in
// the message.
void addDirToTotal(const char *path);
// Adds the drive's figures into the grand totals and zeroes them; reads the
// clock again.
void foldDriveTotals();

// ---- rollup.cpp ----
// The roll-up between the walk and printDirLine. `path` ends in '\' and may
// be changed (it is handed to printDirLine when nothing is condensed).
void rollUpFirstLevel(char *path);
// The number of leading characters of `path` that name its first-level
// subtree: up to and including the second backslash, else 3.
int prefixLength(const char *path);
