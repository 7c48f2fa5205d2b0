// Reading one directory into an OpenDir: its entries in the order an NTFS
// volume lists them, their kinds and sizes, and which subdirectories the
// walk will enter. Used by the walker's own enumerations and by the read-ahead
// threads alike; nothing here touches shared state.
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <algorithm>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/dirs.h"
#include "platform/posix/posix.h"
#include "platform/posix/syscalls.h"
#include "platform/utf8.h"

namespace posix {

// Buffers from this size on are mapped, and moved rather than copied.
static const size_t mappedLeast = 256 * 1024;
static const size_t mostRecords = (size_t)UINT32_MAX;

bool keepLinks = false;

Records::~Records() {
    if (capacity >= mappedLeast)
        munmap(data, capacity);
    else
        std::free(data);
}

char *Records::grow(size_t more) {
    size_t need = (size_t)used + more;
    if (need > mostRecords) throw std::bad_alloc();
    if (need > capacity) {
        size_t wanted = capacity < 512 ? 512 : capacity * 2;
        while (wanted < need) wanted *= 2;
        void *moved;
        if (wanted < mappedLeast) {
            moved = std::realloc(data, wanted);
        } else if (capacity < mappedLeast) {
            moved = sys::mmap(wanted);
            if (moved != MAP_FAILED && used > 0) std::memcpy(moved, data, used);
            if (moved != MAP_FAILED) std::free(data);
        } else {
            moved = sys::mremap(data, capacity, wanted);
        }
        if (moved == nullptr || moved == MAP_FAILED) throw std::bad_alloc();
        data = (char *)moved;
        capacity = wanted;
    }
    char *at = data + used;
    used = (uint32_t)need;
    return at;
}

void Records::clear() {
    used = 0;
    if (capacity >= mappedLeast) {
        munmap(data, capacity);
        data = nullptr;
        capacity = 0;
    } else if (capacity > 32768) {
        std::free(data);
        data = nullptr;
        capacity = 0;
    }
}

Entry &addEntry(OpenDir *dir, const char *name, size_t length, uint8_t kind, uint8_t flags,
                uint64_t size, uint64_t blocks) {
    bool room = keepLinks && kind != kindDirectory;
    char *at = dir->records.grow(sizeof(Entry) + length + 1 + (room ? sizeof(LinkRoom) : 0));
    Entry &entry = *(Entry *)at;
    uint16_t shortLength = (uint16_t)length;  // NAME_MAX is 255
    entry.kind = kind;
    entry.flags = flags | (room ? flagLinkRoom : 0);
    if (isUnsafeName(name, length))
        entry.flags |= flagUnsafe | (std::memchr(name, '\\', length) != nullptr ? flagUnreachable : 0);
    std::memcpy(entry.length, &shortLength, sizeof shortLength);
    setSizes(entry, size, blocks);
    std::memcpy(at + sizeof(Entry), name, length);
    at[sizeof(Entry) + length] = '\0';
    if (room) std::memset(&linkRoomOf(entry), 0, sizeof(LinkRoom));
    dir->count += 1;
    return entry;
}

// The names of `entry` as its stat gives them (device, inode, link
// count), where it has room.
static void setLinks(Entry &entry, uint64_t dev, uint64_t ino, uint64_t links) {
    if (!(entry.flags & flagLinkRoom)) return;
    LinkRoom &room = linkRoomOf(entry);
    uint32_t nlink = links > UINT32_MAX ? UINT32_MAX : (uint32_t)links;
    std::memcpy(room.dev, &dev, sizeof dev);
    std::memcpy(room.ino, &ino, sizeof ino);
    std::memcpy(room.nlink, &nlink, sizeof nlink);
}

// Takes one entry as read; the type comes from the directory itself and the
// entry is stat'ed here only when the file system does not give it.
static void takeEntry(void *context, const char *name, size_t length, unsigned char type) {
    OpenDir *dir = (OpenDir *)context;
    if (type == DT_DIR) {
        addEntry(dir, name, length, kindDirectory, 0, 0, 0);
    } else if (type != DT_UNKNOWN) {
        addEntry(dir, name, length, kindOther, 0, 0, 0);
    } else {
        struct stat st;
        bool known = sys::fstatat(dir->fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        bool isDir = known && S_ISDIR(st.st_mode);
        bool sized = known && !isDir;
        Entry &entry = addEntry(dir, name, length, isDir ? kindDirectory : kindOther, known ? flagSizeKnown : 0,
                                sized ? (uint64_t)st.st_size : 0, sized ? (uint64_t)st.st_blocks : 0);
        if (sized) setLinks(entry, (uint64_t)st.st_dev, (uint64_t)st.st_ino, (uint64_t)st.st_nlink);
    }
}

// Stats a non-directory through its directory, without following a link;
// its size is known unless the stat failed (errno then says why).
static void statEntry(const OpenDir *dir, Entry &entry) {
    struct stat st;
    if (sys::fstatat(dir->fd, nameOf(entry), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    setSizes(entry, (uint64_t)st.st_size, (uint64_t)st.st_blocks);
    setLinks(entry, (uint64_t)st.st_dev, (uint64_t)st.st_ino, (uint64_t)st.st_nlink);
    entry.flags |= flagSizeKnown;
}

void statRange(OpenDir *dir, uint32_t from, uint32_t to, StatOutcome *outcome) {
    for (uint32_t at = from; at < to && !outcome->denied; at = nextEntry(dir, at)) {
        Entry &entry = entryAt(dir, at);
        if (entry.kind == kindDirectory) continue;
        if (!(entry.flags & flagSizeKnown)) statEntry(dir, entry);
        if (!(entry.flags & flagSizeKnown) && errno == EACCES) outcome->denied = true;
        outcome->searched = outcome->searched || (entry.flags & flagSizeKnown);
    }
}

namespace {

// A record to be put in order, with the first eight code units of its name
// upper-cased as far as they are ASCII: a unit past ASCII is 0x80 and ends
// the prefix, and the end of the name is 0. Every unit past ASCII, once
// upper-cased, is above every ASCII one, so prefixes that differ order their
// names; only equal ones need the names compared.
struct Sorted {
    uint64_t prefix;
    uint32_t at;
};

uint64_t prefixOf(const char *name, size_t length) {
    uint64_t prefix = 0;
    for (size_t i = 0; i < 8; ++i) {
        unsigned char c = i < length ? (unsigned char)name[i] : 0;
        if (c >= 0x80) c = 0x80;
        if (c >= 'a' && c <= 'z') c = (unsigned char)(c - 32);
        prefix |= (uint64_t)c << (56 - 8 * i);
        if (c == 0x80) break;
    }
    return prefix;
}

}  // namespace

// Puts the records after "." in the order compareWindowsOrder gives, so
// that every reader of them (the walker's enumerations, the read-ahead's
// schedule) meets them so. Unless they are in that order already, they are
// copied once in it (std::bad_alloc when memory cannot be had).
static void sortEntries(OpenDir *dir) {
    uint32_t first = firstEntry(dir);
    std::vector<Sorted> order;
    order.reserve(dir->count);
    auto before = [dir](const Sorted &a, const Sorted &b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const Entry &x = entryAt(dir, a.at), &y = entryAt(dir, b.at);
        return compareWindowsOrder(nameOf(x), nameLengthOf(x), nameOf(y), nameLengthOf(y)) < 0;
    };
    bool sorted = true;
    for (uint32_t at = first; at < dir->records.used; at = nextEntry(dir, at)) {
        const Entry &entry = entryAt(dir, at);
        order.push_back(Sorted{prefixOf(nameOf(entry), nameLengthOf(entry)), at});
        sorted = sorted && (order.size() < 2 || !before(order.back(), order[order.size() - 2]));
    }
    if (sorted) return;
    std::sort(order.begin(), order.end(), before);
    Records sortedRecords;
    char *out = sortedRecords.grow(dir->records.used);
    std::memcpy(out, dir->records.data, first);
    for (const Sorted &one : order) {
        uint32_t length = nextEntry(dir, one.at) - one.at;
        std::memcpy(out + first, dir->records.data + one.at, length);
        first += length;
    }
    std::swap(dir->records.data, sortedRecords.data);
    std::swap(dir->records.capacity, sortedRecords.capacity);
}

bool readEntries(OpenDir *dir, bool searchable, StatAll statAll) {
    addEntry(dir, ".", 1, kindDirectory, flagSizeKnown, 0, 0);
    if (!readDirectory(dir->fd, takeEntry, dir)) return false;
    StatOutcome outcome;
    outcome.searched = searchable;
    statAll(dir, &outcome);
    if (outcome.denied) {
        errno = EACCES;
        return false;
    }
    // Listed but not searchable: no size in it could be read. As on Windows,
    // access to such a directory is denied.
    struct stat st;
    if (!outcome.searched && sys::fstatat(dir->fd, ".", &st, 0) != 0) return false;
    sortEntries(dir);
    return true;
}

uint64_t entrySize(const OpenDir *dir, Entry &entry) {
    if (entry.kind != kindDirectory && !(entry.flags & flagSizeKnown)) {
        if (dir->fd >= 0) statEntry(dir, entry);
        entry.flags |= flagSizeKnown;  // a file that vanished counts 0
    }
    return sizeOf(entry);
}

uint64_t allocatedOf(const OpenDir *dir, const Entry &entry) {
    uint32_t blocks = blocksOf(entry);
    if (blocks != blocksBeyond) return (uint64_t)blocks * 512;
    struct stat st;
    int known = -1;
    if (dir->fd >= 0) {
        known = sys::fstatat(dir->fd, nameOf(entry), &st, AT_SYMLINK_NOFOLLOW);
    } else if (!dir->native.empty()) {
        std::string path;
        wholeNative(dir, &path);
        path.append("/").append(nameOf(entry));
        known = sys::fstatat(AT_FDCWD, path.c_str(), &st, AT_SYMLINK_NOFOLLOW);
    }
    if (known == 0) return (uint64_t)st.st_blocks * 512;
    uint64_t size = sizeOf(entry);
    return size + (512 - size % 512) % 512;
}

// Joins the parts of a path along the `up` chain of `dir`: `part` gives a
// directory's own part (its whole path when it has no `up`), `separator`
// whether a separator goes after what comes before (`before` bytes).
template <typename Part, typename Separated>
static void wholePath(const OpenDir *dir, char separator, Part part, Separated separated, std::string *out) {
    size_t length = 0;
    const OpenDir *top = dir;
    for (; top->up != nullptr; top = top->up) length += part(top).size() + 1;
    const std::string &root = part(top);
    out->assign(root);
    out->resize(root.size() + length);
    size_t end = out->size();
    for (const OpenDir *at = dir; at->up != nullptr; at = at->up) {
        const std::string &name = part(at);
        end -= name.size();
        std::memcpy(&(*out)[end], name.data(), name.size());
        (*out)[--end] = separator;
    }
    if (!separated(root)) out->erase(root.size(), 1);  // "/" and "" need none
}

void wholeKey(const OpenDir *dir, std::string *out) {
    wholePath(dir, '\\', [](const OpenDir *d) -> const std::string & { return d->key; },
              [](const std::string &root) { return !root.empty(); }, out);
}

void wholeNative(const OpenDir *dir, std::string *out) {
    wholePath(dir, '/', [](const OpenDir *d) -> const std::string & { return d->native; },
              [](const std::string &root) { return root != "/" && !root.empty(); }, out);
}

// The test of the directories the walk leaves out, set before the first
// walk and only read after it (by the read-ahead's threads too).
static ExclusionTest exclusionTest = nullptr;
static bool exclusionNeedsPath = false;

void noteWalkPath(OpenDir *dir, const char *path, size_t length) {
    if (exclusionTest != nullptr && exclusionNeedsPath) dir->walkPath.assign(path, length);
}

// The walker enters a subdirectory when its name does not begin with '.',
// it can open it (a name Windows could hold), the child's path with its
// final backslash fits its path buffer, and no pattern leaves it out.
void findWalkSubdirs(OpenDir *dir) {
    dir->subdirs.clear();
    if (dir->windowsLength == 0) return;
    bool needsPath = exclusionTest != nullptr && exclusionNeedsPath;
    if (needsPath && dir->walkPath.empty() && dir->up != nullptr && !dir->up->walkPath.empty())
        dir->walkPath.append(dir->up->walkPath).append(dir->native).push_back('\\');
    for (uint32_t at = firstEntry(dir); at < dir->records.used; at = nextEntry(dir, at)) {
        const Entry &entry = entryAt(dir, at);
        if (entry.kind != kindDirectory || (entry.flags & flagUnreachable)) continue;
        size_t length = nameLengthOf(entry);  // bytes, at least as many as characters
        if (dir->windowsLength + length + 1 > maxWalkPath &&
            dir->windowsLength + utf8CharsIn(nameOf(entry), length) + 1 > maxWalkPath)
            continue;
        if (exclusionTest != nullptr && exclusionTest(dir->walkPath.c_str(), dir->walkPath.size(), nameOf(entry), "")) continue;
        dir->subdirs.push_back(at);
    }
}

bool openChildDir(const OpenDir *parent, const char *name, OpenDir *dir) {
    dir->up = parent;
    dir->native = name;
    MountKind kind = notMountPoint;
    if (namedLikeMountPoint(name)) {
        std::string whole;
        wholeNative(dir, &whole);
        kind = mountPointKind(whole);
    }
    if (kind == pseudoMountPoint) {
        errno = EACCES;
        return false;
    }
    dir->mountPoint = kind == otherMountPoint;
    dir->fd = sys::openat(parent->fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return dir->fd >= 0;
}

void clearDir(OpenDir *dir) {
    if (dir->fd >= 0) close(dir->fd);
    dir->fd = -1;
    dir->use = DirUse();
    dir->up = nullptr;
    dir->key.clear();
    dir->walkPath.clear();
    dir->keyLength = 0;
    dir->records.clear();
    dir->count = 0;
    dir->subdirs.clear();
    dir->windowsLength = 0;
    dir->identity = DirIdentity();
    dir->mountPoint = false;
    if (dir->subdirs.capacity() > 1024) std::vector<uint32_t>().swap(dir->subdirs);
}

}  // namespace posix

void setExclusionTest(ExclusionTest test, bool needsParentPath) {
    posix::exclusionTest = test;
    posix::exclusionNeedsPath = needsParentPath;
}
