// Windows drives, disk space, version, current directory, clock and the
// arguments of the process. Which family of Windows runs the program is
// decided once; every call that the first Windows 95 lacks (the extended
// free-space query, the wide calls) is looked up at run time, so that the
// program still loads there.
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"
#include "platform/win32/win32.h"

// GetVersionExA is marked deprecated in newer Windows SDKs; it is the call
// that answers with the version on every Windows from 95 on.
#ifdef _MSC_VER
#pragma warning(disable : 4996)
#endif

// ---- the system ----

namespace {

struct Version {
    bool nt;
    DWORD major, minor;
};

// Without an answer the ANSI calls are used: they work on every Windows.
Version readVersion() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return Version{false, 0, 0};
    return Version{info.dwPlatformId == VER_PLATFORM_WIN32_NT, info.dwMajorVersion, info.dwMinorVersion};
}

// Read before main runs, like the looked-up entry points (see win32.h).
const Version known = readVersion();

const Version &version() { return known; }

}  // namespace

namespace win {

bool isNt() { return version().nt; }

bool ntAtLeast(DWORD major, DWORD minor) {
    const Version &v = version();
    return v.nt && (v.major > major || (v.major == major && v.minor >= minor));
}

FARPROC entryPoint(const char *module, const char *name) {
    HMODULE loaded = GetModuleHandleA(module);
    return loaded != nullptr ? GetProcAddress(loaded, name) : nullptr;
}

}  // namespace win

// The 32-bit MinGW runtime brings its own ___lc_codepage_func, for old
// msvcrt.dll builds (Windows 95's) that lack it, and it finds msvcrt.dll with
// GetModuleHandleW: an import of a wide call, which Windows 95 lacks too.
// This one, linked instead, asks with the ANSI call. Only MinGW's own
// printf and scanf conversions of wide strings use it; without msvcrt's
// answer it is 0, the code page of the "C" locale the program never leaves.
#if defined(__MINGW32__) && defined(__i386__)
namespace {
typedef unsigned int(__cdecl *CodePageFn)();
const CodePageFn runtimeCodePage = win::lookUp<CodePageFn>("msvcrt.dll", "___lc_codepage_func");
}  // namespace

extern "C" unsigned int __cdecl ___lc_codepage_func() {
    return runtimeCodePage != nullptr ? runtimeCodePage() : 0;
}
#endif

// ---- drives ----

uint32_t getLogicalDriveStrings(uint32_t length, char *buffer) {
    return GetLogicalDriveStringsA(length, buffer);
}

uint32_t getDriveType(const char *rootPath) { return GetDriveTypeA(rootPath); }

// ---- disk space ----

bool getDiskFreeSpace(const char *rootPath, uint32_t *sectorsPerCluster,
                      uint32_t *bytesPerSector, uint32_t *freeClusters,
                      uint32_t *totalClusters, uint32_t *errorCode) {
    DWORD spc = 0, bps = 0, freeCl = 0, totalCl = 0;
    if (!GetDiskFreeSpaceA(rootPath, &spc, &bps, &freeCl, &totalCl)) {
        *errorCode = GetLastError();
        return false;
    }
    *sectorsPerCluster = spc;
    *bytesPerSector = bps;
    *freeClusters = freeCl;
    *totalClusters = totalCl;
    return true;
}

namespace {

typedef BOOL(WINAPI *GetDiskFreeSpaceExAFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                            PULARGE_INTEGER);

// The entry point found by the latest lookupDiskFreeSpaceEx(); only the
// wrapper below calls it, and only after a lookup that found it.
GetDiskFreeSpaceExAFn foundDiskFreeSpaceEx = nullptr;

bool diskFreeSpaceEx(const char *rootPath, uint64_t *freeToCaller, uint64_t *totalBytes,
                     uint64_t *totalFree, uint32_t *errorCode) {
    ULARGE_INTEGER caller, total, allFree;
    if (foundDiskFreeSpaceEx == nullptr) {
        *errorCode = ERROR_PROC_NOT_FOUND;
        return false;
    }
    if (!foundDiskFreeSpaceEx(rootPath, &caller, &total, &allFree)) {
        *errorCode = GetLastError();
        return false;
    }
    *freeToCaller = caller.QuadPart;
    *totalBytes = total.QuadPart;
    *totalFree = allFree.QuadPart;
    return true;
}

}  // namespace

DiskFreeSpaceExFn lookupDiskFreeSpaceEx() {
    foundDiskFreeSpaceEx = win::lookUp<GetDiskFreeSpaceExAFn>("kernel32.dll", "GetDiskFreeSpaceExA");
    return foundDiskFreeSpaceEx ? diskFreeSpaceEx : nullptr;
}

// ---- version and clock ----

bool getVersionBuild(uint32_t *buildNumber) {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = 148;  // the 8-bit record: sizeof(OSVERSIONINFOA)
    if (!GetVersionExA(&info)) return false;
    *buildNumber = info.dwBuildNumber;
    return true;
}

void getLocalTime(LocalTime *now) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    now->year = st.wYear;
    now->month = st.wMonth;
    now->day = st.wDay;
    now->hour = st.wHour;
    now->minute = st.wMinute;
}

