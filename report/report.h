// Report layout: number fields, directory lines with their wrapping, page
// headers and pagination, the totals blocks, the report's two sinks, and
// the export of the walk with its formats.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/sink.h"

// Plain unsigned decimal digits of `value` into `digits` (21 bytes).
void u64Digits(uint64_t value, char *digits);
// `digits` as a comma-grouped field of exactly `width` characters, blank
// filled on the left, in the one shared field buffer (valid until the next
// call). Too wide for the field: plain digits if they fit, else all '*'.
char *formatGrouped(const char *digits, int width);
// Turns the leading blanks of a field into dots, keeping one blank before
// the number.
void dotFillNumber(char *field);

// The line(s) of one directory: path column, dot leader, size of
// rs.i64DirAlloc; ends with addDirToTotal. Changes `path` (its final
// backslash becomes a blank when it is longer than 4 characters).
void printDirLine(char *path);

// Page header of the report file (title block on a drive's first page,
// form feed on later pages, then the column header).
void writePageHeader();
// The column header of a single-path report on standard output.
void printStdoutHeader();
// One finished line into the report file, with the page test.
void writeReportLine(const char *line);
// Counts a console directory line and pauses under /P every 23 lines.
void screenPause();
// rs.runDate into rs.dateTimeText.
void formatDateTime();

// The totals block of a single-path run, on the console; counts the target
// directory itself into rs.dirCount.
void writeConsoleTotals();
// The totals block of a drive in an all-drives run, in the report file: adds
// 8 to rs.lineCount and ends with a form feed unless rs.showDirs is 'N'.
void writeFileTotals();
// "Grand Totals for the system" block of an all-drives run, in the report
// file, in 16-wide fields. Changes no counter.
void printGrandTotals();

// ---- sinks (sinks.cpp, json.cpp, csv.cpp) ----
// The report on the console (single-path run) and in the report file
// (all-drives run); the export in ncdu's JSON format and as CSV.
extern const Sink consoleSink, reportFileSink;
extern const Sink jsonSink, csvSink;

// ---- the export file (export.cpp) ----
// Opens a new file that takes the place of `path` once it is complete;
// false when none can be made.
bool openExport(const char *path);
// Bytes at the end of the export, gathered in a fixed buffer and written a
// buffer at a time; a write that fails is remembered. Nothing without an
// export open.
void exportBytes(const char *bytes, size_t length);
void exportText(const char *text);
// `value` in plain decimal digits.
void exportNumber(uint64_t value);
// Writes what is gathered and puts the new file in place of the old; false
// when the export could not be written completely (the old file stays).
bool finishExport();
// Removes the new file, if one is open; the old file stays.
void abandonExport();
