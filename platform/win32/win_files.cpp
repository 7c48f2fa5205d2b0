// Windows directory enumeration and file opening. The NT family enumerates
// with the wide calls, so every name reaches the walk as it is (in UTF-8) and
// every directory can be entered by it; Windows 9x keeps the ANSI calls,
// names converted from the ANSI code page. A wildcard in a directory part or
// a separator in a name never makes a search path match some other entry.
// Files are opened only when they are regular disk files on a drive letter.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace {

// The error of the latest failed findFirstFile, kept apart from
// GetLastError, which later calls may change.
uint32_t lastFindError = 0;

typedef HANDLE(WINAPI *FindFirstFileExWFn)(LPCWSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS,
                                           LPVOID, DWORD);
typedef HANDLE(WINAPI *FindFirstFileWFn)(LPCWSTR, LPWIN32_FIND_DATAW);
typedef BOOL(WINAPI *FindNextFileWFn)(HANDLE, LPWIN32_FIND_DATAW);
typedef HANDLE(WINAPI *CreateFileWFn)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                      HANDLE);

// The wide calls, looked up before main runs: FindFirstFileExW is missing
// before NT 4, and Windows 95 may lack them all.
struct WideFind {
    FindFirstFileExWFn firstEx;
    FindFirstFileWFn first;
    FindNextFileWFn next;
};

const WideFind wideFind = {win::lookUp<FindFirstFileExWFn>("kernel32.dll", "FindFirstFileExW"),
                           win::lookUp<FindFirstFileWFn>("kernel32.dll", "FindFirstFileW"),
                           win::lookUp<FindNextFileWFn>("kernel32.dll", "FindNextFileW")};
const CreateFileWFn createFileW = win::lookUp<CreateFileWFn>("kernel32.dll", "CreateFileW");

// True when the directory part of `searchPath` (everything before its last
// component, the pattern) holds a wildcard. Windows rejects wildcards there
// anyway; refusing them here makes sure a directory whose name came back as
// "a?b" is never confused with a sibling that the pattern would match.
bool wildcardInDirectoryPart(const char *searchPath) {
    const char *lastSep = std::strrchr(searchPath, '\\');
    if (lastSep == nullptr) lastSep = std::strrchr(searchPath, ':');
    if (lastSep == nullptr) return false;
    for (const char *p = searchPath; p < lastSep; ++p)
        if (*p == '?' || *p == '*') return true;
    return false;
}

// Replaces every byte of the UTF-8 `name` that a Windows file name cannot
// hold (a control character; '\' or '/', which only a best-fit conversion
// can produce) by '?', so that it can neither split a path nor lead
// anywhere. No byte of a multi-byte UTF-8 character is below 0x80.
void guardName(char *name) {
    for (unsigned char *p = (unsigned char *)name; *p != 0; ++p)
        if (*p < 0x20 || *p == 0x7F || *p == '\\' || *p == '/') *p = '?';
}

template <typename Record>
void copySizes(const Record &from, FindData *to) {
    to->attributes = from.dwFileAttributes;
    to->nFileSizeHigh = from.nFileSizeHigh;
    to->nFileSizeLow = from.nFileSizeLow;
}

void copyRecord(const WIN32_FIND_DATAW &from, FindData *to) {
    copySizes(from, to);
    win::toUtf8(from.cFileName, to->cFileName, sizeof to->cFileName);
    win::toUtf8(from.cAlternateFileName, to->cAlternateFileName, sizeof to->cAlternateFileName);
    guardName(to->cFileName);
    guardName(to->cAlternateFileName);
}

void copyRecord(const WIN32_FIND_DATAA &from, FindData *to) {
    copySizes(from, to);
    win::ansiToUtf8(from.cFileName, to->cFileName, sizeof to->cFileName);
    win::ansiToUtf8(from.cAlternateFileName, to->cAlternateFileName, sizeof to->cAlternateFileName);
    guardName(to->cFileName);
    guardName(to->cAlternateFileName);
}

