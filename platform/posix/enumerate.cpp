// Directory enumeration (findFirstFile / findNextFile / findClose). A
// directory is read from the file system once: when its first enumeration
// opens, or before, by the read-ahead (readahead.cpp); a second enumeration
// of the same path while one is open is served from what was read, and a
// subdirectory is opened relative to its open parent. Only the directories
// of the current branch and the read-ahead's window are held in memory, and
// only the innermost few of the branch keep a descriptor, so that no depth
// of tree runs out of them: an outer one gives its descriptor up and is
// opened again by its path, and checked to be the same, when the walk comes
// back to it.
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/dirs.h"
#include "platform/posix/readahead.h"
#include "platform/posix/posix.h"
#include "platform/posix/syscalls.h"
#include "platform/utf8.h"

using namespace posix;

namespace {

struct Handle {
    OpenDir *dir;         // nullptr when the slot is free
    uint32_t next;        // the record to deliver next
};

struct Enumerations {
    std::vector<OpenDir *> open;     // innermost last; one per open directory
    std::vector<OpenDir *> spare;    // released, kept for their buffers
    std::vector<Handle> handles;     // indexed by FindHandle
    std::vector<size_t> freeHandles; // slots of handles that are free
    std::string latestPath;          // directory part of the latest whole enumeration's search path
};

}  // namespace

// Never destroyed: enumerations may still be open when the process ends.
static Enumerations &state = *new Enumerations();
static std::vector<OpenDir *> &openDirs = state.open;
static std::vector<OpenDir *> &spareDirs = state.spare;
static std::vector<Handle> &handles = state.handles;
static std::vector<size_t> &freeHandles = state.freeHandles;
// The directory of the latest whole enumeration, and the directory part of
// its search path as its caller spelled it ("C:\a\b\"): the walk enumerates
// each directory a second time (its file pass) by the same path, which is
// then found without building its key.
static std::string &latestPath = state.latestPath;
static OpenDir *latestDir = nullptr;
static const size_t maxSearchPath = walkPathBytes + 8;
// Open directories that hold a descriptor, and the first of them that may:
// every one before it has given its descriptor up.
static size_t heldCount = 0;
static size_t firstHeld = 0;
static uint32_t lastError = 0;  // of the latest findFirstFile that failed

// The Windows error code of a failed open or read. ELOOP stands for a
// directory that is one of its own ancestors, EILSEQ for a name Windows
// could not hold.
static uint32_t errorCodeOf(int err) {
    switch (err) {
    case EMFILE: case ENFILE: return errorTooManyOpenFiles;
    case ENOMEM: return errorNotEnoughMemory;
    case EACCES: case EPERM: return errorAccessDenied;
    case ELOOP: return errorCantResolveFilename;
    case EILSEQ: return errorInvalidName;
    case ENAMETOOLONG: return errorFilenameExcedRange;
    default: return errorPathNotFound;
    }
}

// Directories of the branch that keep their descriptor: as many as the
// limit of open files leaves room for, at most 32, at least 2.
static size_t heldLimit() {
    static const size_t limit = [] {
        struct rlimit r;
        if (getrlimit(RLIMIT_NOFILE, &r) != 0 || r.rlim_cur == RLIM_INFINITY) return (size_t)32;
        size_t room = r.rlim_cur > 12 ? (size_t)(r.rlim_cur - 12) / 2 : 0;
        return room < 2 ? (size_t)2 : room > 32 ? (size_t)32 : room;
    }();
    return limit;
}

static OpenDir *takeDir() {
    if (spareDirs.empty()) return new OpenDir();
    OpenDir *dir = spareDirs.back();
    spareDirs.pop_back();
    return dir;
}

// Closes a directory whose last enumeration ended; whatever the read-ahead
// still holds below it is dropped first. A few are kept for their buffers.
static void releaseDir(OpenDir *dir) {
    if (dir == latestDir) latestDir = nullptr;
    for (size_t i = openDirs.size(); i-- > 0;) {
        if (openDirs[i] == dir) {
            openDirs.erase(openDirs.begin() + (long)i);
            heldCount -= dir->fd >= 0 ? 1 : 0;
            firstHeld -= i < firstHeld ? 1 : 0;
            break;
        }
    }
    readAheadReleased(dir);
    clearDir(dir);
    if (spareDirs.size() < 16)
        spareDirs.push_back(dir);
    else
        delete dir;
}

