// libFuzzer target of the settings reader: any bytes as "Folmar.ini" on the
// fake machine. Besides the sanitizers it checks what holds for every file:
// texts terminated inside their buffers, each field a value it may hold, a
// drive list of roots, no console text but invalid records.
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/runstate.h"
#include "common/text.h"
#include "platform/fake/fake.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fakeReset();
    fakeSetCodePage(size % 2 == 1);  // a file of odd length is read on a system with an ANSI code page
    clearRunState();  // the record, the sinks and the display: what these layers keep
    fakePutFile("Folmar.ini", std::string(reinterpret_cast<const char *>(data), size));
    readSettings();
    std::fflush(rs.con);

    assert(utf8Chars(rs.outputFile) <= 80 && std::strpbrk(rs.outputFile, " \n") == nullptr);
    assert(utf8Chars(rs.exportFile) <= 80 && std::strpbrk(rs.exportFile, " \n") == nullptr);
    assert(std::strchr("LSN", (char)rs.showDirs) && std::strchr("NSL", (char)rs.showFiles));
    assert(std::strchr("YN", rs.processLocalDrives) && std::strchr("YN", rs.processRemoteDrives));
    assert(rs.lineWidthPrint == 0 || (rs.lineWidthPrint >= 75 && rs.lineWidthPrint <= 125));
    assert(rs.pageSize >= 55 && rs.pageSize <= 60);
    int entries = 0;  // the drive list: roots "X:\", X from C to Z, and the all-drives mode with them
    for (; entries < 27 && rs.driveList[4 * entries] != 0; ++entries)
        assert(std::strcmp(rs.driveList + 4 * entries + 1, ":\\") == 0);
    assert(rs.driveList[4 * entries] == 0 && (entries > 0) == (rs.runMode == RunMode::allDrives));
    assert(entries == 0 || (rs.driveList[0] >= 'C' && rs.driveList[0] <= 'Z'));
    // Each invalid record: the message, its number (taken out here) and a wait.
    std::string console = fakeStdoutText();
    for (size_t at = 0; (at = console.find("Number ", at)) != std::string::npos;) {
        at += 7;
        console.erase(at, console.find_first_not_of("0123456789", at) - at);
    }
    const std::string record = "Folmar==>  Invalid User Parameter Record \nFolmar==>  At record Number \n"
                               "Folmar==>  Press Enter to continue \n";
    for (size_t at = 0; at < console.size(); at += record.size())
        assert(console.compare(at, record.size(), record) == 0);
    return 0;
}
