// Report layout: number fields, directory lines with their wrapping, page
// headers and pagination, the totals blocks, the report's two sinks, and
// the export of the walk with its formats: what the scan and the run
// control call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/sink.h"
#include "platform/platform.h"

// Plain unsigned decimal digits of `value` into `digits` (21 bytes).
void u64Digits(uint64_t value, char *digits);
// `digits` as a comma-grouped field of exactly `width` characters, blank
// filled on the left, in the one shared field buffer (valid until the next
// call). Too wide for the field: plain digits if they fit, else all '*'.
// The text is any text of digits; a '-' in it starts a group of its own
// (-1234567 gives -1,234,567).
char *formatGrouped(const char *digits, int width);

// The line(s) of the directory `path` (ending in '\'): path column, dot
// leader and the size `bytes`, written to the report's sink. The path is
// only read.
void printDirLine(const char *path, uint64_t bytes);

// The largest files of the drive's walk (rs.largestFiles of them): the
// file `file` of `size` bytes, of the directory whose path (its final
// backslash included) is the first `dirLength` bytes of `dirPath`, is kept
// when it is among the largest so far (of equal sizes, the first met).
void noteLargestFile(const char *dirPath, size_t dirLength, const FindData &file, uint64_t size);
// Forgets them: the next drive's walk starts with none. Called by the
// fold of a drive's totals and by resetRunState.
void forgetLargestFiles();

// Page header of the report file (title block on a drive's first page,
// form feed on later pages, then the column header).
void writePageHeader();
// Lines the grand totals are counted as: with fewer left on the page, the
// all-drives run starts a new page for them.
inline constexpr uint32_t grandTotalsLines = 8;
// "Grand Totals for the system" block of an all-drives run, in the report
// file, in 16-wide fields. Changes no counter.
void printGrandTotals();

// ---- sinks (sinks.cpp, json.cpp, csv.cpp) ----
// The report on the console (single-path run) and in the report file
// (all-drives run); the export in ncdu's JSON format and as CSV.
extern const Sink consoleSink, reportFileSink;
extern const Sink jsonSink, csvSink;
// The JSON export has no directory open. Called as its run starts and by
// resetRunState.
void forgetJsonExport();

// ---- the export file (export.cpp) ----
// Opens a new file that takes the place of `path` once it is complete;
// false when none can be made.
bool openExport(const char *path);
// Writes what is gathered and puts the new file in place of the old; false
// when the export could not be written completely (the old file stays).
bool finishExport();
// Removes the new file, if one is open (the old file stays), and forgets
// what was gathered for it and whether a write failed. Called as every run
// ends and by resetRunState.
void abandonExport();
