// The directories a run could not read, and those its patterns left out:
// counted over the whole run and, under /E, kept as the lines of the list
// written to standard error at its end (without /E the run's end says how
// many could not be read). The lines wait in a fixed
// buffer that spills into a scratch file when it is full, so memory stays
// the same however many there are. Only what was written whole is read
// back: when the scratch file cannot be had or written (a full disk, a
// file size limit), the list keeps the lines it holds, each whole and
// once, and the directories after them are only counted
// (rs.notListedCount), so that its end can say so.
#include <cstdio>
#include <cstring>

#include "common/output.h"
#include "common/runstate.h"
#include "common/text.h"
#include "scan/internal.h"
#include "scan/scan.h"

static char kept[16384];        // lines not yet spilled, NUL after them
static size_t keptUsed = 0;
static FILE *spill = nullptr;   // lines of this run that left the buffer, written unbuffered
static uint64_t spilled = 0;    // bytes of the list the scratch file holds, each one written
static bool listFull = false;   // a line could not be kept: the later ones are only counted

// Writes the first `spilled` bytes of the scratch file to standard error, a
// piece at a time, each ending at a character's end (standard error may
// take characters rather than bytes), and closes it.
static void printSpill() {
    if (spill == nullptr) return;
    char piece[4096];
    size_t got;
    std::rewind(spill);
    for (uint64_t left = spilled; left > 0; left -= got) {
        size_t want = left < sizeof piece - 1 ? (size_t)left : sizeof piece - 1;
        got = std::fread(piece, 1, want, spill);
        if (got == 0) break;
        size_t whole = got;
        if (got < left) {
            while (whole > 1 && ((unsigned char)piece[whole - 1] & 0xC0) == 0x80) --whole;
            if (whole > 1 && (unsigned char)piece[whole - 1] >= 0xC0) --whole;
            std::fseek(spill, -(long)(got - whole), SEEK_CUR);
        }
        piece[whole] = '\0';
        errText(piece);
        got = whole;
    }
    std::fclose(spill);
    spill = nullptr;
}

static void printKept() {
    kept[keptUsed] = '\0';
    errText(kept);
    keptUsed = 0;
}

// Empties the buffer into the scratch file; false (and the list full from
// then on) when none can be had or it cannot take the whole buffer.
static bool makeRoom() {
    if (spill == nullptr && !listFull) {
        spill = openTemporaryFile();
        if (spill != nullptr) std::setvbuf(spill, nullptr, _IONBF, 0);  // a write that fails says so at once
    }
    if (!listFull && spill != nullptr && std::fwrite(kept, 1, keptUsed, spill) == keptUsed) {
        spilled += keptUsed;
        keptUsed = 0;
        return true;
    }
    listFull = true;
    return false;
}

// Keeps the first `length` bytes of `text` in their display form: each
// control character and invalid byte a '?' (unless `literal`: the system's
// own text). False when the list has no more room.
static bool keep(const char *text, size_t length, bool literal = false) {
    for (size_t at = 0; at < length;) {
        uint32_t code;
        int bytes = literal ? 1 : displayChar(text + at, &code);
        if (literal) code = (unsigned char)text[at];
        if (keptUsed + 4 >= sizeof kept && !makeRoom()) return false;
        if (code == '?') {
            kept[keptUsed++] = '?';
        } else {
            std::memcpy(kept + keptUsed, text + at, (size_t)bytes);
            keptUsed += (size_t)bytes;
        }
        at += (size_t)bytes;
    }
    return true;
}

static bool keepText(const char *text) { return keep(text, std::strlen(text), true); }

// The reason shown for a Windows error code.
static const char *reasonOf(uint32_t errorCode) {
    switch (errorCode) {
    case errorPathNotFound: return "not found";
    case errorAccessDenied: return "access denied";
    case errorFilenameExcedRange: return "path too long for this system";
    case errorCantResolveFilename: return "loop";
    case errorInvalidName: return "name this system cannot hold";
    default: return nullptr;
    }
}

// Keeps the line of one directory; false when it did not fit whole.
static bool keepLine(uint32_t errorCode, const char *path, size_t length, const char *name) {
    const char *reason = reasonOf(errorCode);
    char code[32];
    std::snprintf(code, sizeof code, "error code %lu", (unsigned long)errorCode);
    return keepText("Folmar==>  Unable to read ") && keep(path, length) &&
           (name == nullptr || keep(name, std::strlen(name))) && keepText(" (") &&
           keepText(reason != nullptr ? reason : code) && keepText(") \n");
}

void forgetNotRead() {
    keptUsed = 0;
    if (spill != nullptr) std::fclose(spill);
    spill = nullptr;
    spilled = 0;
    listFull = false;
}

// Takes back the part of a line that did not fit whole, which began at
// `lineStart` bytes into the list.
static void takeBack(uint64_t lineStart) {
    if (lineStart >= spilled) {
        keptUsed = (size_t)(lineStart - spilled);
    } else {
        spilled = lineStart;
        keptUsed = 0;
    }
}

void noteNotRead(uint32_t errorCode, const char *path, size_t length, const char *name) {
    rs.notReadCount += 1;
    if (!rs.listNotRead) return;
    uint64_t lineStart = spilled + keptUsed;
    if (!listFull && keepLine(errorCode, path, length, name)) return;
    ++rs.notListedCount;
    takeBack(lineStart);
}

void noteExcluded(const char *path, size_t length, const char *name, const char *pattern) {
    rs.excludedCount += 1;
    if (!rs.listNotRead) return;
    uint64_t lineStart = spilled + keptUsed;
    if (!listFull && keepText("Folmar==>  Excluded ") && keep(path, length) && keep(name, std::strlen(name)) &&
        keepText(" (") && keep(pattern, std::strlen(pattern)) && keepText(") \n"))
        return;
    takeBack(lineStart);  // the excluded count line still says how many
}

void printNotRead() {
    if (rs.notReadCount + rs.excludedCount == 0) return;
    printSpill();
    printKept();
}
