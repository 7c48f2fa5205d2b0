// The seam between Folmar and the operating system. Every service the program
// needs from the machine is declared here under the system's own names, with
// the meaning of the Win32 call it stands for. Three implementations exist:
// posix/ (Linux emulation of drives and console), win32/ (the real calls) and
// fake/ (an in-memory machine for the tests). Nothing outside platform/ may
// depend on which one is linked. Every name and path that crosses the seam is
// UTF-8 text; the platform converts to and from what its system uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- Directory enumeration (FindFirstFileA / FindNextFileA / FindClose) ----

enum : uint32_t { fileAttributeDirectory = 0x10, fileAttributeReparsePoint = 0x400 };

// The longest path of a target, a setting or a name (MAX_PATH less its
// terminator), in characters, and the bytes that many characters can take
// in UTF-8.
enum : int { maxPathChars = 259, maxPathBytes = 4 * maxPathChars };
// The longest path the walk enters, final backslash included (the limit of
// the Windows NT calls), and its bytes.
enum : int { walkPathChars = 32767, walkPathBytes = 4 * walkPathChars };

// What makes a file or directory itself (GetFileInformationByHandle): the volume's
// serial number and the file index.
struct FileIdentity {
    uint64_t volume;
    uint64_t index;
};

// The find record, the fields of WIN32_FIND_DATA that the walk uses, names in
// UTF-8 (a name of 259 characters fits whatever its characters), and the
// space a file takes on its disk as far as the system knows it cheaply:
// POSIX its allocated blocks (st_blocks * 512), Windows its size rounded up
// to the cluster size of the drive the walk reads. A file's names (its link
// count) and identity come with it only where the listing gives them
// cheaply and the walk asked for them (keepFileLinks), else links is 0.
struct FindData {
    uint32_t attributes;          // only the directory bit is tested
    uint32_t nFileSizeHigh;       // high 32 bits of the size
    uint32_t nFileSizeLow;        // low 32 bits of the size
    uint64_t allocatedSize;       // bytes on disk (0 for a directory)
    uint32_t links;               // names the file has (hard links); 0 when not known
    FileIdentity identity;        // the file's volume and index, when links is known
    char cFileName[maxPathBytes + 1];  // long name, NUL-terminated
    char cAlternateFileName[48];  // short 8.3 name, empty when there is none
};

typedef intptr_t FindHandle;
const FindHandle invalidFindHandle = -1;

// Opens an enumeration of `searchPath` (a directory path followed by "*.*")
// and fills `data` with its first entry. Short names are filled only when
// `shortNames` asks for them (the enumeration may be faster without). Returns
// invalidFindHandle when the directory cannot be enumerated (missing, denied,
// not ready, too long, out of memory or handles: see getLastError) or holds
// no entry at all. As on Windows, a directory other than a drive root lists
// "." and ".." (directory bit set) before its own entries; the POSIX
// emulation lists "." in every directory, so an empty directory that can be
// opened still gives a handle. `parent` is a hint: invalidFindHandle, or
// the caller's open enumeration of the directory that holds the one searched,
// whose entry delivered last is that directory (the walk entering a
// subdirectory); the enumeration may then find it without reading its path
// again. The result is the same with or without the hint.
FindHandle findFirstFile(const char *searchPath, FindData *data, bool shortNames,
                         FindHandle parent = invalidFindHandle);
// Fills `data` with the next entry; false when none is left.
bool findNextFile(FindHandle handle, FindData *data);
void findClose(FindHandle handle);

// Windows error codes of a failed findFirstFile that the walk tells apart:
// a directory without entries (2, only a drive root has none), one that
// does not exist, the machine out of open files or memory, access denied, a
// name the system cannot hold, a path too long for it, a link that leads
// back into itself.
enum : uint32_t {
    errorFileNotFound = 2, errorPathNotFound = 3, errorTooManyOpenFiles = 4, errorAccessDenied = 5,
    errorNotEnoughMemory = 8, errorInvalidName = 123, errorFilenameExcedRange = 206,
    errorCantResolveFilename = 1921
};
// The error code of the latest failed findFirstFile (GetLastError).
uint32_t getLastError();
// The identity of the directory `path` names (its final backslash may be
// there), a reparse point followed to its target; false when it cannot be
// had. Asked only for directories whose find record has the reparse-point
// attribute; the POSIX emulation sets none.
bool getDirectoryIdentity(const char *path, FileIdentity *identity);
// The directory `path` names (its final backslash may be there) is itself a
// reparse point as it stands now, not followed: a folder that became a link
// after it was listed. False when it is none or cannot be asked; the POSIX
// emulation sets none.
bool isReparsePoint(const char *path);
// Whether the walk wants each file's link count and identity in its find
// records; asked once, before the first enumeration of a walk. POSIX then
// keeps them from the stat that gives each size (no call of its own);
// without it no record has room for them. Windows lists none.
void keepFileLinks(bool keep);
// The link count and identity of the file `path` (a non-directory just
// listed, whose record has links 0) into `data`: Windows opens it to read
// its attributes only, and only on a volume that can hold hard links
// (elsewhere every file has one name). False when they cannot be had.
bool getFileLinks(const char *path, FindData *data);
// The long names of this enumeration may be look-alikes of the real ones
// (Windows 9x, ANSI code page): an entry with a short name is then entered
// by its short name, so that the walk never leads into a sibling.
bool enterByShortNames();

