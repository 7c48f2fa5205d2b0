// The sinks of the program's text: the console stream (standard output,
// which also carries the single-path report), the report file of an
// all-drives run, and standard error for the directories that could not be
// read and the failure of standard output itself. Text from outside (paths, names, settings values) is written with
// the clean calls, which show each control character and each invalid byte
// as '?', and is never used as a format.
#pragma once

#include <cstdarg>
#include <cstddef>

// Lets the compiler check the arguments of the formatted writes.
#if defined(__GNUC__)
#define FOLMAR_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define FOLMAR_PRINTF_FORMAT
#endif

// Console stream rs.con; a failed write sets rs.stdoutFailed.
void conText(const char *text);
void conChar(char c);
void conFormat(const char *format, ...) FOLMAR_PRINTF_FORMAT;
void conClean(const char *text);
// The first `length` bytes of `text`, written as conClean writes them.
void conCleanBytes(const char *text, size_t length);
// Flushes rs.con (before a wait or a read); a failure sets rs.stdoutFailed.
void conFlush();
// Report file rs.outFile; a failed write sets rs.outFileWriteFailed. Nothing
// is written when the file is not open.
void fileText(const char *text);
void fileFormat(const char *format, ...) FOLMAR_PRINTF_FORMAT;
// Standard error rs.err (the progress display erased first); text that
// comes from outside is already in its display form.
void errText(const char *text);
