// Plain and formatted writes to the console stream and the report file.
#include "common/output.h"

#include <cstdio>

#include "common/runstate.h"

void conText(const char *text) { std::fputs(text, rs.con); }

void conChar(char c) { std::fputc(c, rs.con); }

void conFormat(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(rs.con, format, args);
    va_end(args);
}

void fileText(const char *text) {
    if (rs.outFile == nullptr) return;
    if (std::fputs(text, rs.outFile) < 0) rs.outFileWriteFailed = true;
}

void fileFormat(const char *format, ...) {
    if (rs.outFile == nullptr) return;
    va_list args;
    va_start(args, format);
    if (std::vfprintf(rs.outFile, format, args) < 0) rs.outFileWriteFailed = true;
    va_end(args);
}