// An outer directory of the branch gives up its descriptor: nothing is read
// ahead through it any more, and what it is is noted for when it is opened
// again. Its entries and their sizes are all known by now.
static void giveUpDescriptor(OpenDir *dir) {
    readAheadReleased(dir);
    struct stat st;
    if (fstat(dir->fd, &st) == 0) {
        dir->identity.dev = st.st_dev;
        dir->identity.ino = st.st_ino;
    }
    for (uint32_t at = 0; at < dir->records.used; at = nextEntry(dir, at)) entrySize(dir, entryAt(dir, at));
    close(dir->fd);
    dir->fd = -1;
}

// Keeps at most heldLimit() descriptors among the open directories, and
// room for `more` to come, giving up the outermost ones first (never the
// innermost, through which the next one is opened).
static void boundDescriptors(size_t more = 0) {
    size_t i = firstHeld;
    for (; heldCount + more > heldLimit() && i + 1 < openDirs.size(); ++i) {
        if (openDirs[i]->fd < 0) continue;
        giveUpDescriptor(openDirs[i]);
        --heldCount;
    }
    firstHeld = i;
}

// Opens the directory at the native path `path` (absolute), which may be
// longer than the system takes at once: then a piece at a time, each piece
// from the directory the one before reached (only located, as a path
// passes through it), cut at a '/'. The last component is never followed
// when it is a link. -1 (errno set) on failure.
static int openNativePath(const std::string &path) {
    const size_t most = PATH_MAX - 1;
    int fd = AT_FDCWD;
    for (size_t at = 0; at < path.size();) {
        size_t end = path.size();
        if (end - at > most) end = path.rfind('/', at + most);
        if (end == std::string::npos || end <= at) end = path.size();  // one name too long: ENAMETOOLONG
        bool last = end == path.size();
        std::string piece = path.substr(at, end - at);
        int next = sys::openat(fd, piece.c_str(), O_DIRECTORY | O_CLOEXEC | (last ? O_RDONLY | O_NOFOLLOW : O_PATH));
        int err = errno;
        if (fd != AT_FDCWD) close(fd);
        errno = err;
        if (next < 0) return -1;
        fd = next;
        at = end + 1;
    }
    return fd;
}

// Opens again, by its path, a directory that gave up its descriptor; false
// (errno set) when that path no longer leads to the same directory.
static bool reopenDir(OpenDir *dir) {
    std::string native;
    wholeNative(dir, &native);
    int fd = openNativePath(native);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_dev != dir->identity.dev || st.st_ino != dir->identity.ino) {
        close(fd);
        errno = ENOENT;
        return false;
    }
    dir->fd = fd;
    heldCount += 1;
    for (size_t i = openDirs.size(); i-- > 0;) {
        if (openDirs[i] != dir) continue;
        firstHeld = i < firstHeld ? i : firstHeld;
        break;
    }
    boundDescriptors();
    return true;
}

// Registers `dir` as open under a path key of `keyLength` bytes that ends
// in `key` (the whole key when dir->up is not set); releases it when that
// fails.
static OpenDir *registerDir(OpenDir *dir, const char *key, size_t keyLength, bool onDrive) {
    try {
        dir->key = key;
        dir->keyLength = keyLength;
        dir->onDrive = onDrive;
        openDirs.push_back(dir);
        heldCount += dir->fd >= 0 ? 1 : 0;
    } catch (const std::bad_alloc &) {
        releaseDir(dir);
        throw;
    }
    boundDescriptors();
    return dir;
}

// Reads the whole directory open as dir->fd, "." first; registers it as
// registerDir does. Releases it and returns nullptr (errno set) on a read
// error or when it is not searchable.
static OpenDir *readOpenDir(OpenDir *dir, const char *key, size_t keyLength, bool onDrive) {
    bool read = false;
    try {
        read = readEntries(dir, false, statEntries);
    } catch (const std::bad_alloc &) {
        releaseDir(dir);
        throw;
    }
    if (!read) {
        int err = errno;
        releaseDir(dir);
        errno = err;
        return nullptr;
    }
    return registerDir(dir, key, keyLength, onDrive);
}