// ---- Directories the walk leaves out ----

// True when the walk leaves out (never enters) the subdirectory `name`,
// whose short name is `shortName` ("" when it has none), of the directory
// whose path is the first `parentLength` bytes of `parentPath`, final
// backslash included. It only reads: any thread may ask.
typedef bool (*ExclusionTest)(const char *parentPath, size_t parentLength, const char *name,
                              const char *shortName);
// Installed once, before the first walk (none by default): what the
// platform reads ahead of the walk is never a directory the test leaves
// out. Without `needsParentPath` the test looks at names alone, and is
// given an empty path.
void setExclusionTest(ExclusionTest test, bool needsParentPath);

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
// into `buffer` (`length` bytes) and returns its length in bytes. When it
// does not fit, `buffer` holds as much of it as fits, cut at a character,
// and the length it needs (more than `length` - 1) is returned. Returns 0
// when the working directory lies on no drive; `buffer` then holds the
// system's own text of the directory, for the message.
uint32_t getCurrentDirectory(uint32_t length, char *buffer);

struct LocalTime {
    int year, month, day, hour, minute;
};
void getLocalTime(LocalTime *now);

// ---- The host's own paths ----

// What an argument that is no switch and no drive form ("D:...") names in
// the host's own path form. Windows has none: every argument is a Windows
// path. POSIX: an argument that holds '/' after its first character, or
// begins with '/' and names an existing object, or is "." or "..".
enum class HostPath : char {
    notHostPath,  // a Windows path, to be taken as it stands
    drivePath,    // *drivePath holds its drive form, names as on disk
    onNoDrive,    // it lies inside no drive's directory
    tooLong       // its drive form is longer than `room` holds
};
// A host path is taken from the working directory and resolved as far as it
// exists (".", "..", links; a link is followed only where it lands inside a
// drive), then given in drive form ("C:\usr\share") in `drivePath`.
HostPath hostPathTarget(const char *argument, char *drivePath, size_t room);
// A drive form written with the host's separator ("c:/usr/share" on POSIX)
// gets backslashes in place, so that it reads "c:\usr\share". Windows
// leaves it as it is.
void hostSeparatorsToBackslashes(char *target);
// The report file of an all-drives run when no setting names one, into
// `path` (`room` bytes): Windows "C:\FolmarAll.txt"; POSIX FolmarAll.txt in
// the working directory, in drive form. False when the working directory
// lies on no drive (POSIX) or its drive form would not fit.
bool defaultReportFile(char *path, size_t room);
// The places the shared settings file is looked for, for the message that
// none was found ("~/.config/folmar/Folmar.ini, /etc/folmar/Folmar.ini");
// null where the shared file has its one Windows place.
const char *sharedSettingsPlaces();

// ---- Process ----

// Prepares the process before anything else runs, and hands over the
// arguments as UTF-8 (argv may be replaced). POSIX: descriptors 0 to 2 that
// are closed are opened on /dev/null, the soft limit of open files is
// raised to the hard one, a file size limit makes a write fail instead of
// ending the process, and a signal that ends it restores the terminal and
// removes unfinished replacements first.
void platformStartUp(int *argc, char ***argv);

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
// scanf("%d"); *value is left unchanged when no number can be read. False
// when there was no answer at all: standard input at its end, or none.
bool readIntegerFromStdin(int *value);

// ---- Files and text ----

// fopen() of a Windows path ("Folmar.ini", "C:\Orvan\Folmar.ini"): a name
// with a drive letter names a file of that drive, one without is relative
// to the current directory. Only a regular file on a real file system is
// opened (for writing: or one created anew); a FIFO, a device, a directory
// or a kernel pseudo file of that name gives nullptr, and opening never
// blocks. A link in the path is followed only where it stays on the drive.
// The program reads its settings with it; files it writes are replacements.
// On Windows a UNC or device-namespace name ("\\server\share", "\\?\")
// opens nothing. A file that another user may have put there is not opened
// either: POSIX, one that belongs to neither the running user nor root, or
// that users other than its owner may write; *foreign (when given) is then
// set. (Windows sets it never.)
FILE *openFile(const char *path, const char *mode, bool *foreign = nullptr);

