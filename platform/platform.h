// The seam between Folmar and the operating system. Every service the program
// needs from the machine is declared here under the system's own names, with
// the meaning of the Win32 call it stands for. Three implementations exist:
// posix/ (Linux emulation of drives and console), win32/ (the real calls) and
// fake/ (an in-memory machine for the tests). Nothing outside platform/ may
// depend on which one is linked.
#pragma once

#include <cstdint>
#include <cstdio>

// ---- Directory enumeration (FindFirstFileA / FindNextFileA / FindClose) ----

enum : uint32_t { fileAttributeDirectory = 0x10 };

// The find record, the fields of WIN32_FIND_DATAA that the walk uses.
struct FindData {
    uint32_t attributes;          // only the directory bit is tested
    uint32_t nFileSizeHigh;       // high 32 bits of the size
    uint32_t nFileSizeLow;        // low 32 bits of the size
    char cFileName[260];          // long name, NUL-terminated
    char cAlternateFileName[14];  // short 8.3 name, empty when there is none
};

typedef intptr_t FindHandle;
const FindHandle invalidFindHandle = -1;

// Opens an enumeration of `searchPath` (a directory path followed by "*.*")
// and fills `data` with its first entry. Returns invalidFindHandle when the
// directory cannot be enumerated (missing, denied, not ready, too long) or
// holds no entry at all. As on Windows, a directory other than a drive root
// lists "." and ".." (directory bit set) before its own entries; the POSIX
// emulation lists "." in every directory, so an empty directory that can be
// opened still gives a handle.
FindHandle findFirstFile(const char *searchPath, FindData *data);
// Fills `data` with the next entry; false when none is left.
bool findNextFile(FindHandle handle, FindData *data);
void findClose(FindHandle handle);

// ---- Drives (GetLogicalDriveStringsA / GetDriveTypeA) ----

enum : uint32_t {
    driveUnknown = 0, driveNoRootDir = 1, driveRemovable = 2, driveFixed = 3,
    driveRemote = 4, driveCdrom = 5, driveRamdisk = 6
};

// Writes "C:\<NUL>D:\<NUL><NUL>" into `buffer` (at most `length` bytes) and
// returns the characters stored without the final NUL; 0 on failure. When the
// buffer is too small, returns the size needed and writes nothing.
uint32_t getLogicalDriveStrings(uint32_t length, char *buffer);
// Drive type code of a root path such as "C:\".
uint32_t getDriveType(const char *rootPath);

// ---- Disk space (GetDiskFreeSpaceA / GetDiskFreeSpaceExA / GetLastError) ----

// Classic query. On failure returns false and sets *errorCode.
bool getDiskFreeSpace(const char *rootPath, uint32_t *sectorsPerCluster,
                      uint32_t *bytesPerSector, uint32_t *freeClusters,
                      uint32_t *totalClusters, uint32_t *errorCode);

// Extended query, looked up at run time; nullptr when the system lacks it.
typedef bool (*DiskFreeSpaceExFn)(const char *rootPath, uint64_t *freeToCaller,
                                  uint64_t *totalBytes, uint64_t *totalFree,
                                  uint32_t *errorCode);
DiskFreeSpaceExFn lookupDiskFreeSpaceEx();

// ---- System (GetVersionExA / GetCurrentDirectoryA / local time) ----

// Fills *buildNumber from the version record of 148 bytes; false on failure.
bool getVersionBuild(uint32_t *buildNumber);

// Writes the current directory in Windows form ("C:\WORK", "C:\" at a root)
// into `buffer` (`length` bytes, 260 in use) and returns true. Returns false
// when the working directory lies on no drive; `buffer` then holds the
// system's own text of the directory, for the message.
bool getCurrentDirectory(uint32_t length, char *buffer);

struct LocalTime {
    int year, month, day, hour, minute;
};
void getLocalTime(LocalTime *now);

// ---- Console ----

// Standard output is a character device (a console, a terminal, NUL).
bool stdoutIsCharDevice();
// Clears the console window and homes the cursor. `out` is the program's one
// output stream; it is flushed first. Does nothing without a console.
void consoleClear(FILE *out);
// Reads one key press without echo, in the manner of _getch(): a cursor or
// function key gives 0 or 0xE0 first and its scan code on the next call.
// Returns -1 at once when no console can be read.
int consoleGetKey();
// A key press is waiting (Shift, Ctrl or Alt alone do not count).
bool consoleKeyWaiting();
// Reads one decimal integer from standard input in the manner of
// scanf("%d"); *value is left unchanged when no number can be read.
void readIntegerFromStdin(int *value);

// ---- Files ----

// fopen() of a Windows path ("Folmar.ini", "C:\Orvan\Folmar.ini",
// "C:\FolmarAll.txt"): a name with a drive letter names a file of that
// drive, one without is relative to the current directory.
FILE *openFile(const char *path, const char *mode);

// ---- Process ----

// The program's own standard output stream, set up for the platform
// (fully buffered when it is not a terminal).
FILE *platformStdout();
// Ends the process with `code`; open streams are flushed.
[[noreturn]] void exitProcess(int code);
