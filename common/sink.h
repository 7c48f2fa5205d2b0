// The outputs of a run and what the walk tells them: each is a sink, a
// table of functions, one per event it hears. A run has one report sink (the
// console, or the report file of an all-drives run) and, when asked for, an
// export sink, both chosen once when the run starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

// Nothing below the start of a run asks again where text goes. A null
// function is an event the sink does not hear.
//
// Walk order of the events of one directory D: dirEntered(D), fileListed
// for each of D's files, dirFilesDone (after D's line was handed on), then
// for each subdirectory either its own events, dirNotRead or dirExcluded, then
// dirFinished(D) with the figures of D's whole subtree. A directory that
// holds no entry at all (an empty drive root) is entered and finished
// without dirFilesDone: it gets no report line.

// What the walk counted in one directory and in its whole subtree.
struct DirFigures {
    uint64_t files;     // files directly in it
    uint64_t bytes;     // their bytes (saturating)
    uint64_t subdirs;   // directories below it at every depth, read or not
    uint64_t allFiles;  // files in it and below
    uint64_t allBytes;  // their bytes (saturating)
    bool read;          // its files could be listed
};

struct Sink {
    // ---- the run (an export's first and last text) ----
    void (*runStarted)();
    void (*runFinished)();
    // ---- a drive or target: its walk begins (the report's header) ----
    void (*driveStarted)();
    // ---- the walk ----
    // `path` (`length` bytes, final backslash included) is the directory's
    // path as the walk built it; `name` its long name, null at the start of
    // the walk.
    void (*dirEntered)(const char *path, size_t length, const char *name);
    void (*fileListed)(const FindData &file);
    // rs.curPath is the directory; `errorCode` is 0, or why its files could
    // not be listed.
    void (*dirFilesDone)(uint32_t errorCode);
    void (*dirFinished)(const char *path, size_t length, const DirFigures &figures);
    // A directory counted and never entered: the first `length` bytes of
    // `path`, then `name` when it is not null; `errorCode` says why.
    void (*dirNotRead)(uint32_t errorCode, const char *path, size_t length, const char *name);
    // A directory a pattern left out: not entered, not counted; its path as
    // for dirNotRead, `name` its long name.
    void (*dirExcluded)(const char *path, size_t length, const char *name);
    // ---- the report's text (report sinks only) ----
    FILE *(*stream)();                   // where lines are measured for
    void (*writeLine)(const char *line); // one finished directory line
    void (*writeTotals)();               // a drive's totals block
};

// The report's sink for this run (before the walk); the export's, or null.
void useReportSink(const Sink *sink);
void useExportSink(const Sink *sink);
const Sink &reportSink();
const Sink *exportSink();

// Each event to every sink of the run that hears it, the report first.
void deliverDriveStarted();
void deliverDirEntered(const char *path, size_t length, const char *name);
void deliverFileListed(const FindData &file);
void deliverDirFilesDone(uint32_t errorCode);
void deliverDirFinished(const char *path, size_t length, const DirFigures &figures);
void deliverDirNotRead(uint32_t errorCode, const char *path, size_t length, const char *name);
void deliverDirExcluded(const char *path, size_t length, const char *name);