// From Windows 7 on, a search that needs no short names skips them, and the
// directory is read in larger pieces; the entries are the same.
HANDLE findFirstWide(const char *searchPath, FindData *data, bool shortNames) {
    wchar_t path[maxPathBytes + 8];
    size_t used;
    win::toWide(searchPath, path, sizeof path / sizeof path[0], &used);
    if (searchPath[used] != '\0') {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    const WideFind &calls = wideFind;
    WIN32_FIND_DATAW record;
    HANDLE h;
    if (calls.firstEx != nullptr) {
        bool seven = win::ntAtLeast(6, 1);
        FINDEX_INFO_LEVELS level = seven && !shortNames ? FindExInfoBasic : FindExInfoStandard;
        DWORD flags = seven ? FIND_FIRST_EX_LARGE_FETCH : 0;
        h = calls.firstEx(path, level, &record, FindExSearchNameMatch, nullptr, flags);
    } else if (calls.first != nullptr) {
        h = calls.first(path, &record);
    } else {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    if (h != INVALID_HANDLE_VALUE) copyRecord(record, data);
    return h;
}

HANDLE findFirstAnsi(const char *searchPath, FindData *data) {
    char path[maxPathBytes + 8];
    if (!win::pathToAnsi(searchPath, path, sizeof path)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    WIN32_FIND_DATAA record;
    HANDLE h = FindFirstFileA(path, &record);
    if (h != INVALID_HANDLE_VALUE) copyRecord(record, data);
    return h;
}

}  // namespace

FindHandle findFirstFile(const char *searchPath, FindData *data, bool shortNames) {
    HANDLE h = INVALID_HANDLE_VALUE;
    if (searchPath == nullptr || wildcardInDirectoryPart(searchPath))
        SetLastError(ERROR_INVALID_NAME);
    else
        h = win::isNt() ? findFirstWide(searchPath, data, shortNames) : findFirstAnsi(searchPath, data);
    if (h == INVALID_HANDLE_VALUE) {
        lastFindError = GetLastError();
        return invalidFindHandle;
    }
    return (FindHandle)h;
}

bool findNextFile(FindHandle handle, FindData *data) {
    if (handle == invalidFindHandle) return false;
    if (win::isNt()) {
        WIN32_FIND_DATAW record;
        FindNextFileWFn next = wideFind.next;
        if (next == nullptr || !next((HANDLE)handle, &record)) return false;
        copyRecord(record, data);
        return true;
    }
    WIN32_FIND_DATAA record;
    if (!FindNextFileA((HANDLE)handle, &record)) return false;
    copyRecord(record, data);
    return true;
}

void findClose(FindHandle handle) {
    if (handle != invalidFindHandle) FindClose((HANDLE)handle);
}

uint32_t getLastError() { return lastFindError; }

// The ANSI long names of Windows 9x may be best-fit look-alikes ("Dvořák"
// listed as "Dvorák", the name of a sibling): the short name is the real one.
bool enterByShortNames() { return !win::isNt(); }

// ---- opening files ----

namespace {

// What an fopen mode ("r", "w+", "a", with 'b' or 't') asks of CreateFile and
// of the C runtime. A file to be written is opened without truncating it,
// so that nothing is lost before it is known to be a regular file.
struct OpenMode {
    DWORD access, disposition;
    int osFlags;
    bool truncate;
};

bool parseMode(const char *mode, OpenMode *m) {
    char kind = mode[0];
    if (kind != 'r' && kind != 'w' && kind != 'a') return false;
    bool plus = std::strchr(mode, '+') != nullptr;
    m->access = plus ? GENERIC_READ | GENERIC_WRITE : kind == 'r' ? GENERIC_READ : GENERIC_WRITE;
    m->disposition = kind == 'r' ? OPEN_EXISTING : OPEN_ALWAYS;
    m->truncate = kind == 'w';
    m->osFlags = (std::strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT) | (kind == 'a' ? _O_APPEND : 0);
    return true;
}

// The wide form of `path`: UTF-8, or else (a settings value typed in an
// ANSI editor) text in the ANSI code page.
bool widePath(const char *path, wchar_t *wide, size_t room) {
    if (!win::isUtf8(path)) return MultiByteToWideChar(CP_ACP, 0, path, -1, wide, (int)room) != 0;
    size_t used;
    win::toWide(path, wide, room, &used);
    return path[used] == '\0';
}

// A file opened for writing is opened as it is when it is a link (the last
// component is not followed), and then refused as a reparse point; Windows
// 9x has no links, nor the flag.
HANDLE openHandle(const char *path, const OpenMode &m) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (!win::isNt()) {
        char ansi[maxPathBytes + 8];
        bool utf8 = win::isUtf8(path);
        if (utf8 && !win::pathToAnsi(path, ansi, sizeof ansi)) return INVALID_HANDLE_VALUE;
        return CreateFileA(utf8 ? ansi : path, m.access, share, nullptr, m.disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    wchar_t wide[maxPathBytes + 8];
    if (createFileW == nullptr || !widePath(path, wide, sizeof wide / sizeof wide[0]))
        return INVALID_HANDLE_VALUE;
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (m.access & GENERIC_WRITE ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    return createFileW(wide, m.access, share, nullptr, m.disposition, flags, nullptr);
}

}  // namespace

// A device (CON, NUL, COM1) or a pipe is no disk file, and a directory is
// not opened without backup semantics; none of them is used, and opening
// any of them does not wait. The C runtime then takes the handle over.
FILE *openFile(const char *path, const char *mode) {
    OpenMode m;
    if (path == nullptr || win::beyondDrives(path) || !parseMode(mode, &m)) return nullptr;
    HANDLE h = openHandle(path, m);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD notRegular = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                   (info.dwFileAttributes & notRegular) == 0;
    if (!regular || (m.truncate && !SetEndOfFile(h))) {
        CloseHandle(h);
        return nullptr;
    }
    int fd = _open_osfhandle((intptr_t)h, m.osFlags);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    FILE *file = _fdopen(fd, mode);
    if (file == nullptr) _close(fd);
    return file;
}

// The shared settings file is where its Windows path says.
FILE *openSharedSettingsFile(const char *path, const char *mode) { return openFile(path, mode); }

namespace win {

bool beyondDrives(const char *path) {
    auto slash = [](char c) { return c == '\\' || c == '/'; };
    return slash(path[0]) && (slash(path[1]) || (path[1] == '?' && path[2] == '?' && slash(path[3])));
}

}  // namespace win
