// RunState: the one process-wide record of a Folmar run. Settings, mode flags,
// the current path, counters and totals, page bookkeeping, roll-up state, the
// drive cursor and the disk-space figures all live here, grouped by the
// subsystem that owns them. Every routine reads and writes it directly.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

// Report line widths: the console's, and the range a printed report takes
// (the width question's answers and lineWidthPrint alike).
enum : int { consoleLineWidth = 78, narrowestLineWidth = 75, widestLineWidth = 125 };

struct RunState {
    // ---- settings and mode (run control, settings file) ----
    char showDirs;              // 'L' long names, 'S' short names, 'N' no directory lines
    char showFiles;             // 'N' none, 'S' short names, 'L' long names
    char processLocalDrives;    // 'Y'/'N': fixed drives in an all-drives run
    char processRemoteDrives;   // 'Y'/'N': network drives in an all-drives run
    int lineWidthPrint;         // width from the settings file, 0 = not given
    int pageSize;               // report lines per page of the output file
    char driveList[109];        // "C:\<NUL>D:\<NUL><NUL>" from the settings, empty = all
    char runMode;               // ' ' single-path run, '~' all-drives run
    char outputFile[257];       // report file of an all-drives run
    char exportFile[257];       // export of the walk (/X: or exportFile=), empty = none
    bool stdoutRedirected;      // standard output is not a character device
    bool condensed;             // /C: first-level roll-up
    bool pausePerScreen;        // /P: pause every 23 directory lines
    char osLevel;               // 'O' classic disk query, 'N' extended
    int lineWidth;              // width of a directory line that carries a size
    int pathColumn;             // lineWidth - 14: first column of the size text
    unsigned wrapFloor;         // pathColumn / 2: breaks are searched above it
    int cpi;                    // characters per inch advised for printing
    char curPath[walkPathBytes + 5]; // directory being processed, UTF-8 (room for "*.*")
    char searchPattern[4];      // "*.*"
    char driveLetter;           // letter shown in headers and totals
    LocalTime runDate;          // local date and time for the headers
    char targetArg[4 * 520];    // the target argument while it is normalised (520 characters)
    bool targetTooLong;         // the target argument did not fit targetArg
    bool exportTooLong;         // the /X: path did not fit exportFile
    bool listNotRead;           // /E: list the directories that could not be read

    // ---- streams ----
    FILE *con;                  // standard output: console text and single-path report
    bool stdoutFailed;          // a write or flush of standard output failed
    FILE *outFile;              // new report file of an all-drives run, until it replaces the old; or null
    bool outFileWriteFailed;    // a write, flush or close of the report file failed
    FILE *err;                  // standard error: the not-read list, the progress display

    // ---- settings reader ----
    FILE *settingsFile;         // open only while the settings are read
    const char *settingsRead;   // the settings file's path as it was opened, or null
    char settingsLine[4 * 80 + 1]; // one piece of at most 80 characters (UTF-8)
    int settingsLineNumber;     // pieces read so far; the first is record 1

    // ---- counters and totals (directory walk) ----
    uint64_t i64DirAlloc;       // bytes of the files directly in the current directory
    uint32_t dirCount;          // subdirectories found below the start, per drive
    uint32_t fileCount;         // files found, per drive
    uint64_t i64TotalAlloc;     // running byte total of the drive (saturates)
    uint64_t i64SaveTotalAlloc; // i64TotalAlloc after the previous line
    char linePath[walkPathBytes + 5]; // copy of curPath handed to the roll-up
    bool runAborted;            // the walk stopped: out of memory or open files, or a total went down
    uint64_t notReadCount;      // directories the walk could not read, over the run
    uint64_t i64GrandDirs;      // grand totals, each saturating
    uint64_t i64GrandFiles;
    uint64_t i64GrandAlloc;
    uint64_t i64GrandUsed;      // osLevel 'O'
    uint64_t i64GrandFree;
    uint64_t i64GrandCapacity;
    uint64_t i64GrandTotalFree; // osLevel 'N'
    uint64_t i64GrandFreeToCaller;
    uint64_t i64GrandTotalBytes;

    // ---- condensed roll-up ----
    bool rollUpFirst;           // nothing is pending; the next call starts afresh
    bool rollUpFlush;           // the next call is the end-of-drive flush
    char pendingPath[maxPathBytes + 5]; // pending first-level path, the comparison key
    char pendingPrintPath[maxPathBytes + 5]; // copy of it handed to printDirLine
    uint64_t i64PendingAlloc;   // bytes accumulated for the pending line

    // ---- page bookkeeping (report layout) ----
    uint32_t lineCount;         // lines on the current page of the output file
    int pageNumber;             // current page, printed with "%2d"
    uint32_t screenLines;       // directory lines on the console since the last /P pause
    char dateTimeText[64];      // runDate as "%02i-%02i-%i at %02i:%02i Hours"

    // ---- drive list ----
    char driveStrings[109];     // working list of drive roots, NUL-padded
    int driveCursor;            // offset of the next entry, -1 = unset
    char curDrive[109];         // entry under consideration, or empty

    // ---- disk space ----
    uint32_t freeBytes;         // classic query, 32-bit (wraps)
    uint32_t usedBytes;
    uint32_t capacityBytes;     // usedBytes + freeBytes, set by the totals block
    uint64_t i64FreeToCaller;   // extended query
    uint64_t i64TotalFree;
    uint64_t i64TotalBytes;
};

extern RunState rs;

// Puts every field back to its value at program start; `con` becomes the
// platform's standard output, and the run has no sink yet. Called once by
// main, and by tests between cases.
void resetRunState();
