// Files written whole on Windows (the report file, an export): a new file,
// created exclusively beside the old one, takes its place only once it is
// complete (MoveFileEx on NT; Windows 9x lacks it, so there the old file is
// deleted first). A run that fails leaves the old file as it was. Ctrl+C,
// Ctrl+Break or a closed console window remove the new files (on NT, where
// a file in use can be deleted). Two files are the same when they have one
// volume serial number and file index (NT), or one full short path (9x).
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace {

typedef HANDLE(WINAPI *CreateFileWFn)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
typedef BOOL(WINAPI *DeleteFileWFn)(LPCWSTR);
typedef BOOL(WINAPI *MoveFileExWFn)(LPCWSTR, LPCWSTR, DWORD);

// Looked up before main runs (see win32.h): Windows 95 lacks them.
const CreateFileWFn createW = win::lookUp<CreateFileWFn>("kernel32.dll", "CreateFileW");
const DeleteFileWFn deleteW = win::lookUp<DeleteFileWFn>("kernel32.dll", "DeleteFileW");
const MoveFileExWFn moveExW = win::lookUp<MoveFileExWFn>("kernel32.dll", "MoveFileExW");

const size_t pathRoom = maxPathBytes + 16;
enum : int { maxReplacements = 4 };

// A path as the system's calls take it: wide on NT, ANSI on Windows 9x.
struct SysPath {
    wchar_t wide[pathRoom];
    char ansi[pathRoom];
};

// The UTF-8 `path` (or, when it is no UTF-8, text in the ANSI code page)
// as the system takes it; false when it does not fit or cannot be held.
bool toSysPath(const char *path, SysPath *out) {
    out->wide[0] = 0;
    out->ansi[0] = 0;
    bool utf8 = win::isUtf8(path);
    if (!win::isNt()) {
        if (utf8) return win::pathToAnsi(path, out->ansi, sizeof out->ansi);
        if (std::strlen(path) >= sizeof out->ansi) return false;
        std::strcpy(out->ansi, path);
        return true;
    }
    if (!utf8) return MultiByteToWideChar(CP_ACP, 0, path, -1, out->wide, (int)pathRoom) != 0;
    size_t used;
    win::toWide(path, out->wide, pathRoom, &used);
    return path[used] == '\0';
}

// Opens `p` letting others read and write it (NT: and delete it), or, with
// `readersOnly`, only read it.
HANDLE openSys(const SysPath &p, DWORD access, DWORD disposition, DWORD flags, bool readersOnly = false) {
    const DWORD share = readersOnly ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (!win::isNt()) return CreateFileA(p.ansi, access, share, nullptr, disposition, flags, nullptr);
    if (createW == nullptr) return INVALID_HANDLE_VALUE;
    DWORD shareNt = readersOnly ? share : share | FILE_SHARE_DELETE;
    return createW(p.wide, access, shareNt, nullptr, disposition, flags, nullptr);
}

bool deleteSys(const SysPath &p) {
    return win::isNt() ? deleteW != nullptr && deleteW(p.wide) : DeleteFileA(p.ansi) != 0;
}

bool moveSys(const SysPath &from, const SysPath &to) {
    if (win::isNt())
        return moveExW != nullptr && moveExW(from.wide, to.wide, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!DeleteFileA(to.ansi) && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    return MoveFileA(from.ansi, to.ansi) != 0;
}

// Opens what `p` names, whatever it is, a link itself unless `followLink`
// (NT). Returns the handle (INVALID_HANDLE_VALUE when it cannot be opened).
HANDLE lookAt(const SysPath &p, bool followLink) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (win::isNt() && !followLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    return openSys(p, 0, OPEN_EXISTING, flags);
}

// The record of the disk file `p` names; false when there is none.
bool diskFileInfo(const SysPath &p, bool followLink, BY_HANDLE_FILE_INFORMATION *info) {
    HANDLE h = lookAt(p, followLink);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool known = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return known;
}

// Why the latest createReplacement made nothing, when it is known.
uint32_t refusal = 0;

// The existing file `p` can be replaced while other programs have it open:
// it opens with the access the replacement needs (NT: deleting it, which
// the move onto it does; 9x: writing, as it is deleted first) and the
// sharing a reader allows. Only a sharing or lock violation counts against
// it: the folder's rights may allow what the file's own do not.
bool heldByNoOther(const SysPath &p) {
    DWORD access = win::isNt() ? DELETE : GENERIC_WRITE;
    HANDLE h = openSys(p, access, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, true);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return true;
    refusal = errorSharingViolation;
    return false;
}

// The name is free, or names a disk file that is no folder, link or device,
// is not read-only (a report made read-only stays as it was) and is held
// open by no program that keeps it from being replaced.
bool replaceable(const SysPath &p) {
    HANDLE h = lookAt(p, false);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    bool usable = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                  (info.dwFileAttributes & refused) == 0;
    CloseHandle(h);
    return usable && heldByNoOther(p);
}

// The device a name stands for wherever it is (in any folder, with any
// extension): "PRN" or "LPT1" to "LPT9", in any case, before the first dot
// of the last component; the bare device name into `device`. A printer
// port takes a report as it is written: there is nothing to replace.
bool printerPort(const char *path, char device[5]) {
    const char *name = path;
    for (const char *c = path; *c != '\0'; ++c)
        if (*c == '\\' || *c == '/' || (c == path + 1 && *c == ':')) name = c + 1;
    size_t length = 0;
    while (name[length] != '\0' && name[length] != '.' && length < 5) ++length;
    if (length < 3 || length > 4 || (name[length] != '\0' && name[length] != '.')) return false;
    for (size_t i = 0; i < length; ++i) device[i] = (char)(name[i] & ~0x20);
    device[length] = '\0';
    if (length == 3) return std::strcmp(device, "PRN") == 0;
    device[3] = name[3];
    return std::strncmp(device, "LPT", 3) == 0 && device[3] >= '1' && device[3] <= '9';
}

// What the console handler reads: the new files still to be completed.
SysPath temps[maxReplacements];
volatile LONG inUse[maxReplacements];
SysPath finals[maxReplacements];
FILE *streams[maxReplacements];
bool toDevice[maxReplacements];  // written straight to a printer port
char tempNames[maxReplacements][16];  // the new file's name in its folder ("~FOL1A2B.TMP")
BY_HANDLE_FILE_INFORMATION tempIdentity[maxReplacements];  // its volume and file index

// Ctrl+C, Ctrl+Break, the window closed: the new files go (on NT, when the
// process has ended and closed them), then the process ends as usual.
BOOL WINAPI onConsoleEnd(DWORD) {
    for (int i = 0; i < maxReplacements; ++i)
        if (inUse[i]) deleteSys(temps[i]);
    return FALSE;
}

// Creates a file of a name no entry has, "~FOL" and four hexadecimal digits
// with ".TMP" (an 8.3 name), in the folder of `path`, into temps[slot].
HANDLE createTemp(const char *path, int slot) {
    size_t folder = 0;
    for (size_t i = 0; path[i] != '\0'; ++i)
        if (path[i] == '\\' || path[i] == '/' || (i == 1 && path[i] == ':')) folder = i + 1;
    char name[pathRoom];
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 8);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 1103515245u + 12345u;
        if (std::snprintf(name, sizeof name, "%.*s~FOL%04X.TMP", (int)folder, path, (unsigned)(seed >> 16)) >=
                (int)sizeof name ||
            !toSysPath(name, &temps[slot]))
            return INVALID_HANDLE_VALUE;
        HANDLE h = openSys(temps[slot], GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (h != INVALID_HANDLE_VALUE && !GetFileInformationByHandle(h, &tempIdentity[slot]))
            std::memset(&tempIdentity[slot], 0, sizeof tempIdentity[slot]);
        if (h != INVALID_HANDLE_VALUE) {
            std::strcpy(tempNames[slot], name + folder);
            return h;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return INVALID_HANDLE_VALUE;
}

int slotOf(FILE *file) {
    for (int i = 0; i < maxReplacements; ++i)
        if (file != nullptr && streams[i] == file) return i;
    return -1;
}

void release(int slot, bool removeFile) {
    if (removeFile && !toDevice[slot]) deleteSys(temps[slot]);
    inUse[slot] = 0;
    streams[slot] = nullptr;
    toDevice[slot] = false;
}

// The stream of `h` in `slot`, in text mode or `binary`; nullptr (the
// handle closed, a new file removed) when the C runtime cannot take it.
FILE *streamOf(HANDLE h, int slot, bool binary) {
    int fd = _open_osfhandle((intptr_t)h, binary ? _O_BINARY : _O_TEXT);
    if (fd < 0) CloseHandle(h);
    streams[slot] = fd >= 0 ? _fdopen(fd, binary ? "w+b" : "w+") : nullptr;
    if (streams[slot] == nullptr) {
        if (fd >= 0) _close(fd);
        release(slot, true);
    }
    return streams[slot];
}

// Opens the printer port `device` ("LPT1") for writing into `slot`;
// nullptr when no such port can be opened (none there, no printer).
FILE *openPrinterPort(const char *device, int slot, bool binary) {
    HANDLE h = CreateFileA(device, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    if (GetFileType(h) != FILE_TYPE_CHAR) {
        CloseHandle(h);
        return nullptr;
    }
    toDevice[slot] = true;
    return streamOf(h, slot, binary);
}

}  // namespace

// A UNC path or a device namespace is refused as a file that cannot be
// opened: a settings file names it, and it would reach another machine.
// A report is written in text mode (CR LF line ends), an export in binary.
// A printer port is written directly.
static FILE *createNewFile(const char *path, bool binary) {
    int slot = -1;
    for (int i = 0; i < maxReplacements && slot < 0; ++i)
        if (!inUse[i] && streams[i] == nullptr) slot = i;
    char device[5];
    if (path == nullptr || slot < 0 || win::beyondDrives(path)) return nullptr;
    if (printerPort(path, device)) return openPrinterPort(device, slot, binary);
    if (!toSysPath(path, &finals[slot]) || !replaceable(finals[slot])) return nullptr;
    static bool handlerSet = false;
    if (!handlerSet) handlerSet = SetConsoleCtrlHandler(onConsoleEnd, TRUE) != 0;
    HANDLE h = createTemp(path, slot);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    inUse[slot] = 1;
    return streamOf(h, slot, binary);
}

// The system's error code of the latest createReplacement that failed; 0
// when the name was refused before the system was asked.
static DWORD lastFailure = 0;

FILE *createReplacement(const char *path, bool binary) {
    refusal = 0;
    SetLastError(0);
    FILE *file = createNewFile(path, binary);
    if (file == nullptr) lastFailure = GetLastError();
    return file;
}

// The system's message for the error, its first letter small, without the
// final stop and line break ("access is denied").
const char *replacementFailure() {
    static char reason[256];
    DWORD length = 0;
    if (lastFailure != 0)
        length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                lastFailure, 0, reason, sizeof reason, nullptr);
    if (length == 0) return "not a file that can be written here";
    while (length > 0 && (reason[length - 1] == '.' || reason[length - 1] == '\r' ||
                          reason[length - 1] == '\n' || reason[length - 1] == ' '))
        reason[--length] = '\0';
    if (reason[0] >= 'A' && reason[0] <= 'Z') reason[0] = (char)(reason[0] - 'A' + 'a');
    return reason;
}

uint32_t replacementError() { return refusal; }

bool commitReplacement(FILE *file) {
    int slot = slotOf(file);
    if (slot < 0) return false;
    bool written = std::fflush(file) == 0 && !std::ferror(file) &&
                   (toDevice[slot] || FlushFileBuffers((HANDLE)_get_osfhandle(_fileno(file))) != 0);
    if (std::fclose(file) != 0) written = false;
    bool moved = written && (toDevice[slot] || moveSys(temps[slot], finals[slot]));
    release(slot, !moved);
    return moved;
}

void abandonReplacement(FILE *file) {
    int slot = slotOf(file);
    if (slot < 0) return;
    std::fclose(file);
    release(slot, true);
}

// `name` is the ASCII name `ascii` in any case (cheaply: asked of every
// file the walk lists while a replacement is open).
static bool sameAsciiName(const char *name, const char *ascii) {
    for (; *ascii != '\0'; ++name, ++ascii)
        if ((*name & ~0x20) != (*ascii & ~0x20)) return false;
    return *name == '\0';
}

// Only an entry of the very name of a new file is looked at: the same name
// in another folder, or another file under it, is no new file of this run.
bool isOwnNewFile(const char *searchPath, const char *name) {
    for (int slot = 0; slot < maxReplacements; ++slot) {
        if (!inUse[slot] || !sameAsciiName(name, tempNames[slot])) continue;
        const char *pattern = std::strrchr(searchPath, '\\');
        size_t folder = pattern == nullptr ? 0 : (size_t)(pattern - searchPath) + 1;
        char path[pathRoom];
        static SysPath entry;
        BY_HANDLE_FILE_INFORMATION info;
        const BY_HANDLE_FILE_INFORMATION &own = tempIdentity[slot];
        if (std::snprintf(path, sizeof path, "%.*s%s", (int)folder, searchPath, name) < (int)sizeof path &&
            toSysPath(path, &entry) && diskFileInfo(entry, false, &info) &&
            info.dwVolumeSerialNumber == own.dwVolumeSerialNumber && info.nFileIndexHigh == own.nFileIndexHigh &&
            info.nFileIndexLow == own.nFileIndexLow)
            return true;
    }
    return false;
}

bool isSameFile(const char *writtenPath, const char *readPath) {
    static SysPath written, read;
    if (writtenPath == nullptr || readPath == nullptr || !toSysPath(writtenPath, &written) ||
        !toSysPath(readPath, &read))
        return false;
    if (!win::isNt()) {
        char full[2][MAX_PATH], shortForm[2][MAX_PATH];
        const char *paths[2] = {written.ansi, read.ansi};
        for (int i = 0; i < 2; ++i)
            if (GetFullPathNameA(paths[i], MAX_PATH, full[i], nullptr) - 1 >= MAX_PATH - 1 ||
                GetShortPathNameA(full[i], shortForm[i], MAX_PATH) - 1 >= MAX_PATH - 1)
                return false;
        return lstrcmpiA(shortForm[0], shortForm[1]) == 0;
    }
    BY_HANDLE_FILE_INFORMATION w, r;
    return diskFileInfo(written, false, &w) && diskFileInfo(read, true, &r) &&
           !(w.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && w.dwVolumeSerialNumber == r.dwVolumeSerialNumber &&
           w.nFileIndexHigh == r.nFileIndexHigh && w.nFileIndexLow == r.nFileIndexLow;
}

bool isStandardOutput(const char *writtenPath) {
    static SysPath written;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    BY_HANDLE_FILE_INFORMATION w, o;
    return writtenPath != nullptr && win::isNt() && out != nullptr && out != INVALID_HANDLE_VALUE &&
           GetFileType(out) == FILE_TYPE_DISK && !win::beyondDrives(writtenPath) && toSysPath(writtenPath, &written) &&
           diskFileInfo(written, false, &w) && GetFileInformationByHandle(out, &o) &&
           w.dwVolumeSerialNumber == o.dwVolumeSerialNumber && w.nFileIndexHigh == o.nFileIndexHigh &&
           w.nFileIndexLow == o.nFileIndexLow;
}
