// Control of the fake machine that the unit tests link instead of a real
// platform: an in-memory tree of drives, directories and files, disk figures
// and failures, the version, the clock, the current directory, a scripted
// console, and the files the program opens (kept in temporary files).
// fakeReset() gives an empty machine, whose standard error is no terminal
// and whose monotonic clock stands still.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// Empty machine: no drives, build 1001, clock 01-18-2008 09:05, current
// directory "C:\", standard output redirected (not a character device), no
// console (key reads fail at once), no integer on standard input, no code
// page. The captured standard output and standard error are emptied.
void fakeReset();

// ---- drives and tree (paths in Windows form, compared without regard to case) ----
void fakeAddDrive(char letter, uint32_t type);
// Creates a directory (and its missing parents) such as "C:\A\B".
void fakeAddDir(const char *path, const char *shortName = "");
// Creates a file such as "C:\A\f.txt" of `size` bytes (parents created); it
// takes its size rounded up to 4,096 bytes on disk.
void fakeAddFile(const char *path, uint64_t size, const char *shortName = "");
// A link (a reparse point, as a junction) at `path` to the directory
// `targetPath`: listed as a directory with the reparse-point attribute, and
// a path through it leads into the target.
void fakeAddLink(const char *path, const char *targetPath);
// The directory at `path`, listed as it is, is a link to `targetPath` from
// the moment a path first leads through it (swapped as the walk enters it).
void fakeSwapForLink(const char *path, const char *targetPath);
// Enumerations of this directory fail from the `afterCalls`-th findFirstFile
// of it on (0: every one; 1: the first succeeds, later ones fail), with
// `errorCode` for getLastError (by default access denied).
void fakeFailDir(const char *path, int afterCalls = 0, uint32_t errorCode = errorAccessDenied);
// findFirstFile calls that asked for short names, and how many handles are open.
int fakeShortNameRequests();
int fakeOpenFindHandles();
// The enumeration's long names may be look-alikes (Windows 9x).
void fakeSetEnterByShortNames(bool enter);
// The logical-drive list cannot be obtained (the query returns 0).
void fakeFailDriveStrings();

// ---- disk space ----
void fakeSetDiskSpace(char letter, uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                      uint32_t freeClusters, uint32_t totalClusters);
void fakeSetDiskSpaceEx(char letter, uint64_t freeToCaller, uint64_t totalBytes,
                        uint64_t totalFree);
// Both queries of this letter fail with `errorCode`. (A letter that is no
// drive fails with errorPathNotFound without this.)
void fakeFailDiskSpace(char letter, uint32_t errorCode);
// The extended entry point cannot be found.
void fakeSetDiskSpaceExAvailable(bool available);
int fakeDiskQueries();  // classic and extended calls made so far

// ---- system ----
void fakeSetBuild(uint32_t build);
void fakeFailVersion();
void fakeSetCurrentDirectory(const char *windowsPath);
// The working directory lies on no drive; `nativeText` is shown in the message.
void fakeSetCurrentDirectoryOffDrive(const char *nativeText);
// Queues a time for getLocalTime; the last time given repeats.
void fakeQueueClock(LocalTime next);

// ---- console ----
void fakeSetStdoutCharDevice(bool isCharDevice);
// A console is present: key reads block (are counted) when no key is queued.
void fakeSetConsole(bool present);
// A key code typed ahead, before the next read (a two-part key is 0 or 0xE0
// and its scan code, typed one after the other).
void fakeTypeKey(int code);
// A key pressed while a read waits on an empty queue: each call adds one
// that arrives when a read finds nothing typed.
void fakePressLater(int code);
// Reads that found no key at all (the wait would have blocked).
int fakeBlockedReads();
// Key codes handed out by consoleGetKey so far.
int fakeKeysRead();
// Bytes of the captured standard output that had been flushed, so that a
// user saw them, when the latest key or integer read began.
size_t fakeShownAtLastRead();
// Standard error is a terminal of `columns` columns (0: it is none).
void fakeSetStderrTerminal(int columns);
// Each reading of the monotonic clock is `milliseconds` after the one before.
void fakeSetClockStep(uint64_t milliseconds);
// The captured standard error as it stood when the latest key read began.
std::string fakeStderrAtLastRead();
// The integer the width question reads; without it (or a word) standard
// input is at its end.
void fakeSetStdinInteger(int value);
// The width question reads an answer that is no number.
void fakeSetStdinWord();

// ---- the host's own paths ----
// The machine is a Linux host: drive forms may be written with '/', the
// default report file is in the current directory, and the places of the
// shared settings file are named.
void fakeSetLinuxHost(bool isLinux);
// hostPathTarget gives `kind` (and `drivePath`) for exactly this argument;
// every other argument is no host path.
void fakeSetHostPath(const char *argument, HostPath kind, const char *drivePath = "");
// The reason replacementFailure() gives (by default "access denied").
void fakeSetReplacementFailure(const char *reason);

// Redirected standard output and the report file are written in an ANSI
// code page, and a settings file that is no UTF-8 is read in it: Latin-1
// (U+0080 to U+00FF, one byte each) with the CJK ideographs U+4E00 to U+9FFF
// in two bytes, as a double-byte code page holds them. The text is still
// captured in UTF-8; codePageBytes tells what would be written.
void fakeSetCodePage(bool ansi);

// ---- captured standard output and files ----
// Everything written to platformStdout() since fakeReset().
std::string fakeStdoutText();
// Everything written to platformStderr() since fakeReset().
std::string fakeStderrText();
// A file that openFile() can read (e.g. "Folmar.ini", "C:\Orvan\Folmar.ini").
void fakePutFile(const char *path, const std::string &content);
// Content of a file written through openFile() (after it was closed or
// flushed) or put in place by commitReplacement().
std::string fakeFileText(const char *path);
bool fakeFileExists(const char *path);
// openFile and createReplacement of this path fail; a replacement with
// `error` (replacementError(); access denied unless said).
void fakeFailOpen(const char *path, uint32_t error = 5);
// Replacements created and neither committed nor abandoned; abandoned.
int fakeOpenReplacements();
int fakeAbandonedReplacements();
// Writes to this file (or to a replacement of it) fail as on a full disk.
void fakeFullDisk(const char *path);
