// Windows directory enumeration, directory identities and file opening. The
// NT family enumerates with the wide calls, so every name reaches the walk
// as it is (in UTF-8) and every directory can be entered by it, however deep
// (through \\?\ paths); Windows 9x keeps the ANSI calls, names converted from
// the ANSI code page, and MAX_PATH. A wildcard in a directory part or a
// separator in a name never makes a search path match some other entry.
// Files are opened only when they are regular disk files on a drive letter.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>

#include "platform/platform.h"
#include "platform/utf8.h"
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
typedef DWORD(WINAPI *GetFileAttributesWFn)(LPCWSTR);

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
const GetFileAttributesWFn attributesW = win::lookUp<GetFileAttributesWFn>("kernel32.dll", "GetFileAttributesW");

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

// The cluster size of the drive of the latest findFirstFile, from the
// classic disk query, asked once per drive letter (1 when it fails: the
// size itself then). A walk reads one drive at a time, so the enumerations
// open together are all on that drive.
uint32_t clusterOfLetter[26];
uint32_t clusterBytes = 1;

void useClusterOf(const char *searchPath) {
    char letter = (char)(searchPath[0] & ~0x20);
    if (letter < 'A' || letter > 'Z' || searchPath[1] != ':') {
        clusterBytes = 1;
        return;
    }
    uint32_t &known = clusterOfLetter[letter - 'A'];
    if (known == 0) {
        char root[4] = {letter, ':', '\\', '\0'};
        uint32_t sectors = 0, bytes = 0, freeClusters, totalClusters, errorCode;
        getDiskFreeSpace(root, &sectors, &bytes, &freeClusters, &totalClusters, &errorCode);
        known = sectors * bytes != 0 ? sectors * bytes : 1;
    }
    clusterBytes = known;
}

// A delivered record's space on disk: a file takes its size rounded up to
// whole clusters of the walk's drive. Set on the walker's thread only, as
// each record is handed to the walk, whoever listed it.
void roundToClusters(FindData *data) {
    uint64_t size = (uint64_t)data->nFileSizeHigh << 32 | data->nFileSizeLow;
    uint64_t clusters = size / clusterBytes + (size % clusterBytes != 0);
    data->allocatedSize = data->attributes & FILE_ATTRIBUTE_DIRECTORY ? 0 : clusters * clusterBytes;
}