// The whole path key of `dir` is the first `length` bytes of `key`:
// compared a component at a time from the end, along its `up` chain.
static bool keyIs(const OpenDir *dir, const std::string &key, size_t length) {
    if (dir->keyLength != length) return false;
    size_t end = length;
    for (; dir->up != nullptr; dir = dir->up) {
        size_t tail = dir->key.size(), separated = dir->up->keyLength > 0 ? 1 : 0;
        if (end < tail + separated || key.compare(end - tail, tail, dir->key) != 0) return false;
        if (separated && key[end - tail - 1] != '\\') return false;
        end -= tail + separated;
    }
    return end == dir->key.size() && key.compare(0, end, dir->key) == 0;
}

// The open directory whose key is the first `length` bytes of `key`. The
// lengths are compared first: the keys of a deep branch are long prefixes of
// one another.
static OpenDir *findOpenDir(const std::string &key, size_t length, bool onDrive) {
    for (size_t i = openDirs.size(); i-- > 0;)
        if (openDirs[i]->onDrive == onDrive && keyIs(openDirs[i], key, length)) return openDirs[i];
    return nullptr;
}

// The record of the name chooseName prefers; 0 (".") when none is.
static uint32_t lookUpName(const OpenDir *dir, const char *name) {
    uint32_t best = 0;
    for (uint32_t at = firstEntry(dir); at < dir->records.used; at = nextEntry(dir, at)) {
        const Entry &entry = entryAt(dir, at);
        if (entry.flags & flagUnsafe) continue;
        NameChoice choice = chooseName(nameOf(entry), name, best == 0 ? nullptr : nameOf(entryAt(dir, best)));
        if (choice == nameExact) return at;
        if (choice == nameBetter) best = at;
    }
    return best;
}

// The name an entry is delivered under equals `name`.
static bool shownNameEquals(const Entry &entry, const char *name) {
    const char *real = nameOf(entry);
    if (!(entry.flags & flagUnsafe)) return std::strcmp(real, name) == 0;
    size_t i = 0;
    for (; real[i] != '\0' && safeNameByte(real[i]) == name[i]; ++i) {
    }
    return real[i] == '\0' && name[i] == '\0';
}

// The record of `dir` that `name` names, 0 when none does. The entry
// delivered last comes first: it is the one the walk is entering, even when
// it was shown with '?' and a sibling really has that name (then the unsafe
// entry is returned). Else the exact name, else the first in byte order
// equal without regard to case; else the same for the name without its
// trailing dots and blanks.
static uint32_t lookUpEntry(const OpenDir *dir, const char *name) {
    if (dir->use.hint > 0 && dir->use.hint < dir->records.used && shownNameEquals(entryAt(dir, dir->use.hint), name))
        return dir->use.hint;
    uint32_t found = lookUpName(dir, name);
    std::string trimmed;
    if (found == 0 && trimmedWindowsName(name, &trimmed)) found = lookUpName(dir, trimmed.c_str());
    return found;
}

// The dev and inode of `dir`, from its descriptor when not known yet.
static bool knowIdentity(OpenDir *dir) {
    struct stat st;
    if (dir->identity.ino != 0) return true;
    if (dir->fd < 0 || fstat(dir->fd, &st) != 0) return false;
    dir->identity.dev = st.st_dev;
    dir->identity.ino = st.st_ino;
    return true;
}

// `dir`, just opened, is the same directory as one that is open: something
// mounted on it (a bind mount of a folder inside itself) leads back up the
// walk's branch. Only mount points can, so only they are checked.
static bool leadsBackUp(OpenDir *dir) {
    if (!dir->mountPoint || !knowIdentity(dir)) return false;
    for (OpenDir *open : openDirs) {
        if (!knowIdentity(open)) continue;
        if (open->identity.dev == dir->identity.dev && open->identity.ino == dir->identity.ino) return true;
    }
    return false;
}

// Releases a directory that cannot be entered; nullptr with errno `err`.
static OpenDir *refuse(OpenDir *dir, int err) {
    releaseDir(dir);
    errno = err;
    return nullptr;
}

