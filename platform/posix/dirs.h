// A directory as the POSIX emulation holds it while it is enumerated or read
// ahead: its entries with their names and sizes, the descriptor it was read
// through, and the subdirectories the walk will enter. dirread.cpp reads one;
// readahead.cpp reads the walk's next directories on other threads and shares
// the stats of a large one among them (readahead.h); enumerate.cpp serves
// enumerations from them. Private to platform/posix/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <time.h>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/platform.h"

namespace posix {

enum : uint8_t { kindDirectory = 1, kindOther = 2 };
// flagUnsafe: the name is shown with '?' for its control characters and
// backslashes; flagUnreachable: it holds a backslash, so no path can name it;
// flagLinkRoom: the record holds the file's link count and identity.
enum : uint8_t { flagSizeKnown = 1, flagUnsafe = 2, flagUnreachable = 4, flagLinkRoom = 8 };

// The head of one entry's record; the name follows it, NUL-terminated. The
// records of a directory lie one after another, each known by its offset,
// so that a directory of a million files takes little more than its names.
// Byte fields only: a record may start at any byte.
struct Entry {
    uint8_t kind;
    uint8_t flags;
    uint8_t length[2];  // of the name, in bytes
    uint8_t size[8];    // st_size once flagSizeKnown is set
    uint8_t blocks[4];  // st_blocks from the same stat; blocksBeyond when they do not fit
};

// After the name of a record with flagLinkRoom (a non-directory read while
// the walk keeps file links): what the stat that gave its size says of its
// names, zero until then.
struct LinkRoom {
    uint8_t dev[8];
    uint8_t ino[8];
    uint8_t nlink[4];
};
// The walk keeps file links (keepFileLinks): set before any directory is read.
extern bool keepLinks;

// A file with 2 TiB or more on disk: its blocks are stat'ed again when
// it is delivered (allocatedOf), so that a million small files keep four
// bytes each for them.
const uint32_t blocksBeyond = UINT32_MAX;

inline size_t nameLengthOf(const Entry &entry) {
    uint16_t length;
    std::memcpy(&length, entry.length, sizeof length);
    return length;
}
inline const char *nameOf(const Entry &entry) { return (const char *)(&entry + 1); }
inline uint64_t sizeOf(const Entry &entry) {
    uint64_t size;
    std::memcpy(&size, entry.size, sizeof size);
    return size;
}
inline uint32_t blocksOf(const Entry &entry) {
    uint32_t blocks;
    std::memcpy(&blocks, entry.blocks, sizeof blocks);
    return blocks;
}
inline LinkRoom &linkRoomOf(Entry &entry) {
    return *(LinkRoom *)((char *)(&entry + 1) + nameLengthOf(entry) + 1);
}
inline void setSizes(Entry &entry, uint64_t size, uint64_t blocks) {
    uint32_t held = blocks < blocksBeyond ? (uint32_t)blocks : blocksBeyond;
    std::memcpy(entry.size, &size, sizeof size);
    std::memcpy(entry.blocks, &held, sizeof held);
}

// The bytes of a directory's records. A large buffer is mapped memory that
// the kernel moves when it grows, so a huge directory is never held twice
// while it is read. At most 4 GiB: offsets are 32 bits.
class Records {
public:
    Records() = default;
    Records(const Records &) = delete;
    Records &operator=(const Records &) = delete;
    ~Records();
    // `more` new bytes at the end; std::bad_alloc when they cannot be had.
    char *grow(size_t more);
    // Empties it; a large buffer is given back.
    void clear();
    char *data = nullptr;
    uint32_t used = 0;
    size_t capacity = 0;
};

// What a directory was when it was read ahead, so that the walk can tell
// whether it is still there, unchanged.
struct DirIdentity {
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec ctime = {0, 0};  // status change: entries, mode, owner, ACL, a rename
};

// The enumerations' bookkeeping of an open directory (enumerate.cpp).
struct DirUse {
    int users = 0;        // open enumerations
    uint32_t hint = 0;    // the record delivered last
};

// A directory read from the file system. The walker owns the ones it has
// open; the read-ahead owns the ones it read until the walker takes them.
// Once handed over, a directory's entries and names no longer change,
// except the sizes filled in by entrySize() on the walker's thread.
struct OpenDir {
    // The open directory it was opened through: its path key and native
    // path continue that one's, so that a deep branch holds each name once.
    // nullptr when it was opened by its whole path.
    const OpenDir *up = nullptr;
    std::string key;      // its path key, or its last component when `up` is set; empty for a one-entry look-up
    size_t keyLength = 0; // of its whole path key
    bool onDrive = false; // the key is on a drive, not relative
    std::string native;   // its canonical native path, or its name in `up` when that is set; a look-up: its directory's
    int fd = -1;
    Records records;      // "." first, then the directory's entries
    uint32_t count = 0;   // records
    size_t windowsLength = 0;      // its Windows path with the final '\'; 0 if unknown
    std::string walkPath; // that path as the walk spells it, kept only for an exclusion test of paths
    std::vector<uint32_t> subdirs; // records the walk will enter, in order
    DirIdentity identity;          // set when read ahead, when fd is given up, or for a loop check
    bool mountPoint = false;       // something is mounted on it (it may lead back up the walk)
    DirUse use;           // the enumerations'
};

inline Entry &entryAt(const OpenDir *dir, uint32_t at) { return *(Entry *)(dir->records.data + at); }
// The record after the one at `at`; dir->records.used after the last.
inline uint32_t nextEntry(const OpenDir *dir, uint32_t at) {
    const Entry &entry = entryAt(dir, at);
    size_t room = (entry.flags & flagLinkRoom) ? sizeof(LinkRoom) : 0;
    return at + (uint32_t)(sizeof(Entry) + nameLengthOf(entry) + 1 + room);
}
// The first record after ".".
inline uint32_t firstEntry(const OpenDir *dir) { return dir->records.used == 0 ? 0 : nextEntry(dir, 0); }

// ---- Reading (dirread.cpp) ----

// The whole path key of `dir`, and its whole canonical native path, into `out`.
void wholeKey(const OpenDir *dir, std::string *out);
void wholeNative(const OpenDir *dir, std::string *out);

// The longest Windows path of a directory the walk enters, final '\'
// included.
const size_t maxWalkPath = walkPathChars;

// Adds a record and returns it (valid until the next one is added); a
// non-directory gets link room while keepLinks is set.
Entry &addEntry(OpenDir *dir, const char *name, size_t length, uint8_t kind, uint8_t flags,
                uint64_t size, uint64_t blocks);
// Opens subdirectory `name` of the open directory `parent` into `dir`:
// dir->up becomes `parent` and dir->native its name, dir->fd a descriptor
// opened relative to the parent's, never through a link, and
// dir->mountPoint says whether it is a mount point. False when the directory is a pseudo file
// system's mount point or cannot be opened.
bool openChildDir(const OpenDir *parent, const char *name, OpenDir *dir);
// What the stats of a directory's entries found: some size could be read
// (so the directory can be searched); access was denied.
struct StatOutcome {
    bool searched = false;
    bool denied = false;
};
// Stats the non-directories of a directory just read, as statRange() does
// over all its records (statEntries() shares a large one out).
typedef void (*StatAll)(OpenDir *dir, StatOutcome *outcome);
// Reads the directory open as dir->fd into `dir` (which holds no entries):
// "." first, then the entries in the order an NTFS volume lists them
// (compareWindowsOrder), so that the walk and the read-ahead go through a
// directory in the Windows build's order; the
// type from the directory itself (stat'ed only when it does not say), and
// the size of every non-directory, by `statAll`. False (errno set) on a
// read error, and when the directory can be listed but not searched, so
// that no size in it could be read; `searchable` says the caller has
// already found that it can be (else a directory without files is stat'ed
// to know). Safe on any thread for a directory it owns.
bool readEntries(OpenDir *dir, bool searchable, StatAll statAll);
// Stats the non-directories of `dir` among the records [from, to) whose
// sizes are not known yet, stopping when access is denied.
void statRange(OpenDir *dir, uint32_t from, uint32_t to, StatOutcome *outcome);
// Size of a non-directory, stat'ed the first time it is asked for (a link
// is not followed; a failed stat gives 0); directories are 0.
uint64_t entrySize(const OpenDir *dir, Entry &entry);
// The bytes `entry` of `dir` takes on disk (st_blocks * 512), its size
// known; a file whose blocks did not fit its record is stat'ed again (its
// size rounded up to whole blocks if that fails).
uint64_t allocatedOf(const OpenDir *dir, const Entry &entry);
// Fills dir->subdirs with the entries the walk will enter, in order: the
// directories whose names a path can hold (no backslash), that fit a walk
// path below dir->windowsLength, and that the exclusion test (platform.h)
// does not leave out. Empty when windowsLength is 0. dir->walkPath, when the
// test needs it and it is not known, continues its parent's.
void findWalkSubdirs(OpenDir *dir);
// Keeps the `length` bytes of `path` as dir->walkPath when the exclusion
// test looks at paths.
void noteWalkPath(OpenDir *dir, const char *path, size_t length);
// Empties `dir` for reuse, closing its descriptor; large buffers are given
// back so that memory follows the directories open now.
void clearDir(OpenDir *dir);

}  // namespace posix
