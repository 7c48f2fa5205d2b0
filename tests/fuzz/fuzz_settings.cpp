// libFuzzer target of the settings reader: any bytes as "Folmar.ini" on the
// fake machine. Besides the sanitizers it checks what must hold for every
// file: the file is closed, texts stay terminated inside their buffers,
// every field holds a value it may hold, the drive list is made of roots,
// and the console shows only the invalid-record messages.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/runstate.h"
#include "platform/fake/fake.h"
#include "settings/settings.h"

static void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "settings fuzz: %s\n", what);
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fakeReset();
    resetRunState();
    fakePutFile("Folmar.ini", std::string(reinterpret_cast<const char *>(data), size));
    readSettings();
    std::fflush(rs.con);

    require(rs.settingsFile == nullptr, "settings file left open");
    require(std::memchr(rs.settingsLine, 0, sizeof rs.settingsLine) != nullptr, "line not terminated");
    require(std::strlen(rs.outputFile) <= 80 && std::strpbrk(rs.outputFile, " \n") == nullptr, "outputFile");
    require(std::strchr("LSN", rs.showDirs) && std::strchr("NSL", rs.showFiles), "letter field");
    require(std::strchr("YN", rs.processLocalDrives) && std::strchr("YN", rs.processRemoteDrives), "drive kinds");
    require(rs.lineWidthPrint == 0 || (rs.lineWidthPrint >= 75 && rs.lineWidthPrint <= 125), "lineWidthPrint");
    require(rs.lineWidth == rs.lineWidthPrint && rs.pageSize >= 55 && rs.pageSize <= 60, "lineWidth, pageSize");
    int entries = 0;
    for (; entries < 27 && rs.driveList[4 * entries] != 0; ++entries)
        require(std::strcmp(rs.driveList + 4 * entries + 1, ":\\") == 0, "driveList entry");
    require(rs.driveList[4 * entries] == 0 && (entries > 0) == (rs.runMode == '~'), "driveList and runMode");
    require(entries == 0 || (rs.driveList[0] >= 'C' && rs.driveList[0] <= 'Z'), "driveList start");
    // Each invalid record: the message, its number (taken out here) and a wait.
    std::string console = fakeStdoutText();
    for (size_t at = 0; (at = console.find("Number ", at)) != std::string::npos;) {
        at += 7;
        console.erase(at, console.find_first_not_of("0123456789", at) - at);
    }
    const std::string record = "Folmar==>  Invalid User Parameter Record \nFolmar==>  At record Number \n"
                               "Folmar==>  Press Enter to continue \n";
    for (size_t at = 0; at < console.size(); at += record.size())
        require(console.compare(at, record.size(), record) == 0, "console text");
    return 0;
}
