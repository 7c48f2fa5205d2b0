// The directories a run could not read, and those its patterns left out:
// counted over the whole run and, under /E, kept as the lines of the list
// written to standard error at its end (without /E the run's end says how
// many could not be read). The lines wait in a fixed
// buffer that spills into a scratch file when it is full, so memory stays
// the same however many there are; when no scratch file can be had, a full
// buffer goes to standard error at once, so that no line is ever lost.
#include <cstdio>
#include <cstring>

#include "common/output.h"
#include "common/runstate.h"
#include "common/text.h"
#include "scan/internal.h"
#include "scan/scan.h"

static char kept[16384];        // lines not yet spilled, NUL after them
static size_t keptUsed = 0;
static FILE *spill = nullptr;   // lines of this run that left the buffer
static bool spillFailed = false;

// Writes what the scratch file holds to standard error, a piece at a time,
// each ending at a character's end (standard error may take characters
// rather than bytes), and closes it.
static void printSpill() {
    if (spill == nullptr) return;
    char piece[4096];
    size_t got;
    std::rewind(spill);
    while ((got = std::fread(piece, 1, sizeof piece - 1, spill)) > 0) {
        size_t whole = got;
        if (got == sizeof piece - 1) {
            while (whole > 1 && ((unsigned char)piece[whole - 1] & 0xC0) == 0x80) --whole;
            if (whole > 1 && (unsigned char)piece[whole - 1] >= 0xC0) --whole;
            std::fseek(spill, -(long)(got - whole), SEEK_CUR);
        }
        piece[whole] = '\0';
        errText(piece);
    }
    std::fclose(spill);
    spill = nullptr;
}

static void printKept() {
    kept[keptUsed] = '\0';
    errText(kept);
    keptUsed = 0;
}

// Empties the buffer: into the scratch file, or when none can be had or
// written, to standard error after what the file already holds.
static void makeRoom() {
    if (spill == nullptr && !spillFailed) spill = openTemporaryFile();
    if (spill != nullptr && std::fwrite(kept, 1, keptUsed, spill) == keptUsed) {
        keptUsed = 0;
        return;
    }
    spillFailed = true;
    if (spill != nullptr) {
        std::fflush(spill);
        printSpill();
    }
    printKept();
}

// Keeps the first `length` bytes of `text` in their display form: each
// control character and invalid byte a '?' (unless `literal`: the system's
// own text).
static void keep(const char *text, size_t length, bool literal = false) {
    for (size_t at = 0; at < length;) {
        uint32_t code;
        int bytes = literal ? 1 : displayChar(text + at, &code);
        if (literal) code = (unsigned char)text[at];
        if (keptUsed + 4 >= sizeof kept) makeRoom();
        if (code == '?') {
            kept[keptUsed++] = '?';
        } else {
            std::memcpy(kept + keptUsed, text + at, (size_t)bytes);
            keptUsed += (size_t)bytes;
        }
        at += (size_t)bytes;
    }
}

static void keepText(const char *text) { keep(text, std::strlen(text), true); }

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

// Called before the first line of a run is counted: nothing of an earlier
// run is kept.
static void startList() {
    if (rs.notReadCount + rs.excludedCount != 0) return;
    keptUsed = 0;
    if (spill != nullptr) std::fclose(spill);
    spill = nullptr;
    spillFailed = false;
}

void noteNotRead(uint32_t errorCode, const char *path, size_t length, const char *name) {
    startList();
    rs.notReadCount += 1;
    if (!rs.listNotRead) return;
    keepText("Folmar==>  Unable to read ");
    keep(path, length);
    if (name != nullptr) keep(name, std::strlen(name));
    const char *reason = reasonOf(errorCode);
    char code[32];
    std::snprintf(code, sizeof code, "error code %lu", (unsigned long)errorCode);
    keepText(" (");
    keepText(reason != nullptr ? reason : code);
    keepText(") \n");
}

void noteExcluded(const char *path, size_t length, const char *name, const char *pattern) {
    startList();
    rs.excludedCount += 1;
    if (!rs.listNotRead) return;
    keepText("Folmar==>  Excluded ");
    keep(path, length);
    keep(name, std::strlen(name));
    keepText(" (");
    keep(pattern, std::strlen(pattern));
    keepText(") \n");
}

void printNotRead() {
    if (rs.notReadCount + rs.excludedCount == 0) return;
    if (spill != nullptr) std::fflush(spill);
    printSpill();
    printKept();
}