// Opens subdirectory `name` of the open directory `parent`, relative to its
// descriptor, never through a link; nullptr when it cannot be entered
// (errno EILSEQ for a name with a backslash, ELOOP for a directory that is
// open already, up the branch). A name with control characters is entered
// by the name it was delivered under, '?' for each.
static OpenDir *openChild(OpenDir *parent, const char *name, size_t keyLength, bool onDrive) {
    uint32_t at = lookUpEntry(parent, name);
    const Entry *entry = at == 0 ? nullptr : &entryAt(parent, at);
    errno = entry != nullptr && (entry->flags & flagUnreachable) ? EILSEQ : ENOENT;
    if (entry == nullptr || (entry->flags & flagUnreachable) || entry->kind != kindDirectory) return nullptr;
    if (parent->fd < 0 && !reopenDir(parent)) return nullptr;
    OpenDir *ahead = readAheadTake(parent, at);
    if (ahead != nullptr && leadsBackUp(ahead)) return refuse(ahead, ELOOP);
    if (ahead != nullptr) return registerDir(ahead, name, keyLength, onDrive);
    boundDescriptors(1);
    OpenDir *dir = takeDir();
    if (!openChildDir(parent, nameOf(entryAt(parent, at)), dir)) return refuse(dir, errno);
    if (leadsBackUp(dir)) return refuse(dir, ELOOP);
    return readOpenDir(dir, name, keyLength, onDrive);
}

// Opens the directory of `key`: a child of an open directory when its parent
// is open (the walk's case), else by resolving the whole path, through no
// link that leads off its drive. Nothing on a kernel pseudo file system is
// opened.
static OpenDir *openDirectory(const PathKey &key) {
    if (firstComponent(key) < key.text.size()) {
        size_t last = key.text.rfind('\\');
        size_t parentLength = last == std::string::npos ? 0 : last;
        OpenDir *parent = findOpenDir(key.text, parentLength, key.onDrive);
        size_t nameStart = last == std::string::npos ? 0 : last + 1;
        if (parent != nullptr) return openChild(parent, key.text.c_str() + nameStart, key.text.size(), key.onDrive);
    }
    OpenDir *dir = takeDir();
    dir->fd = openKeyDirectory(key, &dir->native, Links::withinStart);
    if (dir->fd >= 0 && onPseudoFileSystem(dir->fd, dir->native)) {
        close(dir->fd);
        dir->fd = -1;
        errno = EACCES;
    }
    if (dir->fd < 0) {
        int err = errno;
        releaseDir(dir);
        errno = err;
        return nullptr;
    }
    return readOpenDir(dir, key.text.c_str(), key.text.size(), key.onDrive);
}

// Fills `data` with the record at `at` of `dir`, which becomes its last
// delivered.
static void deliver(OpenDir *dir, uint32_t at, FindData *data) {
    Entry &entry = entryAt(dir, at);
    dir->use.hint = at;
    uint64_t size = entrySize(dir, entry);
    data->attributes = entry.kind == kindDirectory ? (uint32_t)fileAttributeDirectory : 0u;
    data->nFileSizeHigh = (uint32_t)(size >> 32);
    data->nFileSizeLow = (uint32_t)size;
    data->allocatedSize = entry.kind == kindDirectory ? 0 : allocatedOf(dir, entry);
    data->links = 0;
    if (entry.flags & flagLinkRoom) {
        const LinkRoom &room = linkRoomOf(entry);
        std::memcpy(&data->links, room.nlink, sizeof data->links);
        std::memcpy(&data->identity.volume, room.dev, sizeof data->identity.volume);
        std::memcpy(&data->identity.index, room.ino, sizeof data->identity.index);
    }
    size_t length = nameLengthOf(entry);
    if (length >= sizeof data->cFileName) length = sizeof data->cFileName - 1;
    const char *name = nameOf(entry);
    if (entry.flags & flagUnsafe)
        for (size_t i = 0; i < length; ++i) data->cFileName[i] = safeNameByte(name[i]);
    else
        std::memcpy(data->cFileName, name, length);
    data->cFileName[length] = '\0';
    data->cAlternateFileName[0] = '\0';
}

static FindHandle newHandle(OpenDir *dir, FindData *data) {
    size_t slot;
    if (freeHandles.empty()) {
        slot = handles.size();
        handles.push_back(Handle{nullptr, 0});
        freeHandles.reserve(handles.size());  // so that findClose never needs memory
    } else {
        slot = freeHandles.back();
        freeHandles.pop_back();
    }
    deliver(dir, 0, data);
    handles[slot] = Handle{dir, nextEntry(dir, 0)};
    dir->use.users += 1;
    return (FindHandle)slot;
}

