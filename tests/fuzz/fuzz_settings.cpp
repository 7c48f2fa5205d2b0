// libFuzzer target of the settings reader: any bytes as "Folmar.ini" on the
// fake machine. Besides the sanitizers it checks what must hold for every
// file: the file is closed, every field holds a value it may hold, texts stay
// terminated inside their buffers, every piece is counted, the console shows
// only the reader's own messages, and a file without '[' changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/runstate.h"
#include "platform/fake/fake.h"
#include "settings/settings.h"

namespace {

void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "settings fuzz: %s\n", what);
    std::abort();
}

// Pieces of at most 80 characters, "\r\n" (or a "\r" ending the file) one
// line break, counted independently of the reader.
int countPieces(const uint8_t *data, size_t size) {
    int pieces = 0;
    for (size_t i = 0; i < size; ++pieces) {
        for (size_t length = 0; i < size && length < 80; ++length) {
            uint8_t c = data[i++];
            if (c == '\n') break;
            if (c == '\r' && (i == size || data[i] == '\n')) {
                if (i < size) ++i;
                break;
            }
        }
    }
    return pieces;
}

bool terminatedWithin(const char *text, size_t size) { return std::memchr(text, 0, size) != nullptr; }

// The console text holds nothing but the messages of an invalid record.
bool onlyRecordMessages(const std::string &text) {
    const std::string invalid = "Folmar==>  Invalid User Parameter Record \n";
    const std::string record = "Folmar==>  At record Number ";
    const std::string wait = "Folmar==>  Press Enter to continue \n";
    size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, invalid.size(), invalid) != 0) return false;
        at += invalid.size();
        if (text.compare(at, record.size(), record) != 0) return false;
        at += record.size();
        size_t digits = text.find_first_not_of("0123456789", at);
        if (digits == at || digits == std::string::npos || text[digits] != '\n') return false;
        at = digits + 1;
        if (text.compare(at, wait.size(), wait) != 0) return false;
        at += wait.size();
    }
    return true;
}

void checkDriveList() {
    require(rs.driveList[sizeof rs.driveList - 1] == 0, "driveList not terminated");
    int entry = 0;
    for (; entry < 27 && rs.driveList[4 * entry] != 0; ++entry)
        require(rs.driveList[4 * entry + 1] == ':' && rs.driveList[4 * entry + 2] == '\\' &&
                    rs.driveList[4 * entry + 3] == 0,
                "driveList entry malformed");
    require(entry == 0 || (rs.driveList[0] >= 'C' && rs.driveList[0] <= 'Z'), "driveList start");
    require((entry > 0) == (rs.runMode == '~'), "runMode and driveList disagree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fakeReset();
    resetRunState();
    fakePutFile("Folmar.ini", std::string(reinterpret_cast<const char *>(data), size));
    readSettings();
    std::fflush(rs.con);
    const std::string console = fakeStdoutText();

    require(rs.settingsFile == nullptr, "settings file left open");
    require(rs.settingsLineNumber == countPieces(data, size), "pieces miscounted");
    require(terminatedWithin(rs.settingsLine, sizeof rs.settingsLine), "line not terminated");
    require(terminatedWithin(rs.outputFile, sizeof rs.outputFile) && std::strlen(rs.outputFile) <= 80,
            "outputFile overrun");
    require(std::strchr(rs.outputFile, ' ') == nullptr && std::strchr(rs.outputFile, '\n') == nullptr,
            "outputFile holds a blank or a line break");
    require(std::strchr("LSN", rs.showDirs) && std::strchr("NSL", rs.showFiles), "letter field");
    require(std::strchr("YN", rs.processLocalDrives) && std::strchr("YN", rs.processRemoteDrives),
            "drive kind field");
    require(rs.lineWidthPrint == 0 || (rs.lineWidthPrint >= 75 && rs.lineWidthPrint <= 125),
            "lineWidthPrint range");
    require(rs.lineWidth == rs.lineWidthPrint, "lineWidth differs from lineWidthPrint");
    require(rs.pageSize >= 55 && rs.pageSize <= 60, "pageSize range");
    checkDriveList();
    require(onlyRecordMessages(console), "unexpected console text");
    if (std::memchr(data, '[', size) == nullptr)
        require(rs.showDirs == 'L' && rs.showFiles == 'N' && rs.pageSize == 55 &&
                    rs.lineWidthPrint == 0 && rs.runMode == ' ' && console.empty() &&
                    std::strcmp(rs.outputFile, "C:\\FolmarAll.txt") == 0,
                "a file without a section changed something");
    return 0;
}
