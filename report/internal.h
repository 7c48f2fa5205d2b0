// What the files of the report layout call of one another and nothing
// outside report/ does: a figure as a grouped field, the dot leader, the
// guard that keeps control characters out of report text, the pieces of
// the report's two sinks, the export's writer, and how many lines each
// block is counted as on a page of the report file.
#pragma once

#include <cstddef>
#include <cstdint>

// `value` as a grouped field of `width` characters in the shared field
// buffer (valid until the next formatGrouped call).
char *groupedField(uint64_t value, int width);
// Turns the leading blanks of a field into dots, keeping one blank before
// the number.
void dotFillNumber(char *field);

// A lone byte (a drive letter) as it is shown: itself, or '?' when it is a
// control character or no character on its own (a byte of a UTF-8 sequence).
inline char printableChar(char c) {
    unsigned char u = (unsigned char)c;
    return (u < 0x20 || u >= 0x7F) ? '?' : c;
}

// ---- page bookkeeping (headers.cpp, blocks.cpp, sinks.cpp) ----
// Lines each block is counted as in rs.lineCount (a block's empty lines
// are not all counted).
inline constexpr uint32_t titleBlockLines = 8;     // a drive's first page: title and date
inline constexpr uint32_t columnHeaderLines = 2;   // every page's column header
inline constexpr uint32_t driveTotalsLines = 8;    // a drive's totals block
// Lines a totals block must find left on a page of a report without
// directory lines (which has no page headers), or it begins a new sheet.
inline constexpr uint32_t driveTotalsRoom = 7;
// Console directory lines between two /P pauses.
inline constexpr uint32_t screenPageLines = 23;

// ---- dirline.cpp ----
// The line(s) of the first `length` bytes of `path` (without the blanks
// that end it) with the size `bytes`, in the directory-line layout, each
// handed to `writeLine`. The path is only read.
void printSizedLine(const char *path, size_t length, uint64_t bytes, void (*writeLine)(const char *line));

// ---- largest.cpp ----
// The "Largest files" block of the drive: its title, a line for each file
// kept, largest first (of equal sizes, the first met), and an empty line,
// each handed to `writeLine`. Changes nothing kept.
void writeLargestFiles(void (*writeLine)(const char *line));

// ---- headers.cpp ----
// The column header of a single-path report on standard output; the
// console listing begins (no line counted for the /P pause yet).
void printStdoutHeader();
// One finished line into the report file, with the page test.
void writeReportLine(const char *line);
// One line of a block after the totals into the report file: the next
// page header (without directory lines, a form feed) first when the page
// is full, so that no header stands alone at the end of a drive.
void writeBlockLine(const char *line);
// Counts a console directory line and pauses under /P every 23 lines.
void screenPause();

// ---- blocks.cpp ----
// The totals block of a single-path run, on the console.
void writeConsoleTotals();
// The totals block of a drive in an all-drives run, in the report file: adds
// driveTotalsLines to rs.lineCount.
void writeFileTotals();

// ---- export.cpp ----
// Bytes at the end of the export, gathered in a fixed buffer and written a
// buffer at a time; a write that fails is remembered. Nothing without an
// export open.
void exportBytes(const char *bytes, size_t length);
void exportText(const char *text);
// `value` in plain decimal digits.
void exportNumber(uint64_t value);
