// The Windows console: standard output as a character device, clearing the
// window, raw key reads in the manner of _getch() and the pending-key test,
// both on the console input handle, the integer of the width question, the
// program's output stream, the text written to it and to the report file in
// the encoding its reader sees, and the end of the process.
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/utf8.h"
#include "platform/win32/win32.h"

namespace {

// Second part of a two-part key, handed out by the next consoleGetKey();
// -1 when none is pending.
int pendingSecondPart = -1;

// The console input handle, or null when standard input is no console.
HANDLE consoleInput() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (in == nullptr || in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) return nullptr;
    return in;
}

// What a key-down event gives a reader: a character key its byte (and
// *second = -1); a cursor or editing key 0xE0 (0 on the numeric keypad) and
// its scan code; F1 to F10 0 and the scan code; F11 and F12 0xE0 and 0x85 or
// 0x86. False for every other event (key releases, Shift, Ctrl or Alt alone,
// lock keys), which a reader skips. Modified cursor and function keys give
// their own scan code, not the distinct codes of _getch().
bool keyCodes(const INPUT_RECORD &rec, int *first, int *second) {
    if (rec.EventType != KEY_EVENT || !rec.Event.KeyEvent.bKeyDown) return false;
    const KEY_EVENT_RECORD &key = rec.Event.KeyEvent;
    WORD vk = key.wVirtualKeyCode;
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) return false;
    if (key.uChar.AsciiChar != 0) {
        *first = (unsigned char)key.uChar.AsciiChar;
        *second = -1;
        return true;
    }
    bool cursorBlock = (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
    if (cursorBlock) {
        *first = (key.dwControlKeyState & ENHANCED_KEY) ? 0xE0 : 0;
        *second = key.wVirtualScanCode;
        return true;
    }
    if (vk >= VK_F1 && vk <= VK_F10) {
        *first = 0;
        *second = key.wVirtualScanCode;
        return true;
    }
    if (vk == VK_F11 || vk == VK_F12) {
        *first = 0xE0;
        *second = vk == VK_F11 ? 0x85 : 0x86;
        return true;
    }
    return false;
}

}  // namespace

bool stdoutIsCharDevice() {
    return GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR;
}

// Fills the visible window of the console screen buffer with blanks in the
// current attribute and puts the cursor at its top-left corner.
void consoleClear(FILE *out) {
    if (out != nullptr) std::fflush(out);
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(h, &info)) return;
    const SMALL_RECT &win = info.srWindow;
    DWORD width = (DWORD)(win.Right - win.Left + 1);
    for (SHORT row = win.Top; row <= win.Bottom; ++row) {
        COORD at = {win.Left, row};
        DWORD written;
        FillConsoleOutputCharacterA(h, ' ', width, at, &written);
        FillConsoleOutputAttribute(h, info.wAttributes, width, at, &written);
    }
    COORD home = {win.Left, win.Top};
    SetConsoleCursorPosition(h, home);
}

// Reads input events with line input and echo off until one gives a key;
// the previous console mode is restored before returning. -1 at once when
// standard input is no console or its mode cannot be set, or when the read
// fails.
int consoleGetKey() {
    if (pendingSecondPart >= 0) {
        int code = pendingSecondPart;
        pendingSecondPart = -1;
        return code;
    }
    std::fflush(stdout);
    HANDLE in = consoleInput();
    DWORD oldMode;
    if (in == nullptr || !GetConsoleMode(in, &oldMode)) return -1;
    if (!SetConsoleMode(in, oldMode & ~(DWORD)(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT))) return -1;
    int first = -1, second = -1;
    for (;;) {
        INPUT_RECORD rec;
        DWORD got = 0;
        if (!ReadConsoleInputA(in, &rec, 1, &got) || got == 0) break;
        if (keyCodes(rec, &first, &second)) break;
    }
    SetConsoleMode(in, oldMode);
    pendingSecondPart = second;
    return first;
}

// Looks at the oldest pending input event: a key that consoleGetKey() would
// return means yes; any other event is read and discarded and the next one
// looked at. The second part of a two-part key also counts as waiting.
bool consoleKeyWaiting() {
    if (pendingSecondPart >= 0) return true;
    HANDLE in = consoleInput();
    if (in == nullptr) return false;
    for (;;) {
        DWORD count = 0, got = 0;
        INPUT_RECORD rec;
        if (!GetNumberOfConsoleInputEvents(in, &count) || count == 0) return false;
        if (!PeekConsoleInputA(in, &rec, 1, &got) || got == 0) return false;
        int first, second;
        if (keyCodes(rec, &first, &second)) return true;
        if (!ReadConsoleInputA(in, &rec, 1, &got) || got == 0) return false;
    }
}

