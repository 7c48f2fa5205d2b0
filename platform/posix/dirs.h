// A directory as the POSIX emulation holds it while it is enumerated or read
// ahead: its entries with their names and sizes, the descriptor it was read
// through, and the subdirectories the walk will enter. dirread.cpp reads one;
// readahead.cpp reads the walk's next directories on other threads;
// enumerate.cpp serves enumerations from them. Private to platform/posix/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/platform.h"

namespace posix {

enum : uint8_t { kindDirectory = 1, kindOther = 2 };
enum : uint8_t { flagSizeKnown = 1, flagUnsafe = 2 };

struct Entry {
    uint32_t nameOffset;  // into OpenDir::names, NUL-terminated
    uint16_t nameLength;
    uint8_t kind;
    uint8_t flags;
    uint64_t size;        // st_size once flagSizeKnown is set
    uint64_t allocated;   // st_blocks * 512, from the same stat
};

// What a directory was when it was read ahead, so that the walk can tell
// whether the same directory, unchanged, is still there under its name.
struct DirIdentity {
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec ctime = {0, 0};  // status change: entries, mode, owner, ACL
};

// A directory read from the file system. The walker owns the ones it has
// open; the read-ahead owns the ones it read until the walker takes them.
// Once handed over, a directory's entries and names no longer change,
// except the sizes filled in by entrySize() on the walker's thread.
struct OpenDir {
    std::string key;      // its path key; empty for a one-entry look-up
    bool onDrive = false; // the key is on a drive, not relative
    std::string native;   // its canonical native path
    int fd = -1;
    int users = 0;        // open enumerations
    size_t hint = 0;      // the entry delivered last
    std::vector<Entry> entries;  // "." first, then the directory's entries
    std::vector<char> names;
    size_t windowsLength = 0;      // its Windows path with the final '\'; 0 if unknown
    std::vector<uint32_t> subdirs; // entries the walk will enter, in order
    DirIdentity identity;          // set when read ahead, when fd is given up, or for a loop check
    bool mountPoint = false;       // something is mounted on it (it may lead back up the walk)
    int pins = 0;         // read-ahead reads of a child through fd (under its lock)
    int steps = 0;        // read-ahead steps naming this directory (under its lock)
};

inline const char *nameOf(const OpenDir *dir, const Entry &entry) {
    return &dir->names[entry.nameOffset];
}

// ---- Reading (dirread.cpp) ----

// The longest Windows path of a directory the walk enters, final '\'
// included.
const size_t maxWalkPath = walkPathChars;

void addEntry(OpenDir *dir, const char *name, size_t length, uint8_t kind, uint8_t flags,
              uint64_t size, uint64_t allocated);
// Opens subdirectory `name` of the open directory `parent` into `dir`:
// dir->native becomes its native path, dir->fd a descriptor opened
// relative to the parent's, never through a link, and dir->mountPoint says
// whether it is a mount point. False when the directory is a pseudo file
// system's mount point or cannot be opened.
bool openChildDir(const OpenDir *parent, const char *name, OpenDir *dir);
// Reads the directory open as dir->fd into `dir` (which holds no entries):
// "." first, then the entries in the order the file system gives them, the
// type from the directory itself (stat'ed only when it does not say), and
// the size of every non-directory. False (errno set) on a read error, and
// when the directory can be listed but not searched, so that no size in it
// could be read; `searchable` says the caller has already found that it can
// be (else a directory without files is stat'ed to know). Safe on any
// thread for a directory it owns.
bool readEntries(OpenDir *dir, bool searchable);
// Size of a non-directory, stat'ed the first time it is asked for (a link
// is not followed; a failed stat gives 0); directories are 0.
uint64_t entrySize(const OpenDir *dir, Entry &entry);
// Fills dir->subdirs with the entries the walk will enter, in order: the
// directories whose names Windows can hold, do not begin with '.', and fit
// a walk path below dir->windowsLength. Empty when windowsLength is 0.
void findWalkSubdirs(OpenDir *dir);
// Empties `dir` for reuse, closing its descriptor; large buffers are given
// back so that memory follows the directories open now.
void clearDir(OpenDir *dir);

// ---- Read-ahead (readahead.cpp) ----

// Read-ahead is on unless FOLMAR_READAHEAD is 0 (a number sets the threads).
// The threads start with the first call of readAheadScheduled().
bool readAheadOn();
// The walker has read `dir` (its subdirs filled) and opened its enumeration
// for a walk: its subdirectories come next in walk order, before anything
// scheduled so far. Nothing happens when read-ahead is off.
void readAheadScheduled(OpenDir *dir);
// The walker enters subdirectory `entry` of its open directory `parent`.
// Returns that directory as read ahead (the caller owns it, its descriptor
// open, its subdirectories already scheduled), or nullptr: then the walker
// reads it itself. A directory that is no longer the one read ahead (gone,
// renamed, replaced, changed or made unreadable) is never returned.
OpenDir *readAheadTake(OpenDir *parent, size_t entry);
// The walker is done with `dir`: whatever is still scheduled below it is
// dropped, and no read-ahead thread uses its descriptor any more.
void readAheadReleased(OpenDir *dir);

// Memory or a thread could not be had: the read-ahead stops for the rest of
// the run and gives back what it holds; the walk goes on without it.
void readAheadStop();

// For tests: waits until the read-ahead threads have nothing left to do
// (no read under way; nothing to start, or the window is full).
void readAheadSettle();
struct ReadAheadCounts {
    uint64_t read;      // directories read ahead
    uint64_t taken;     // handed to the walker
    uint64_t rejected;  // found changed or gone when the walker came, read afresh
};
ReadAheadCounts readAheadCounts();

}  // namespace posix
