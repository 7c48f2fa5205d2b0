// The export in ncdu's JSON format, which ncdu -f and gdu -f import:
// [1, 2, {metadata}, root], every directory an array of its information
// object, then an object per file and an array per subdirectory, written as
// the walk goes. In an all-drives run the root is a folder of the drives.
#include <cstring>

#include "common/runstate.h"
#include "common/version.h"
#include "report/internal.h"
#include "report/report.h"

static bool infoOpen = false;  // the latest directory's object awaits its end
static int openDirs = 0;       // directory arrays open in this drive's walk

// `length` bytes of `text` as a JSON string: '"', '\' and control
// characters escaped, every other byte as it is (a name that is no valid
// UTF-8 keeps its bytes, as ncdu writes such a name itself).
static void writeString(const char *text, size_t length) {
    static const char hex[] = "0123456789abcdef";
    exportText("\"");
    size_t plain = 0;
    for (size_t at = 0; at < length; ++at) {
        unsigned char c = (unsigned char)text[at];
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        exportBytes(text + plain, at - plain);
        char escaped[7] = {'\\', (char)c, 0};
        if (c < 0x20) {
            const char code[6] = {'u', '0', '0', hex[c >> 4], hex[c & 15], 0};
            std::memcpy(escaped + 1, code, sizeof code);
        }
        exportText(escaped);
        plain = at + 1;
    }
    exportBytes(text + plain, length - plain);
    exportText("\"");
}

// Ends the information object of the directory entered last, if it is
// still open, with "read_error" when its files could not be listed.
static void endInfo(bool readError) {
    if (!infoOpen) return;
    exportText(readError ? ",\"read_error\":true}" : "}");
    infoOpen = false;
}

// The name of a directory: `name` when given; the whole path (without its
// final backslash but at a drive root) for the start of a walk; else the
// last component of the path.
static void writeDirName(const char *path, size_t length, const char *name) {
    if (name != nullptr) {
        writeString(name, std::strlen(name));
        return;
    }
    if (openDirs == 0) {
        writeString(path, length);
        return;
    }
    size_t start = length;
    while (start > 0 && path[start - 1] != '\\') --start;
    writeString(path + start, length - start);
}

void forgetJsonExport() {
    infoOpen = false;
    openDirs = 0;
}

// In an all-drives run the root is the folder of the drives.
static void runStarted() {
    forgetJsonExport();
    exportText("[1,2,{\"progname\":\"folmar\",\"progver\":\"" FOLMAR_VERSION "\"}");
    if (rs.runMode == RunMode::allDrives) exportText(",\n[{\"name\":\"All drives\"}");
}

static void runFinished() { exportText(rs.runMode == RunMode::allDrives ? "]]\n" : "]\n"); }

static void dirEntered(const char *path, size_t length, const char *name) {
    endInfo(false);
    exportText(",\n[{\"name\":");
    writeDirName(path, length > 3 ? length - 1 : length, name);
    infoOpen = true;
    ++openDirs;
}

// A file: "asize" the bytes the report counts, "dsize" what the system says
// it takes on disk; a file with several names, its "dev", "ino", "hlnkc"
// and "nlink", as ncdu writes them (the device on the file itself: the
// directories carry none), whatever hardLinks says. (A directory carries no size of its own, as the report
// counts none.)
static void fileListed(const FindData &file) {
    endInfo(false);
    exportText(",\n{\"name\":");
    writeString(file.cFileName, std::strlen(file.cFileName));
    exportText(",\"asize\":");
    exportNumber((uint64_t)file.nFileSizeHigh << 32 | file.nFileSizeLow);
    exportText(",\"dsize\":");
    exportNumber(file.allocatedSize);
    if (file.links > 1) {  // its device and inode, so that a reader counts it once
        exportText(",\"dev\":");
        exportNumber(file.identity.volume);
        exportText(",\"ino\":");
        exportNumber(file.identity.index);
        exportText(",\"hlnkc\":true,\"nlink\":");
        exportNumber(file.links);
    }
    exportText("}");
}

static void dirFilesDone(uint32_t errorCode) { endInfo(errorCode != 0); }

static void dirFinished(const char *, size_t, const DirFigures &) {
    endInfo(false);
    exportText("]");
    --openDirs;
}

static void dirNotRead(uint32_t, const char *path, size_t length, const char *name) {
    endInfo(false);
    exportText(",\n[{\"name\":");
    writeDirName(path, length, name);
    exportText(",\"read_error\":true}]");
}

// A directory left out, as ncdu marks one its patterns leave out.
static void dirExcluded(const char *, size_t, const char *name) {
    endInfo(false);
    exportText(",\n{\"name\":");
    writeString(name, std::strlen(name));
    exportText(",\"excluded\":\"pattern\"}");
}

const Sink jsonSink = {runStarted, runFinished, nullptr,     dirEntered, fileListed, dirFilesDone,
                       dirFinished, dirNotRead, dirExcluded, nullptr,    nullptr,    nullptr};
