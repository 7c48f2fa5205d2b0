// Plain, clean and formatted writes to the console stream and the report
// file. Every write goes through the platform's writeText, which gives each
// sink the encoding its reader expects; a write that fails is remembered in
// RunState so that the run is never called complete after it.
#include "common/output.h"

#include <cstdio>
#include <cstring>

#include "common/progress.h"
#include "common/runstate.h"
#include "common/text.h"

namespace {

// A formatted text: the longest is a message with a path of 259 characters.
char formatted[2048];

// A standard output that is a terminal first loses the progress display.
void conWrite(const char *text) {
    if (!rs.stdoutRedirected) progressConsoleWritten();
    if (!writeText(rs.con, text)) rs.stdoutFailed = true;
}

void fileWrite(const char *text) {
    if (rs.outFile == nullptr) return;
    if (!writeText(rs.outFile, text)) rs.outFileWriteFailed = true;
}

// Writes the display form of the first `length` bytes of `text` to the
// console, a piece at a time.
void writeClean(const char *text, size_t length) {
    char piece[256];
    size_t used = 0;
    const char *end = text + length;
    while (text < end) {
        uint32_t code;
        int bytes = displayChar(text, &code);
        if (code == '?') {
            piece[used++] = '?';
        } else {
            std::memcpy(piece + used, text, (size_t)bytes);
            used += (size_t)bytes;
        }
        text += bytes;
        if (used > sizeof piece - 8 || text >= end) {
            piece[used] = '\0';
            conWrite(piece);
            used = 0;
        }
    }
}

}  // namespace

void conText(const char *text) { conWrite(text); }

void conChar(char c) {
    char text[2] = {c, '\0'};
    conWrite(text);
}

void conFormat(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(formatted, sizeof formatted, format, args);
    va_end(args);
    conWrite(formatted);
}

void conClean(const char *text) { writeClean(text, std::strlen(text)); }

void conCleanBytes(const char *text, size_t length) { writeClean(text, length); }

void conFlush() {
    if (std::fflush(rs.con) != 0) rs.stdoutFailed = true;
}

void fileText(const char *text) { fileWrite(text); }

void fileFormat(const char *format, ...) {
    if (rs.outFile == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(formatted, sizeof formatted, format, args);
    va_end(args);
    fileWrite(formatted);
}

void errText(const char *text) {
    progressErase();
    writeText(rs.err, text);
}
