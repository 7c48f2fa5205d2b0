// The export file: a new file beside the one it replaces, written byte for
// byte through one fixed buffer as the walk goes (so memory stays the same
// however large the tree), and put in place of the old one only when it is
// complete. A write that fails is remembered, so that an export on a full
// disk is never taken for a complete one.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "report/internal.h"
#include "report/report.h"

static FILE *exportStream = nullptr;  // the new file, until it is in place or removed
static bool exportFailed = false;     // a write to it failed
static char gathered[1 << 16];        // bytes not yet written
static size_t gatheredUsed = 0;

// Writes the gathered bytes to the new file.
static void writeGathered() {
    if (gatheredUsed > 0 && exportStream != nullptr &&
        std::fwrite(gathered, 1, gatheredUsed, exportStream) != gatheredUsed)
        exportFailed = true;
    gatheredUsed = 0;
}

bool openExport(const char *path) {
    exportStream = createReplacement(path, true);
    exportFailed = false;
    gatheredUsed = 0;
    return exportStream != nullptr;
}

void exportBytes(const char *bytes, size_t length) {
    if (exportStream == nullptr) return;
    if (length > sizeof gathered - gatheredUsed) writeGathered();
    if (length > sizeof gathered) {
        if (std::fwrite(bytes, 1, length, exportStream) != length) exportFailed = true;
        return;
    }
    std::memcpy(gathered + gatheredUsed, bytes, length);
    gatheredUsed += length;
}

void exportText(const char *text) { exportBytes(text, std::strlen(text)); }

void exportNumber(uint64_t value) {
    char digits[21];
    u64Digits(value, digits);
    exportText(digits);
}

bool finishExport() {
    writeGathered();
    bool written = !exportFailed && exportStream != nullptr && commitReplacement(exportStream);
    if (exportFailed) abandonReplacement(exportStream);
    exportStream = nullptr;
    return written;
}

void abandonExport() {
    if (exportStream != nullptr) abandonReplacement(exportStream);
    exportStream = nullptr;
    exportFailed = false;
    gatheredUsed = 0;
}
