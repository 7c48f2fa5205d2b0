// Windows directory enumeration and file opening over the ANSI Win32 calls.
// A find record is copied field by field from WIN32_FIND_DATAA. Names that
// the ANSI code page could not hold arrive with '?' in them; such a name, or
// any other with a wildcard, a path separator or a control character, must
// never be turned into a search path that matches some other entry.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

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

// Replaces every byte of `name` that a Windows file name cannot hold (a
// control character, '\' or '/', which only a best-fit conversion of an
// unrepresentable character can produce) by '?', so that it can neither
// reach a report line nor split a path. Trail bytes of a double-byte
// character are left alone.
void guardName(char *name) {
    for (unsigned char *p = (unsigned char *)name; *p; ++p) {
        if (IsDBCSLeadByte(*p) && p[1] != 0) {
            ++p;
            continue;
        }
        if (*p < 0x20 || *p == 0x7F || *p == '\\' || *p == '/') *p = '?';
    }
}

void copyRecord(const WIN32_FIND_DATAA &from, FindData *to) {
    to->attributes = from.dwFileAttributes;
    to->nFileSizeHigh = from.nFileSizeHigh;
    to->nFileSizeLow = from.nFileSizeLow;
    std::memcpy(to->cFileName, from.cFileName, sizeof to->cFileName);
    to->cFileName[sizeof to->cFileName - 1] = 0;
    std::memcpy(to->cAlternateFileName, from.cAlternateFileName, sizeof to->cAlternateFileName);
    to->cAlternateFileName[sizeof to->cAlternateFileName - 1] = 0;
    guardName(to->cFileName);
    guardName(to->cAlternateFileName);
}

}  // namespace

FindHandle findFirstFile(const char *searchPath, FindData *data) {
    if (searchPath == nullptr || wildcardInDirectoryPart(searchPath)) {
        SetLastError(ERROR_INVALID_NAME);
        return invalidFindHandle;
    }
    WIN32_FIND_DATAA record;
    HANDLE h = FindFirstFileA(searchPath, &record);
    if (h == INVALID_HANDLE_VALUE) return invalidFindHandle;
    copyRecord(record, data);
    return (FindHandle)h;
}

bool findNextFile(FindHandle handle, FindData *data) {
    WIN32_FIND_DATAA record;
    if (handle == invalidFindHandle || !FindNextFileA((HANDLE)handle, &record)) return false;
    copyRecord(record, data);
    return true;
}

void findClose(FindHandle handle) {
    if (handle != invalidFindHandle) FindClose((HANDLE)handle);
}

// The C runtime takes Windows paths as they are: "X:\..." names a file of
// drive X, anything else is relative to the current directory.
FILE *openFile(const char *path, const char *mode) { return std::fopen(path, mode); }
