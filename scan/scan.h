// The directory walk (walk.cpp), every counter and byte total (totals.cpp),
// the condensed first-level roll-up (rollup.cpp) and the list of the
// directories not read (notread.cpp): what the run control calls.
//
// Walk order of processDirs for one directory D: the file pass lists and
// counts D's files, then D's line is handed to the roll-up (and so to
// printDirLine, after which its bytes join the drive's total), then each
// subdirectory of D is walked in enumeration order. A directory's line
// therefore follows the names of its own files and precedes every line of
// its subtree. The "." and ".." entries are never entered (a name that only
// begins with '.' is a directory like any other); a directory that
// cannot be enumerated gets no line, nor does one whose path would pass
// walkPathChars, nor a reparse point that is the same directory as one above
// it in the branch: each of these is counted and noted as not read
// (notread.cpp). A subdirectory an exclusion pattern leaves out
// (common/exclude.h) is neither entered nor counted, only noted. The walk
// tells each of these steps to the sinks of the run
// (common/sink.h): the report's sink lists the file names, the export's
// sink writes the whole walk.
#pragma once

// ---- walk.cpp ----
// Walks rs.curPath (with or without its final backslash). Leaves rs.curPath
// holding the last directory entered, with its final backslash.
void processDirs();
// The walk stops early, and the run ends with exit code 1: the machine ran
// out of memory or open files, a drive's total went down (rs.runAborted), or
// standard output can no longer be written (rs.stdoutFailed).
bool walkStopped();
// Tells the platform, before the first walk, which directories the
// patterns leave out, so that it never reads one ahead of the walk. Called
// by resetRunState too: with no pattern, none.
void useExclusions();

// ---- rollup.cpp ----
// The end of a drive's walk under /C: the pending first-level line is
// printed with its subtree's bytes, and the next walk starts afresh.
void flushRollUp();

// ---- totals.cpp ----
// Adds `count` directories to the drive's count (rs.dirCount, which only
// this and the fold write).
void countDirectories(uint32_t count);
// Adds the drive's figures into the grand totals and zeroes them.
void foldDriveTotals();

// ---- links.cpp ----
// The run starts with no file with several names met. Called by
// resetRunState.
void forgetLinkedFiles();

// ---- notread.cpp ----
// The run starts with no directory listed as not read, and the scratch
// file of an earlier run's list closed. Called by resetRunState.
void forgetNotRead();
// Under /E, the kept list on standard error, one directory a line with its
// reason (or the pattern that left it out; rs.notListedCount more had no
// room in it). Changes no counter.
void printNotRead();