// The sizes of a record; its space on disk is left to roundToClusters.
template <typename Record>
void copySizes(const Record &from, FindData *to) {
    to->attributes = from.dwFileAttributes;
    to->nFileSizeHigh = from.nFileSizeHigh;
    to->nFileSizeLow = from.nFileSizeLow;
    to->allocatedSize = 0;
    to->links = 0;
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

// The walker's own buffers for the wide form of its paths.
win::WidePaths walkerPaths;

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A path the plain calls cannot take as it is: longer than MAX_PATH, or with
// a name that ends in a dot or a blank, which they would drop (so "a." would
// name "a"). "." and ".." are no such names.
bool needsLongForm(const wchar_t *path, size_t units) {
    if (units >= MAX_PATH) return true;
    for (size_t i = 0; i < units; ++i) {
        if (!(path[i] == L'.' || path[i] == L' ') || !(i + 1 == units || isSeparator(path[i + 1]))) continue;
        size_t start = i;
        while (start > 0 && !isSeparator(path[start - 1])) --start;
        bool dots = path[i] == L'.' && i - start < 2 && (i == start || path[start] == L'.');
        if (!dots) return true;
    }
    return false;
}

// The \\?\ form of the drive path `path` ("X:\..."), which Windows takes as
// it stands: separators, "." and ".." are settled here, names never
// changed. nullptr for a path without a drive, which keeps its own form.
const wchar_t *longForm(const wchar_t *path, wchar_t *wideLong) {
    if (path[0] == 0 || path[1] != L':' || !isSeparator(path[2])) return nullptr;
    std::wcscpy(wideLong, L"\\\\?\\");
    size_t used = 4, root;
    wideLong[used++] = path[0];
    wideLong[used++] = L':';
    root = used;
    for (const wchar_t *p = path + 2; *p != 0;) {
        while (isSeparator(*p)) ++p;
        const wchar_t *end = p;
        while (*end != 0 && !isSeparator(*end)) ++end;
        size_t length = (size_t)(end - p);
        if (length == 2 && p[0] == L'.' && p[1] == L'.') {
            while (used > root && wideLong[used - 1] != L'\\') --used;
            if (used > root) --used;
        } else if (length > 0 && !(length == 1 && p[0] == L'.')) {
            wideLong[used++] = L'\\';
            std::wmemcpy(wideLong + used, p, length);
            used += length;
        }
        p = end;
    }
    if (used == root) wideLong[used++] = L'\\';
    wideLong[used] = 0;
    return wideLong;
}

// The wide form of the UTF-8 path `utf8` for the calls of the NT family
// (without a final separator when `trimSeparator`, a drive root excepted),
// in `paths`; nullptr (error 206) when it does not fit.
const wchar_t *widePathForCalls(const char *utf8, bool trimSeparator, win::WidePaths *paths) {
    wchar_t *plain = paths->plain;
    size_t used;
    size_t units = win::toWide(utf8, plain, win::wideRoom - 8, &used);
    if (utf8[used] != '\0') {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    if (trimSeparator && units > 3 && isSeparator(plain[units - 1])) plain[--units] = 0;
    const wchar_t *path = needsLongForm(plain, units) ? longForm(plain, paths->longForm) : nullptr;
    return path != nullptr ? path : plain;
}

// From Windows 7 on, a search that needs no short names skips them, and the
// directory is read in larger pieces; the entries are the same. Any thread
// may call it, with buffers of its own.
HANDLE findFirstWideRecord(const char *searchPath, WIN32_FIND_DATAW *record, bool shortNames,
                           win::WidePaths *paths) {
    const wchar_t *path = widePathForCalls(searchPath, false, paths);
    if (path == nullptr) return INVALID_HANDLE_VALUE;
    const WideFind &calls = wideFind;
    if (calls.firstEx != nullptr) {
        bool seven = win::ntAtLeast(6, 1);
        FINDEX_INFO_LEVELS level = seven && !shortNames ? FindExInfoBasic : FindExInfoStandard;
        DWORD flags = seven ? FIND_FIRST_EX_LARGE_FETCH : 0;
        return calls.firstEx(path, level, record, FindExSearchNameMatch, nullptr, flags);
    }
    if (calls.first != nullptr) return calls.first(path, record);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
}

HANDLE findFirstWide(const char *searchPath, FindData *data, bool shortNames) {
    WIN32_FIND_DATAW record;
    HANDLE h = findFirstWideRecord(searchPath, &record, shortNames, &walkerPaths);
    if (h != INVALID_HANDLE_VALUE) copyRecord(record, data);
    return h;
}

// A path of MAX_PATH characters or more is too long for Windows 9x.
HANDLE findFirstAnsi(const char *searchPath, FindData *data) {
    char path[maxPathBytes + 8];
    if (utf8Chars(searchPath) >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
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

// What the system says of the open file `h` into `info`, the handle closed
// either way; false when `h` is no handle or the question fails.
static bool closedAfterInfo(HANDLE h, BY_HANDLE_FILE_INFORMATION *info) {
    if (h == INVALID_HANDLE_VALUE) return false;
    bool known = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return known;
}

namespace win {

DWORD listDirectory(const char *searchPath, bool shortNames, RecordSink sink, void *context, WidePaths *paths) {
    WIN32_FIND_DATAW record;
    HANDLE h = findFirstWideRecord(searchPath, &record, shortNames, paths);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    FindData data;
    bool more = true;
    while (more) {
        copyRecord(record, &data);
        if (!sink(context, data)) {
            FindClose(h);
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        more = wideFind.next(h, &record) != 0;
    }
    DWORD error = GetLastError();
    FindClose(h);
    return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
}

}  // namespace win

// A search path of the NT family for a whole directory ("...\*.*" or
// "...\*"), which the read-ahead lists and serves.
static bool wholeDirectory(const char *searchPath) {
    size_t length = std::strlen(searchPath);
    auto endsWith = [&](const char *tail, size_t n) {
        return length > n && std::strcmp(searchPath + length - n, tail) == 0;
    };
    return endsWith("\\*.*", 4) || endsWith("\\*", 2);
}

// The system finds a directory by its path as fast as by a hint: `parent`
// is not used.
FindHandle findFirstFile(const char *searchPath, FindData *data, bool shortNames, FindHandle) {
    if (searchPath == nullptr || wildcardInDirectoryPart(searchPath)) {
        lastFindError = ERROR_INVALID_NAME;
        return invalidFindHandle;
    }
    useClusterOf(searchPath);
    FindHandle handle = invalidFindHandle;
    if (win::isNt() && wideFind.next != nullptr && win::readAheadOn() && wholeDirectory(searchPath)) {
        DWORD error = ERROR_SUCCESS;
        handle = win::listFirst(searchPath, data, shortNames, &error);
        if (handle == invalidFindHandle) lastFindError = error;
    } else {
        HANDLE h = win::isNt() ? findFirstWide(searchPath, data, shortNames) : findFirstAnsi(searchPath, data);
        if (h == INVALID_HANDLE_VALUE)
            lastFindError = GetLastError();
        else
            handle = (FindHandle)h;
    }
    if (handle != invalidFindHandle) roundToClusters(data);
    return handle;
}

// The next record of `handle` into `data`, from the read-ahead's listing or
// from the system.
static bool nextRecord(FindHandle handle, FindData *data) {
    if (win::isListHandle(handle)) return win::listNext(handle, data);
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

bool findNextFile(FindHandle handle, FindData *data) {
    if (handle == invalidFindHandle || !nextRecord(handle, data)) return false;
    roundToClusters(data);
    return true;
}

void findClose(FindHandle handle) {
    if (handle == invalidFindHandle) return;
    if (win::isListHandle(handle))
        win::listClose(handle);
    else
        FindClose((HANDLE)handle);
}

uint32_t getLastError() { return lastFindError; }

// Opened with backup semantics (without which no directory opens) and only
// to read its attributes; a reparse point is followed to its target.
bool getDirectoryIdentity(const char *path, FileIdentity *identity) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    HANDLE h = INVALID_HANDLE_VALUE;
    if (win::isNt()) {
        const wchar_t *wide = widePathForCalls(path, true, &walkerPaths);
        if (wide != nullptr && createFileW != nullptr)
            h = createFileW(wide, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr);
    } else {
        char ansi[maxPathBytes + 8];
        if (win::pathToAnsi(path, ansi, sizeof ansi))
            h = CreateFileA(ansi, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!closedAfterInfo(h, &info)) return false;
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
    return true;
}

// The attributes of the path itself: a link in its last component is not
// followed by GetFileAttributes.
bool isReparsePoint(const char *path) {
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (win::isNt()) {
        const wchar_t *wide = widePathForCalls(path, true, &walkerPaths);
        if (wide != nullptr && attributesW != nullptr) attributes = attributesW(wide);
    } else {
        char ansi[maxPathBytes + 8];
        if (win::pathToAnsi(path, ansi, sizeof ansi)) {
            size_t length = std::strlen(ansi);
            if (length > 3 && ansi[length - 1] == '\\') ansi[length - 1] = '\0';
            attributes = GetFileAttributesA(ansi);
        }
    }
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The listing has no link count: a file's names are asked of the file
// itself, by getFileLinks.
void keepFileLinks(bool) {}

namespace {

#ifndef FILE_SUPPORTS_HARD_LINKS
#define FILE_SUPPORTS_HARD_LINKS 0x00400000
#endif

// Whether the volume of each drive letter can hold a file under several
// names: 0 not asked yet, 1 it can, 2 it cannot (FAT, CD-ROM, Windows 9x).
uint8_t linksOfLetter[26];

// The volume of `path` can hold hard links: NTFS or ReFS, or a system
// that says so; asked once per drive letter. A path without a letter is
// taken to be on such a volume.
bool volumeHoldsLinks(const char *path) {
    if (!win::isNt()) return false;
    char letter = (char)(path[0] & ~0x20);
    if (letter < 'A' || letter > 'Z' || path[1] != ':') return true;
    uint8_t &known = linksOfLetter[letter - 'A'];
    if (known == 0) {
        char root[4] = {letter, ':', '\\', '\0'};
        char system[32] = "";
        DWORD flags = 0;
        bool asked = GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, system, sizeof system) != 0;
        bool holds = (flags & FILE_SUPPORTS_HARD_LINKS) != 0 || std::strcmp(system, "NTFS") == 0 ||
                     std::strcmp(system, "ReFS") == 0;
        known = asked && holds ? 1 : 2;
    }
    return known == 1;
}

}  // namespace

// Opened only to read its attributes, a link itself rather than its target.
bool getFileLinks(const char *path, FindData *data) {
    if (!volumeHoldsLinks(path)) {
        data->links = 1;
        data->identity = FileIdentity{0, 0};
        return true;
    }
    const wchar_t *wide = widePathForCalls(path, false, &walkerPaths);
    if (wide == nullptr || createFileW == nullptr) return false;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE h = createFileW(wide, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr);
    BY_HANDLE_FILE_INFORMATION info;
    if (!closedAfterInfo(h, &info)) return false;
    data->links = info.nNumberOfLinks;
    data->identity.volume = info.dwVolumeSerialNumber;
    data->identity.index = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
    return true;
}

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
FILE *openFile(const char *path, const char *mode, bool *) {
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

// The shared settings file is where its Windows path says; the folders'
// permissions say who may put a file there.
FILE *openSharedSettingsFile(const char *path, const char *mode, bool *) { return openFile(path, mode); }

namespace win {

bool beyondDrives(const char *path) {
    auto slash = [](char c) { return c == '\\' || c == '/'; };
    return slash(path[0]) && (slash(path[1]) || (path[1] == '?' && path[2] == '?' && slash(path[3])));
}

}  // namespace win
