// RunState: the one process-wide record of what a Folmar run shares. The
// settings and modes, the line width and its columns, the current path, the
// counters and totals, the page bookkeeping, the drive being reported and
// its disk-space figures live here, grouped by the subsystem that owns
// them; what one file alone uses is static in that file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

// The two runs: one directory tree on standard output, or every selected
// drive into the report file.
enum class RunMode : char { singlePath = ' ', allDrives = '~' };
// What a report lists of directories (showDirs) and of files (showFiles):
// long names, short 8.3 names, or nothing.
enum class Listing : char { longNames = 'L', shortNames = 'S', none = 'N' };
// The disk-space query the system offers: unknown until start-up asks the
// build number; the classic 32-bit query, or the extended 64-bit one.
enum class OsLevel : char { unknown = ' ', classic = 'O', extended = 'N' };
// How a file with several names (hard links) counts: at each name, or once,
// at the first name the run meets.
enum class HardLinks : char { each = 'E', once = 'O' };
// The most files the largest-files block lists.
inline constexpr int mostLargestFiles = 1000;

// The widths of a printed report: at each pitch of a fixed-pitch printer,
// the widest line a page takes. They are the answers 1 to 4 of the width
// question; lineWidthPrint takes any width from the first to the last.
struct PrinterPitch {
    int lineWidth;  // characters of a line
    int cpi;        // characters per inch
};
inline constexpr PrinterPitch printerPitches[] = {{75, 10}, {90, 12}, {112, 15}, {125, 17}};
inline constexpr int narrowestLineWidth = printerPitches[0].lineWidth;
inline constexpr int widestLineWidth = printerPitches[3].lineWidth;
// The width of a report on the console.
inline constexpr int consoleLineWidth = 78;
// The size column at the right edge of a directory line.
inline constexpr int sizeColumnWidth = 14;
// The store of the exclusion patterns, their terminators included.
inline constexpr int excludeStoreBytes = 4096;

struct RunState {
    // ---- settings and modes (run control, settings file) ----
    Listing showDirs;           // directory lines by long or short names, or none
    Listing showFiles;          // file names listed by long or short names, or none
    char processLocalDrives;    // 'Y'/'N': fixed drives in an all-drives run
    char processRemoteDrives;   // 'Y'/'N': network drives in an all-drives run
    int lineWidthPrint;         // width from the settings file, 0 = not given
    int pageSize;               // report lines per page of the output file
    char driveList[109];        // "C:\<NUL>D:\<NUL><NUL>" from the settings, empty = all
    RunMode runMode;
    char outputFile[257];       // report file of an all-drives run
    char exportFile[257];       // export of the walk (/X: or exportFile=), empty = none
    bool exportTooLong;         // the /X: path did not fit exportFile
    bool stdoutRedirected;      // standard output is not a character device
    bool condensed;             // /C: first-level roll-up
    bool pausePerScreen;        // /P: pause after every screen of directory lines
    bool listNotRead;           // /E: list the directories that could not be read
    OsLevel osLevel;
    const char *settingsRead;   // the settings file's path as it was opened, or null
    HardLinks hardLinks;        // hardLinks=: a file with several names counts at each, or once
    int largestFiles;           // largestFiles= or /T:N: files listed after each totals block, 0 = none

    // ---- exclusions (exclude=, /I:; common/exclude.h) ----
    char excludePatterns[excludeStoreBytes]; // the patterns, each NUL-terminated, one after another
    int excludePatternCount;    // patterns held
    bool excludeTooMany;        // a pattern found no room: the run is refused
    bool excludeByPath;         // some pattern holds '\': paths are matched, not names alone

    // ---- the line width and its columns: set by setLineWidth alone ----
    int lineWidth;              // width of a directory line that carries a size
    int pathColumn;             // lineWidth - 14: first column of the size text
    unsigned wrapFloor;         // pathColumn / 2: breaks are searched above it
    int cpi;                    // characters per inch advised for printing

    // ---- the drive or directory being reported ----
    char curPath[walkPathBytes + 5]; // directory being processed, UTF-8 (room for "*.*")
    char driveLetter;           // letter shown in headers and totals
    char curDrive[109];         // drive-list entry under consideration, or empty
    LocalTime runDate;          // local date and time for the headers

    // ---- streams ----
    FILE *con;                  // standard output: console text and single-path report
    bool stdoutFailed;          // a write or flush of standard output failed
    FILE *outFile;              // new report file of an all-drives run, until it replaces the old; or null
    bool outFileWriteFailed;    // a write, flush or close of the report file failed
    FILE *err;                  // standard error: the not-read list, the progress display

    // ---- counters and totals (directory walk) ----
    uint32_t dirCount;          // subdirectories found below the start, per drive
    uint32_t fileCount;         // files found, per drive
    uint64_t i64TotalAlloc;     // running byte total of the drive (saturates)
    uint64_t i64SaveTotalAlloc; // the drive's total after its previous directory line
    bool runAborted;            // the walk stopped: out of memory or open files, or a total went down
    uint64_t notReadCount;      // directories the walk could not read, over the run
    uint64_t notListedCount;    // of those, under /E, the ones the list had no room for
    uint64_t excludedCount;     // directories a pattern left out, over the run
    bool walkBegun;             // a walk of this run has started
    uint64_t linksUnchecked;    // names of files with several names counted unchecked: no room to remember them
    uint64_t i64GrandDirs;      // grand totals, each saturating
    uint64_t i64GrandFiles;
    uint64_t i64GrandAlloc;
    uint64_t i64GrandUsed;      // the classic query's
    uint64_t i64GrandFree;
    uint64_t i64GrandCapacity;
    uint64_t i64GrandTotalFree; // the extended query's
    uint64_t i64GrandFreeToCaller;
    uint64_t i64GrandTotalBytes;

    // ---- the condensed roll-up's pending line (scan) ----
    bool rollUpHeld;            // a first-level line is held back
    char rollUpPath[maxPathBytes + 5]; // its path, the comparison key: at most 259 characters
    uint64_t rollUpBytes;       // bytes accumulated for it

    // ---- page bookkeeping (report layout) ----
    uint32_t lineCount;         // lines on the current page of the output file
    int pageNumber;             // current page, printed with "%2d"
    uint32_t screenLines;       // console directory lines since the listing began or the last /P pause

    // ---- disk space ----
    uint32_t freeBytes;         // classic query, 32-bit (wraps)
    uint32_t usedBytes;
    uint32_t capacityBytes;     // usedBytes + freeBytes, settled before the totals block
    uint64_t i64FreeToCaller;   // extended query
    uint64_t i64TotalFree;
    uint64_t i64TotalBytes;
};

extern RunState rs;

// Puts every field of the record back to its value at program start, and
// the state of common/ with it (no sink chosen, the progress display not
// due yet); `con` becomes the platform's standard output, and the line is
// as wide as no width set makes it (the widest). Called by resetRunState
// (app/app.h), which puts back the state the other folders keep too.
void clearRunState();
// The one writer of rs.lineWidth and the columns that derive from it:
// `width` held to narrowestLineWidth..widestLineWidth, pathColumn
// (lineWidth - 14), wrapFloor (pathColumn / 2) and cpi (the pitch of the
// narrowest printer line that holds it). Every other routine reads them.
void setLineWidth(int width);
