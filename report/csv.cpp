// The export as CSV (RFC 4180: CR LF line ends, a field with a comma or a
// quote quoted, its quotes doubled): a header row, then a row per directory,
// written when its subtree is finished, so that every figure is final when
// it is written and nothing is held back (a parent follows its subfolders).
#include <cstring>

#include "common/text.h"
#include "report/internal.h"
#include "report/report.h"

// The display form ('?' for a control character or a byte that is no
// UTF-8) of the first `length` bytes of `path` followed by `name` (when
// not null), as one field.
static void writePath(const char *path, size_t length, const char *name) {
    static char field[2 * (walkPathBytes + maxPathBytes) + 4];
    size_t used = 0;
    field[used++] = '"';
    for (int part = 0; part < 2; ++part) {
        const char *text = part == 0 ? path : name;
        size_t end = part == 0 ? length : (name != nullptr ? std::strlen(name) : 0);
        for (size_t at = 0; at < end;) {
            uint32_t code;
            int bytes = displayChar(text + at, &code);
            if (code == '?') {
                field[used++] = '?';
            } else {
                if (code == '"') field[used++] = '"';
                std::memcpy(field + used, text + at, (size_t)bytes);
                used += (size_t)bytes;
            }
            at += (size_t)bytes;
        }
    }
    field[used++] = '"';
    const char *inside = field + 1;
    size_t insideLength = used - 2;
    bool quoted = std::memchr(inside, ',', insideLength) != nullptr || std::memchr(inside, '"', insideLength) != nullptr;
    exportBytes(quoted ? field : inside, quoted ? used : insideLength);
}

// UTF-8 with a byte-order mark, which a spreadsheet on Windows needs to
// read the file as UTF-8 rather than in its code page.
static void runStarted() {
    exportText("\xEF\xBB\xBF" "Path,Bytes,Files,Subdirectories,Subtree Files,Subtree Bytes,Read\r\n");
}

// The directory's path as the report shows it, the bytes and count of its
// own files, the directories below it, the files and bytes of its whole
// subtree, and whether its files could be listed.
static void dirFinished(const char *path, size_t length, const DirFigures &figures) {
    writePath(path, length > 3 ? length - 1 : length, nullptr);
    const uint64_t numbers[] = {figures.bytes, figures.files, figures.subdirs, figures.allFiles,
                                figures.allBytes};
    for (uint64_t number : numbers) {
        exportText(",");
        exportNumber(number);
    }
    exportText(figures.read ? ",yes\r\n" : ",no\r\n");
}

// A directory never read has no figures; one left out has no row.
static void dirNotRead(uint32_t, const char *path, size_t length, const char *name) {
    writePath(path, length, name);
    exportText(",,,,,,no\r\n");
}

const Sink csvSink = {runStarted, nullptr, nullptr, nullptr, nullptr, nullptr,
                      dirFinished, dirNotRead, nullptr, nullptr, nullptr, nullptr};