bool readIntegerFromStdin(int *value) {
    std::fflush(stdout);
    return std::scanf("%d", value) != EOF;  // stores nothing when no number can be read
}

// ---- text ----

namespace {

bool askIsConsole(DWORD which) {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// Standard output (error) is a console, not redirected: asked once, before
// main runs, since the answer cannot change during the run.
const bool stdoutIsConsole = askIsConsole(STD_OUTPUT_HANDLE);
const bool stderrIsConsole = askIsConsole(STD_ERROR_HANDLE);

typedef BOOL(WINAPI *WriteConsoleWFn)(HANDLE, const void *, DWORD, LPDWORD, LPVOID);
const WriteConsoleWFn writeConsoleW = win::lookUp<WriteConsoleWFn>("kernel32.dll", "WriteConsoleW");

// The real characters on the console of the NT family: standard output's,
// or standard error's for `stream` stderr. What the stream holds is flushed
// first, so that the output keeps its order.
bool writeConsoleWide(FILE *stream, const char *text) {
    if (std::fflush(stream) != 0 || writeConsoleW == nullptr) return false;
    HANDLE out = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    wchar_t wide[512];
    while (*text != '\0') {
        size_t used;
        DWORD units = (DWORD)win::toWide(text, wide, sizeof wide / sizeof wide[0], &used);
        DWORD written = 0;
        if (!writeConsoleW(out, wide, units, &written, nullptr) || written != units) return false;
        text += used;
    }
    return true;
}

// The text in `codePage` through the stream, '?' for each character the
// code page cannot hold.
bool writeInCodePage(FILE *stream, const char *text, UINT codePage) {
    wchar_t wide[256];
    char bytes[4 * 256];
    while (*text != '\0') {
        size_t used;
        size_t units = win::toWide(text, wide, sizeof wide / sizeof wide[0], &used);
        size_t n = win::toCodePageShown(wide, units, codePage, bytes, sizeof bytes);
        if (std::fwrite(bytes, 1, n, stream) != n) return false;
        text += used;
    }
    return true;
}

// The code page in which `stream` is written: the console's own on Windows
// 9x (standard output's or standard error's), the ANSI code page for
// redirected output and the report file, which is
// what a reader of such a file on this machine expects. False for the
// console of the NT family, which gets the real characters.
bool streamCodePage(FILE *stream, UINT *codePage) {
    if ((stream == stdout && stdoutIsConsole) || (stream == stderr && stderrIsConsole)) {
        if (win::isNt()) return false;
        *codePage = GetConsoleOutputCP();
        return true;
    }
    *codePage = CP_ACP;
    return true;
}

}  // namespace

// ASCII text goes through the stream unchanged; other text in the stream's
// code page, or as the real characters on the console of the NT family.
bool writeText(FILE *stream, const char *text) {
    if (win::isAscii(text)) return std::fputs(text, stream) >= 0;
    UINT codePage;
    if (!streamCodePage(stream, &codePage)) return writeConsoleWide(stream, text);
    return writeInCodePage(stream, text, codePage);
}

namespace {

// The bytes of the latest characters asked for, by their low byte: a layout
// asks for every character beyond ASCII of every path, and names repeat
// their characters. `bytes` is one more than the answer, 0 for no entry.
struct KnownBytes {
    uint32_t code;
    UINT codePage;
    int bytes;
};
KnownBytes knownBytes[256];

}  // namespace

// Converted one character alone as writeInCodePage converts it in its text.
int codePageBytes(FILE *stream, uint32_t code) {
    UINT codePage;
    if (!streamCodePage(stream, &codePage)) return -1;
    KnownBytes &known = knownBytes[code & 0xFF];
    if (known.bytes > 0 && known.code == code && known.codePage == codePage) return known.bytes - 1;
    char utf8[5];
    utf8[encodeUtf8(code, utf8)] = '\0';
    wchar_t wide[3];
    size_t units = win::toWide(utf8, wide, 3);
    char bytes[16];
    size_t n = win::toCodePageShown(wide, units, codePage, bytes, sizeof bytes);
    int held = (n == 1 && bytes[0] == '?') ? 0 : (int)n;
    known = KnownBytes{code, codePage, held + 1};
    return held;
}

FILE *platformStdout() {
    static bool setUp = false;
    if (!setUp) {
        setUp = true;
        if (!stdoutIsConsole) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    }
    return stdout;
}

void exitProcess(int code) {
    std::fflush(nullptr);
    std::exit(code);
}
