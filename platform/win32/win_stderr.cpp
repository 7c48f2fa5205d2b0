// Standard error and what the progress display needs of it (is it a
// console, how wide), the monotonic clock, and scratch files. The calls
// that the first Windows 95 lacks are looked up at run time.
#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace {

typedef ULONGLONG(WINAPI *GetTickCount64Fn)();
const GetTickCount64Fn getTickCount64 = win::lookUp<GetTickCount64Fn>("kernel32.dll", "GetTickCount64");

}  // namespace

FILE *platformStderr() { return stderr; }

// The width of the console window standard error writes to.
int stderrTerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

// GetTickCount64 from Vista on; before it GetTickCount, which wraps after
// 49 days (the display is then merely drawn early once).
uint64_t monotonicMilliseconds() {
    return getTickCount64 != nullptr ? (uint64_t)getTickCount64() : (uint64_t)GetTickCount();
}

// A file in the temporary folder that Windows deletes when it is closed.
FILE *openTemporaryFile() {
    char folder[MAX_PATH + 1], name[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "fol", 0, name) == 0) return nullptr;
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DeleteFileA(name);
        return nullptr;
    }
    int fd = _open_osfhandle((intptr_t)h, _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    FILE *file = _fdopen(fd, "w+b");
    if (file == nullptr) _close(fd);
    return file;
}