// An enumeration of the single entry `name` of the open directory `dir`,
// as for a search path without a pattern.
static FindHandle singleEntry(OpenDir *dir, const char *name, FindData *data) {
    uint32_t found = lookUpEntry(dir, name);
    FindHandle handle = invalidFindHandle;
    if (found != 0 && !(entryAt(dir, found).flags & flagUnsafe)) {
        Entry &entry = entryAt(dir, found);
        uint64_t size = entrySize(dir, entry);
        OpenDir *one = takeDir();
        wholeNative(dir, &one->native);  // where a file whose blocks do not fit its record is stat'ed again
        addEntry(one, nameOf(entry), nameLengthOf(entry), entry.kind, flagSizeKnown, size, blocksOf(entry));
        handle = newHandle(one, data);
    }
    if (dir->use.users == 0) releaseDir(dir);
    errno = ENOENT;
    return handle;
}

// A directory just opened for a whole enumeration, whose Windows path with
// its final backslash is the first `dirLength` bytes of `searchPath` (as the
// walk spells it): the walk may enter its subdirectories next, so they are
// handed to the read-ahead (unless it did so itself, reading it ahead under
// a path of that length).
static void prepareWalk(OpenDir *dir, const char *searchPath, size_t dirLength) {
    if (!readAheadOn()) return;
    size_t windowsLength = utf8CharsIn(searchPath, dirLength);
    if (dir->windowsLength == windowsLength) return;
    if (dir->windowsLength != 0) readAheadReleased(dir);
    dir->windowsLength = windowsLength;
    noteWalkPath(dir, searchPath, dirLength);
    findWalkSubdirs(dir);
    readAheadScheduled(dir);
}

// Splits a search path of `length` bytes at its last separator, found from
// the end: the length of the directory part (up to and including that
// separator) goes to `dirLength`, the pattern or name is returned.
static const char *splitSearchPath(const char *searchPath, size_t length, size_t *dirLength) {
    const char *start = searchPath;
    if (((searchPath[0] | 0x20) >= 'a' && (searchPath[0] | 0x20) <= 'z') && searchPath[1] == ':')
        start = searchPath + 2;
    const char *tail = searchPath + length;
    while (tail > start && tail[-1] != '\\' && tail[-1] != '/') --tail;
    *dirLength = (size_t)(tail - searchPath);
    return tail;
}

static Handle *handleOf(FindHandle handle);

// The open directory whose key is that of the child `name` (its key
// `keyLength` bytes) of `up`: built and compared only when some open
// directory's key has that length.
static OpenDir *openChildByKey(const OpenDir *up, const std::string &name, size_t keyLength) {
    for (const OpenDir *open : openDirs) {
        if (open->keyLength != keyLength || open->onDrive != up->onDrive) continue;
        static std::string key;  // kept for its buffer
        wholeKey(up, &key);
        if (!key.empty()) key += '\\';
        key += name;
        return findOpenDir(key, keyLength, up->onDrive);
    }
    return nullptr;
}

// The walk's case: the directory part `dirPath` (`length` bytes, its final
// backslash included) of a search path names the entry that the open
// enumeration `parent` delivered last. Returns that subdirectory (*opened:
// opened here), or nullptr with *known true when it cannot be opened (errno
// set), or with *known false when the hint does not fit the path, which is
// then read as text.
static OpenDir *hintedChild(FindHandle parent, const char *dirPath, size_t length, bool *opened, bool *known) {
    *known = false;
    const Handle *h = handleOf(parent);
    if (h == nullptr || length < 2 || dirPath[length - 1] != '\\') return nullptr;
    OpenDir *up = h->dir;
    size_t nameStart = length - 1;
    while (nameStart > 0 && dirPath[nameStart - 1] != '\\') --nameStart;
    static std::string name;  // kept for its buffer
    name.assign(dirPath + nameStart, length - 1 - nameStart);
    uint32_t last = up->use.hint;  // never "." (at 0), nor a name with a separator as delivered
    if (last == 0 || last >= up->records.used || !shownNameEquals(entryAt(up, last), name.c_str())) return nullptr;
    *known = true;
    size_t keyLength = up->keyLength + (up->keyLength > 0 ? 1 : 0) + name.size();
    OpenDir *dir = openChildByKey(up, name, keyLength);
    *opened = dir == nullptr;
    return dir != nullptr ? dir : openChild(up, name.c_str(), keyLength, up->onDrive);
}

