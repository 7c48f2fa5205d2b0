// The progress display on standard error: when it is due, how it reads,
// and its erasure. Drawn and erased with a carriage return and blanks, which
// every terminal and console understands; the line stays one column short
// of the terminal's width, so that it never wraps.
#include "common/progress.h"

#include <cstdio>
#include <cstring>

#include "common/runstate.h"
#include "common/text.h"

static const uint64_t firstAfterMs = 1000;  // the run has lasted a second
static const uint64_t everyMs = 250;        // then at most four times a second
static const int widestShown = 160;         // columns, whatever the terminal's width

static bool on = false;             // standard error is a terminal
static uint64_t nextLook = 0;       // clock reading at which the display is due
static bool consoleBusy = false;    // standard output (a terminal) written since the last look
static int shownColumns = 0;        // of the display on the screen; 0: none
static char line[2048];              // the display, as written

void progressStart() {
    on = stderrTerminalColumns() > 0;
    nextLook = on ? monotonicMilliseconds() + firstAfterMs : 0;
    consoleBusy = false;
    shownColumns = 0;
}

// `value` with a comma between each group of three digits, into `out`.
static void grouped(uint64_t value, char *out) {
    char digits[21];
    int count = std::snprintf(digits, sizeof digits, "%llu", (unsigned long long)value);
    for (int i = 0; i < count; ++i) {
        *out++ = digits[i];
        if ((count - 1 - i) % 3 == 0 && i + 1 < count) *out++ = ',';
    }
    *out = '\0';
}

// Appends the display form of the end of `path` that fits `room` columns
// (its start cut off and shown as "..." when it does not) to `line` at
// `used`, leaving room for the blanks of the longest display; returns the
// new length and adds the columns to *columns.
static size_t appendPathTail(const char *path, int room, size_t used, int *columns) {
    int total = 0;
    uint32_t code;
    for (const char *c = path; *c != '\0'; c += displayChar(c, &code)) total += charColumns(code);
    if (total > room) {
        std::memcpy(line + used, "...", 3);
        used += 3;
        *columns += 3;
        room -= 3;
        while (total > room) {
            path += displayChar(path, &code);
            total -= charColumns(code);
        }
    }
    for (int bytes; *path != '\0'; path += bytes) {
        bytes = displayChar(path, &code);
        if (used + (size_t)bytes + widestShown + 2 >= sizeof line) break;
        if (code == '?') {
            line[used++] = '?';
        } else {
            std::memcpy(line + used, path, (size_t)bytes);
            used += (size_t)bytes;
        }
        *columns += charColumns(code);
    }
    return used;
}

// Draws the display over the previous one: the counts of the drive so far
// and the directory in rs.curPath.
static void draw() {
    int width = stderrTerminalColumns() - 1;
    if (width > widestShown) width = widestShown;
    if (width < 40) return;
    // What the terminal's standard output holds shows first. (The flush of
    // output.cpp, which calls this file, is not called back.)
    if (!rs.stdoutRedirected && std::fflush(rs.con) != 0) rs.stdoutFailed = true;
    char dirs[32], files[32];
    grouped(rs.dirCount, dirs);
    grouped(rs.fileCount, files);
    int columns = std::snprintf(line, sizeof line, "\rFolmar==>  %s dirs, %s files: ", dirs, files) - 1;
    size_t used = (size_t)columns + 1;
    if (columns + 8 <= width) used = appendPathTail(rs.curPath, width - columns, used, &columns);
    for (int blank = columns; blank < shownColumns; ++blank) line[used++] = ' ';
    line[used] = '\0';
    writeText(rs.err, line);
    shownColumns = columns;
}

void progressTick() {
    if (!on) return;
    uint64_t now = monotonicMilliseconds();
    if (now < nextLook) return;
    nextLook = now + everyMs;
    if (consoleBusy)
        consoleBusy = false;
    else
        draw();
}

void progressErase() {
    if (shownColumns == 0) return;
    line[0] = '\r';
    std::memset(line + 1, ' ', (size_t)shownColumns);
    line[shownColumns + 1] = '\r';
    line[shownColumns + 2] = '\0';
    writeText(rs.err, line);
    shownColumns = 0;
}

void progressConsoleWritten() {
    consoleBusy = true;
    progressErase();
}
