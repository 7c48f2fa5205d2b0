// What the files of the directory scan call of one another: the walk hands
// each directory's line to the roll-up and notes what it could not read;
// the roll-up hands its lines to the layout and their bytes to the drive's
// total. Nothing outside scan/ uses them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// ---- rollup.cpp ----
// The directory `path` (ending in '\'), whose own files hold `bytes`: with
// /C off its line is printed at once; with /C on its bytes join the
// pending first-level line, or it becomes the pending line after that one
// is printed. Every printed line's bytes then go to the drive's total.
void rollUpFirstLevel(const char *path, uint64_t bytes);

// ---- totals.cpp ----
// a + b, held at the largest value instead of wrapping: a total past 2^64 - 1
// must never show a small, plausible figure.
uint64_t addSaturating(uint64_t a, uint64_t b);
// Adds `bytes`, the figure of the line just printed for `path`, to the drive
// total and checks that the total never went down since the previous line
// (else the message with the path as the line showed it, a wait, and
// rs.runAborted).
void addDirToTotal(const char *path, uint64_t bytes);

// ---- notread.cpp ----
// The directory shown as the first `length` bytes of `path` followed by
// `name` (when not null) could not be read, for the reason `errorCode` (a
// Windows error code): counted in rs.notReadCount and, under /E, kept for
// the list at the end of the run.
void noteNotRead(uint32_t errorCode, const char *path, size_t length, const char *name);
// The directory shown as the first `length` bytes of `path` followed by
// `name` was left out by `pattern`: counted in rs.excludedCount and, under
// /E, kept for the same list.
void noteExcluded(const char *path, size_t length, const char *name, const char *pattern);

// ---- links.cpp ----
// Files with several names that hardLinks=Once keeps apart at once.
inline constexpr uint32_t linkedFilesHeld = 200000;
// Under hardLinks=Once: whether `file` counts here, at the first of its
// names the run meets. False for another name of a file met before (its
// last name met, it is forgotten). A file with several names that finds no
// room counts, and is added to rs.linksUnchecked.
bool firstNameOf(const FindData &file);
// The names of the file `file` of the directory whose path (its final
// backslash included) is the first `dirLength` bytes of `dirPath`, asked
// of the system when its find record did not bring them.
void learnLinks(const char *dirPath, size_t dirLength, FindData *file);
