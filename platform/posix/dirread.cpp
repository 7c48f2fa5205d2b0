// Reading one directory into an OpenDir: its entries in the file system's
// order, their kinds and sizes, and which subdirectories the walk will
// enter. Used by the walker's own enumerations and by the read-ahead
// threads alike; nothing here touches shared state.
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/dirs.h"
#include "platform/posix/posix.h"
#include "platform/utf8.h"

namespace posix {

void addEntry(OpenDir *dir, const char *name, size_t length, uint8_t kind, uint8_t flags,
              uint64_t size, uint64_t allocated) {
    Entry entry = {(uint32_t)dir->names.size(), (uint16_t)length, kind, flags, size, allocated};
    if (isUnsafeName(name)) entry.flags |= flagUnsafe;
    dir->names.insert(dir->names.end(), name, name + length + 1);
    dir->entries.push_back(entry);
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
        bool known = fstatat(dir->fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        bool isDir = known && S_ISDIR(st.st_mode);
        bool sized = known && !isDir;
        addEntry(dir, name, length, isDir ? kindDirectory : kindOther, known ? flagSizeKnown : 0,
                 sized ? (uint64_t)st.st_size : 0, sized ? (uint64_t)st.st_blocks * 512 : 0);
    }
}

// Stats a non-directory through its directory, without following a link;
// its size is known unless the stat failed (errno then says why).
static void statEntry(const OpenDir *dir, Entry &entry) {
    struct stat st;
    if (fstatat(dir->fd, nameOf(dir, entry), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    entry.size = (uint64_t)st.st_size;
    entry.allocated = (uint64_t)st.st_blocks * 512;
    entry.flags |= flagSizeKnown;
}

bool readEntries(OpenDir *dir, bool searchable) {
    addEntry(dir, ".", 1, kindDirectory, flagSizeKnown, 0, 0);
    if (!readDirectory(dir->fd, takeEntry, dir)) return false;
    bool searched = searchable;
    for (Entry &entry : dir->entries) {
        if (entry.kind == kindDirectory) continue;
        if (!(entry.flags & flagSizeKnown)) statEntry(dir, entry);
        if (!(entry.flags & flagSizeKnown) && errno == EACCES) return false;
        searched = searched || (entry.flags & flagSizeKnown);
    }
    // Listed but not searchable: no size in it could be read. As on Windows,
    // access to such a directory is denied.
    struct stat st;
    return searched || fstatat(dir->fd, ".", &st, 0) == 0;
}

uint64_t entrySize(const OpenDir *dir, Entry &entry) {
    if (entry.kind != kindDirectory && !(entry.flags & flagSizeKnown)) {
        if (dir->fd >= 0) statEntry(dir, entry);
        entry.flags |= flagSizeKnown;  // a file that vanished counts 0
    }
    return entry.size;
}

// The walker enters a subdirectory when its name does not begin with '.',
// it can open it (a name Windows could hold), and the child's path with its
// final backslash fits its path buffer.
void findWalkSubdirs(OpenDir *dir) {
    dir->subdirs.clear();
    if (dir->windowsLength == 0) return;
    for (size_t i = 1; i < dir->entries.size(); ++i) {
        const Entry &entry = dir->entries[i];
        if (entry.kind != kindDirectory || (entry.flags & flagUnsafe)) continue;
        if (nameOf(dir, entry)[0] == '.') continue;
        if (dir->windowsLength + utf8CharsIn(nameOf(dir, entry), entry.nameLength) + 1 > maxWalkPath)
            continue;
        dir->subdirs.push_back((uint32_t)i);
    }
}

bool openChildDir(const OpenDir *parent, const char *name, OpenDir *dir) {
    dir->native = parent->native;
    if (dir->native != "/") dir->native += '/';
    dir->native += name;
    MountKind kind = mountPointKind(dir->native);
    if (kind == pseudoMountPoint) {
        errno = EACCES;
        return false;
    }
    dir->mountPoint = kind == otherMountPoint;
    dir->fd = openat(parent->fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return dir->fd >= 0;
}

void clearDir(OpenDir *dir) {
    if (dir->fd >= 0) close(dir->fd);
    dir->fd = -1;
    dir->users = 0;
    dir->hint = 0;
    dir->key.clear();
    dir->entries.clear();
    dir->names.clear();
    dir->subdirs.clear();
    dir->windowsLength = 0;
    dir->identity = DirIdentity();
    dir->mountPoint = false;
    if (dir->entries.capacity() > 1024) std::vector<Entry>().swap(dir->entries);
    if (dir->names.capacity() > 32768) std::vector<char>().swap(dir->names);
    if (dir->subdirs.capacity() > 1024) std::vector<uint32_t>().swap(dir->subdirs);
}

}  // namespace posix
