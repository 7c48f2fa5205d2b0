// Windows drives, disk space, version, current directory and clock over the
// ANSI Win32 calls. Every call is made as the program's design names it;
// the extended free-space query is looked up in kernel32 at every use, so a
// system without it (the first Windows 95) still runs the program.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

#include "platform/platform.h"

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
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC entry = kernel ? GetProcAddress(kernel, "GetDiskFreeSpaceExA") : nullptr;
    // FARPROC to the real signature: the usual way to call a looked-up entry.
    foundDiskFreeSpaceEx = reinterpret_cast<GetDiskFreeSpaceExAFn>(
        reinterpret_cast<void (*)()>(entry));
    return foundDiskFreeSpaceEx ? diskFreeSpaceEx : nullptr;
}

// ---- system ----

// GetVersionExA is marked deprecated in newer Windows SDKs; it is the call
// that answers with the build number on every Windows from 95 on.
#ifdef _MSC_VER
#pragma warning(push)
#pragma warning(disable : 4996)
#endif
bool getVersionBuild(uint32_t *buildNumber) {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = 148;  // the 8-bit record: sizeof(OSVERSIONINFOA)
    if (!GetVersionExA(&info)) return false;
    *buildNumber = info.dwBuildNumber;
    return true;
}
#ifdef _MSC_VER
#pragma warning(pop)
#endif

// A current directory that begins with a drive letter is on a drive; a UNC
// directory ("\\server\share\dir") is on none, and its text is returned for
// the message. A directory too long for `buffer` is returned cut short.
bool getCurrentDirectory(uint32_t length, char *buffer) {
    if (length == 0) return false;
    DWORD n = GetCurrentDirectoryA(length, buffer);
    if (n == 0) {
        buffer[0] = 0;
        return false;
    }
    if (n >= length) {
        char whole[32768];
        DWORD m = GetCurrentDirectoryA(sizeof whole, whole);
        if (m == 0 || m >= sizeof whole) whole[0] = 0;
        std::strncpy(buffer, whole, length - 1);
        buffer[length - 1] = 0;
        return false;
    }
    return buffer[1] == ':';
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