// ---- current directory ----

namespace {

typedef DWORD(WINAPI *GetCurrentDirectoryWFn)(DWORD, LPWSTR);
const GetCurrentDirectoryWFn getCurrentDirectoryW =
    win::lookUp<GetCurrentDirectoryWFn>("kernel32.dll", "GetCurrentDirectoryW");

// The current directory as the system gives it, in UTF-8; "" when it cannot
// be read. A wide one is at most 32,767 units, each at most 3 bytes.
const char *currentDirectoryText() {
    static wchar_t wide[32768];
    static char text[3 * 32768];
    text[0] = '\0';
    if (win::isNt()) {
        DWORD n = getCurrentDirectoryW != nullptr ? getCurrentDirectoryW(32768, wide) : 0;
        if (n > 0 && n < 32768) win::toUtf8(wide, text, sizeof text);
    } else {
        char ansi[MAX_PATH + 1];
        DWORD n = GetCurrentDirectoryA(sizeof ansi, ansi);
        if (n > 0 && n < sizeof ansi) win::ansiToUtf8(ansi, text, sizeof text);
    }
    return text;
}

}  // namespace

// A directory that begins with a drive letter is on a drive; a UNC one
// ("\\server\share\dir") is on none, and its text is handed back for the
// message.
uint32_t getCurrentDirectory(uint32_t length, char *buffer) {
    if (length == 0) return 0;
    const char *text = currentDirectoryText();
    size_t size = std::strlen(text);
    size_t copied = size < length ? size : length - 1;
    while (copied > 0 && copied < size && ((unsigned char)text[copied] & 0xC0) == 0x80)
        --copied;  // cut at a character
    std::memcpy(buffer, text, copied);
    buffer[copied] = '\0';
    if (size < 2 || text[1] != ':') return 0;
    return (uint32_t)(size < length ? size : size + 1);
}

// ---- arguments ----

namespace {

struct StartUpInfo {
    int newMode;
};
typedef int(__cdecl *WideMainArgsFn)(int *, wchar_t ***, wchar_t ***, int, StartUpInfo *);

// The arguments of the ANSI command line in UTF-16, converted from the ANSI
// code page; nullptr when memory cannot be had.
wchar_t **widenAnsiArguments(int argc, char **argv) {
    wchar_t **wide = (wchar_t **)std::calloc((size_t)argc + 1, sizeof *wide);
    for (int i = 0; wide != nullptr && i < argc; ++i) {
        int units = MultiByteToWideChar(CP_ACP, 0, argv[i], -1, nullptr, 0);
        wide[i] = units > 0 ? (wchar_t *)std::malloc((size_t)units * sizeof(wchar_t)) : nullptr;
        if (wide[i] == nullptr || MultiByteToWideChar(CP_ACP, 0, argv[i], -1, wide[i], units) == 0)
            return nullptr;
    }
    return wide;
}

// The NT family: the wide command line as msvcrt parses it (the parser
// behind the ANSI argv, without wildcard expansion like it). Windows 9x, or
// a C runtime without the call: the ANSI arguments.
wchar_t **wideArguments(int *argc, char **argv) {
    WideMainArgsFn parse =
        win::isNt() ? win::lookUp<WideMainArgsFn>("msvcrt.dll", "__wgetmainargs") : nullptr;
    wchar_t **wide = nullptr, **environment = nullptr;
    StartUpInfo info = {0};
    int count = 0;
    if (parse != nullptr && parse(&count, &wide, &environment, 0, &info) >= 0 && wide != nullptr) {
        *argc = count;
        return wide;
    }
    return widenAnsiArguments(*argc, argv);
}

}  // namespace

// The UTF-8 arguments are kept in one block that is never freed: argv is
// used until the process ends. When memory cannot be had, the ANSI ones
// stay.
void platformStartUp(int *argc, char ***argv) {
    int count = *argc;
    wchar_t **wide = wideArguments(&count, *argv);
    if (wide == nullptr) return;
    size_t bytes = ((size_t)count + 1) * sizeof(char *);
    for (int i = 0; i < count; ++i) bytes += 3 * std::wcslen(wide[i]) + 1;
    char *block = (char *)std::malloc(bytes);
    if (block == nullptr) return;
    char **utf8 = (char **)block;
    char *text = block + ((size_t)count + 1) * sizeof(char *);
    for (int i = 0; i < count; ++i) {
        utf8[i] = text;
        text += win::toUtf8(wide[i], text, 3 * std::wcslen(wide[i]) + 1) + 1;
    }
    utf8[count] = nullptr;
    *argc = count;
    *argv = utf8;
}

// ---- The host's own paths: Windows has none beyond its own ----

HostPath hostPathTarget(const char *, char *, size_t) { return HostPath::notHostPath; }

void hostSeparatorsToBackslashes(char *) {}

bool defaultReportFile(char *path, size_t room) {
    static const char name[] = "C:\\FolmarAll.txt";
    if (sizeof name > room) return false;
    std::memcpy(path, name, sizeof name);
    return true;
}

const char *sharedSettingsPlaces() { return nullptr; }