// Opens the settings file shared by every directory, whose Windows path is
// `path` ("C:\Orvan\Folmar.ini"), as openFile(path, mode) does. POSIX looks
// first where Linux keeps settings: the user's configuration directory
// ($XDG_CONFIG_HOME, by default ~/.config), then /etc, each in a "folmar"
// folder; the first regular file found is the one opened. A place whose
// file another user may have put there is passed over, and *foreign set.
FILE *openSharedSettingsFile(const char *path, const char *mode, bool *foreign = nullptr);

// A file written whole (the report file, an export): it is written to a new
// file in the folder of `path` and takes the place of `path` only when it is
// complete, so a run that fails or is interrupted leaves what was there as
// it was, and a hard link or another user's file at that name is replaced,
// never written into. No link is followed anywhere in `path` below its
// drive. On Windows a printer port (PRN, LPT1 to LPT9, in any folder and
// with any extension) is written directly. Returns the new file's stream, or nullptr when no replacement can
// be made (no such folder, a name that is no regular file, a kernel pseudo
// file system, no room). A signal that ends the process removes the new
// files of the replacements still open. Two may be open at once. A report
// is text, with the system's line ends (CR LF on Windows); a `binary` file
// (an export) gets its bytes exactly as they are written.
FILE *createReplacement(const char *path, bool binary = false);
// Why the latest createReplacement gave nullptr, when the system told:
// errorSharingViolation when another program has the file open and does
// not let it be replaced; else 0.
uint32_t replacementError();
enum : uint32_t { errorSharingViolation = 32 };
// Flushes and closes `file` (from createReplacement) and puts it in place
// of its path. False when any write, the flush, the close or the renaming
// failed; the new file is then removed and the old one left as it was.
bool commitReplacement(FILE *file);
// Why the latest createReplacement failed, as the system words it, in small
// letters and without a final stop ("permission denied").
const char *replacementFailure();
// Closes `file` (from createReplacement) and removes it; the old file stays.
void abandonReplacement(FILE *file);
// The entry `name` of the directory searched by `searchPath` ("...\*.*")
// is one of the new files of the replacements still open (by its identity:
// volume and file index, device and inode), which no figure of the run is
// to include.
bool isOwnNewFile(const char *searchPath, const char *name);
// `writtenPath`, as a replacement would take its place, and `readPath`, as
// openFile (or, for the shared settings file's path, openSharedSettingsFile)
// last opened it, name the same existing file.
bool isSameFile(const char *writtenPath, const char *readPath);
// `writtenPath`, as a replacement would take its place, names the existing
// file that standard output writes to (a redirection into it), whose text a
// replacement would take away. Windows 9x, which cannot tell, says no.
bool isStandardOutput(const char *writtenPath);

// Writes the UTF-8 `text` to `stream` (standard output or a report file) in
// the encoding its reader expects: unchanged on POSIX; on Windows the real
// characters on a console, else the ANSI code page with '?' for what it
// cannot hold. False when the write failed.
bool writeText(FILE *stream, const char *text);
// The bytes the character `code` (beyond ASCII) takes where `stream`
// (standard output or a report file) is written in a code page: on Windows
// redirected output and the report file in the ANSI code page, a Windows 9x
// console in its own. 0 when the code page cannot hold it: writeText then
// writes one '?'. -1 when `stream` gets the real characters (POSIX, the
// console of the NT family), which take the columns a terminal gives them.
int codePageBytes(FILE *stream, uint32_t code);
// Converts `length` bytes of text in the system's ANSI code page (a settings
// file saved by an editor in it) to UTF-8 in `out` (`room` bytes), stopping
// before a character that would not fit, and returns the bytes written; -1
// where the system has no such code page (POSIX: names are the file
// system's bytes as they are).
long ansiTextToUtf8(const char *text, size_t length, char *out, size_t room);

// The program's own standard output stream, set up for the platform
// (fully buffered when it is not a terminal).
FILE *platformStdout();

// ---- Standard error, the clock of a long run, scratch files ----

// The program's standard error stream, unbuffered.
FILE *platformStderr();
// The width in columns of the terminal (console) that standard error
// writes to; 0 when standard error is no terminal.
int stderrTerminalColumns();
// Milliseconds since some moment before the run, from a clock that never
// goes back (GetTickCount64).
uint64_t monotonicMilliseconds();
// A new scratch file, open for reading and writing, that goes when it is
// closed or the process ends; nullptr when none can be made.
FILE *openTemporaryFile();
// Ends the process with `code`; open streams are flushed.
[[noreturn]] void exitProcess(int code);
