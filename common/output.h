// The two sinks of the program's text: the console stream (standard output,
// which also carries the single-path report) and the report file of an
// all-drives run. Text from outside (paths, names, settings values) is always
// written with the plain-text calls, never used as a format.
#pragma once

#include <cstdarg>

// Lets the compiler check the arguments of the formatted writes.
#if defined(__GNUC__)
#define FOLMAR_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define FOLMAR_PRINTF_FORMAT
#endif

// Console stream rs.con.
void conText(const char *text);
void conChar(char c);
void conFormat(const char *format, ...) FOLMAR_PRINTF_FORMAT;
// Report file rs.outFile; a failed write sets rs.outFileWriteFailed. Nothing
// is written when the file is not open.
void fileText(const char *text);
void fileFormat(const char *format, ...) FOLMAR_PRINTF_FORMAT;
