// The walk's read-ahead on POSIX systems (readahead.cpp), as the walker's
// enumerations (enumerate.cpp) and its tests use it: the directories it
// will enter next are read on other threads, in walk order. Private to
// platform/posix/.
#pragma once

#include <cstdint>

#include "platform/posix/dirs.h"

namespace posix {

// Read-ahead is on unless FOLMAR_READAHEAD is 0 (a number sets the threads).
// The threads start with the first call of readAheadScheduled().
bool readAheadOn();
// The walker has read `dir` (its subdirs filled) and opened its enumeration
// for a walk: its subdirectories come next in walk order, before anything
// scheduled so far. Nothing happens when read-ahead is off.
void readAheadScheduled(OpenDir *dir);
// The walker enters the subdirectory of its open directory `parent` whose
// record is at `entry`. Returns that directory as read ahead (the caller
// owns it, its descriptor open, its subdirectories already scheduled), or
// nullptr: then the walker reads it itself. A directory that is no longer
// the one read ahead (gone, renamed, replaced, changed or made unreadable)
// is never returned.
OpenDir *readAheadTake(OpenDir *parent, uint32_t entry);
// The walker is done with `dir`: whatever is still scheduled below it is
// dropped, and no read-ahead thread uses its descriptor any more (it waits
// for a read under way through it).
void readAheadReleased(OpenDir *dir);
// Stats what statRange() would over all the records of `dir` after "."; a
// directory of some size is shared out in batches to the read-ahead threads
// that may read and to a thread waiting for it (one of thousands starts
// the threads), and stat'ed on this thread too.
void statEntries(OpenDir *dir, StatOutcome *outcome);

// Memory or a thread could not be had: the read-ahead stops for the rest of
// the run and gives back what it holds; the walk goes on without it.
void readAheadStop();

// For tests: waits until the read-ahead threads have nothing left to do
// (no read under way; nothing to start, or the window is full).
void readAheadSettle();
// For tests, before the first walk: reads ahead as though every core were
// free, so that what is read ahead does not depend on the machine's load.
void readAheadIgnoreLoad();
struct ReadAheadCounts {
    uint64_t read;      // directories read ahead
    uint64_t taken;     // handed to the walker
    uint64_t rejected;  // found changed or gone when the walker came, read afresh
    bool stopped;       // for good: no memory or no thread could be had
};
ReadAheadCounts readAheadCounts();

}  // namespace posix