// The directory of the latest whole enumeration, when `dirPath` (`length`
// bytes) is its path as spelled then, from a drive's root ("X:\...\").
static OpenDir *latestDirectory(const char *dirPath, size_t length) {
    if (latestDir == nullptr || length != latestPath.size() || std::memcmp(dirPath, latestPath.data(), length) != 0)
        return nullptr;
    return latestDir;
}

// Remembers `dir` as the latest whole enumeration's, when its path can be
// found again as spelled: one that begins at a drive's root.
static void noteLatest(OpenDir *dir, const char *dirPath, size_t length) {
    latestDir = nullptr;
    if (length < 3 || dirPath[1] != ':' || dirPath[2] != '\\' || dirPath[length - 1] != '\\') return;
    latestPath.assign(dirPath, length);
    latestDir = dir;
}

// findFirstFile without the care for memory; errno says why it failed.
static FindHandle openEnumeration(const char *searchPath, size_t length, FindData *data, FindHandle parent) {
    static std::string dirPath;
    static PathKey key;
    errno = ENOENT;
    size_t dirLength;
    const char *tail = splitSearchPath(searchPath, length, &dirLength);
    if (*tail == '\0') return invalidFindHandle;
    bool whole = std::strcmp(tail, "*.*") == 0 || std::strcmp(tail, "*") == 0;
    bool opened = false, known = false;
    OpenDir *dir = whole && parent != invalidFindHandle
                       ? hintedChild(parent, searchPath, dirLength, &opened, &known) : nullptr;
    if (dir == nullptr && known) return invalidFindHandle;
    if (dir == nullptr && whole) dir = latestDirectory(searchPath, dirLength);
    if (dir == nullptr) {
        dirPath.assign(searchPath, dirLength);
        std::string current;
        if (needsCurrentDirectory(dirPath.c_str())) current = currentWindowsDirectory();
        errno = ENOENT;
        if (!makePathKey(dirPath.c_str(), current.c_str(), &key)) return invalidFindHandle;
        dir = findOpenDir(key.text, key.text.size(), key.onDrive);
        opened = dir == nullptr;
        if (opened) dir = openDirectory(key);
        if (dir == nullptr) return invalidFindHandle;
        if (!whole) return singleEntry(dir, tail, data);
    }
    noteLatest(dir, searchPath, dirLength);
    if (opened) prepareWalk(dir, searchPath, dirLength);
    return newHandle(dir, data);
}

// Memory that cannot be had first stops the read-ahead, which gives back
// what it holds; the enumeration is then tried once more.
FindHandle findFirstFile(const char *searchPath, FindData *data, bool, FindHandle parent) {
    lastError = errorCodeOf(ENOENT);
    size_t length = searchPath == nullptr ? maxSearchPath : std::strlen(searchPath);
    if (length >= maxSearchPath) return invalidFindHandle;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            FindHandle handle = openEnumeration(searchPath, length, data, parent);
            if (handle == invalidFindHandle) lastError = errorCodeOf(errno);
            return handle;
        } catch (const std::bad_alloc &) {
            readAheadStop();
        }
    }
    lastError = errorNotEnoughMemory;
    return invalidFindHandle;
}

static Handle *handleOf(FindHandle handle) {
    if (handle < 0 || (size_t)handle >= handles.size() || handles[(size_t)handle].dir == nullptr)
        return nullptr;
    return &handles[(size_t)handle];
}

bool findNextFile(FindHandle handle, FindData *data) {
    Handle *h = handleOf(handle);
    if (h == nullptr || h->next >= h->dir->records.used) return false;
    deliver(h->dir, h->next, data);
    h->next = nextEntry(h->dir, h->next);
    return true;
}

void findClose(FindHandle handle) {
    Handle *h = handleOf(handle);
    if (h == nullptr) return;
    OpenDir *dir = h->dir;
    h->dir = nullptr;
    freeHandles.push_back((size_t)handle);
    if (--dir->use.users == 0) releaseDir(dir);
}

uint32_t getLastError() { return lastError; }

void keepFileLinks(bool keep) { posix::keepLinks = keep; }

// A record kept without its links (its stat failed) gets none later either.
bool getFileLinks(const char *, FindData *) { return false; }

// Names come from the file system as they are: a long name is never a
// look-alike here.
bool enterByShortNames() { return false; }
