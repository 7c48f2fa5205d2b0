// Files written whole (the report file, an export). A replacement is a new
// file in the folder of its path, reached through no link, that takes the
// path's place by a rename once complete; until then the old file is
// untouched. Where the file system allows, the new file has no name at all
// until then (O_TMPFILE), so that neither a walk of its folder nor a
// process killed outright ever sees it; elsewhere it is created exclusively
// under a name of its own, which the walk knows as its own file and counts
// in no figure (isOwnNewFile). It takes the old file's permission bits (and,
// run as root, its owner and group), so that no more users may read it than
// could read the old one; a file another user planted, or a hard link, is
// replaced, never written into. The signal handlers (signals.cpp) remove the
// named new files of unfinished replacements, from names kept where a
// handler can read them.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/posix.h"
#include "platform/posix/syscalls.h"

using namespace posix;

namespace {

enum : int { maxReplacements = 4, tempNameSize = 24 };

// What a signal handler reads: the folder and the new file's name, once it
// has one. A slot and its name change with the signals blocked.
struct TempFile {
    int dirFd = -1;                   // the folder, open; -1 when the slot is free
    bool named = false;               // the new file is in the folder under `name`
    char name[tempNameSize] = {};
};
TempFile temps[maxReplacements];
FILE *streams[maxReplacements];       // the new file's stream
std::string finalNames[maxReplacements];  // the name it takes when complete

int slotOf(FILE *file) {
    for (int i = 0; i < maxReplacements; ++i)
        if (file != nullptr && streams[i] == file) return i;
    return -1;
}

// Gives temps[slot] a name no entry of the folder has, ".folmar-" and eight
// hexadecimal digits, trying `make` (which returns -1 and EEXIST when the
// name is taken) until one is free; its result, or -1.
template <typename Make>
int underFreeName(int slot, Make make) {
    static unsigned seed = (unsigned)getpid() * 2654435761u ^ (unsigned)std::time(nullptr);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 1103515245u + 12345u + (unsigned)attempt;
        std::snprintf(temps[slot].name, sizeof temps[slot].name, ".folmar-%08x", seed);
        int result = make(temps[slot].name);
        if (result >= 0 || errno != EEXIST) return result;
    }
    return -1;
}

// A file without a name in the folder, when the file system can make one
// and it can be given a name later (through /proc, or as root); else -1.
int createUnnamed(int dirFd) {
#ifdef O_TMPFILE
    static const bool linkable = access("/proc/self/fd", X_OK) == 0 || geteuid() == 0;
    if (linkable) return sys::openat(dirFd, ".", O_RDWR | O_TMPFILE | O_CLOEXEC, 0666);
#endif
    (void)dirFd;
    return -1;
}

// Gives the unnamed file open as `fd` a free name in its folder.
bool nameUnnamed(int slot, int fd) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    int dirFd = temps[slot].dirFd;
    bool named = underFreeName(slot, [&](const char *name) {
        int linked = linkat(AT_FDCWD, self, dirFd, name, AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno != EEXIST) linked = linkat(fd, "", dirFd, name, AT_EMPTY_PATH);
        return linked;
    }) == 0;
    temps[slot].named = named;
    return named;
}

// In a sticky folder (such as /tmp) only root, the folder's owner or the
// file's may replace a file; for anyone else the run would fail only at its
// end, so such a file cannot be used from the start.
bool mayReplace(int dirFd, const struct stat &old) {
    struct stat dir;
    uid_t me = geteuid();
    if (me == 0 || old.st_uid == me || fstat(dirFd, &dir) != 0) return true;
    return !(dir.st_mode & S_ISVTX) || dir.st_uid == me;
}

// The folder of `path` and the name there, when a replacement may be made:
// the folder on a real file system, the name free or a regular file that
// the user could have written (a report made read-only stays as it is).
// errno says why not, for the message: 0 for a name that is no regular
// file, or a folder on a kernel pseudo file system.
bool replaceable(const char *path, Chain *chain, FileEnd *end, struct stat *old) {
    if (!resolveFilePath(path, Links::none, chain, end)) {
        if (errno == 0) errno = ENOENT;
        return false;
    }
    errno = 0;
    if (onPseudoFileSystem(chain->top(), chain->native)) return false;
    if (!end->found) return true;
    int dir = chain->top();
    if (sys::fstatat(dir, end->name.c_str(), old, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (!S_ISREG(old->st_mode)) {
        errno = 0;
        return false;
    }
    if (faccessat(dir, end->name.c_str(), W_OK, AT_EACCESS) != 0) return false;
    if (mayReplace(dir, *old)) return true;
    errno = EACCES;
    return false;
}

// Gives the new file `fd` the access of `old`, the file it replaces: its
// permission bits and, run as root, its owner; its group where the user may
// give it. A group that cannot be kept gets no access: the new file is never
// readable by more users than the old one.
void keepAccess(int fd, const struct stat &old) {
    mode_t mode = old.st_mode & 0777;
    uid_t owner = geteuid() == 0 ? old.st_uid : (uid_t)-1;
    if (fchown(fd, owner, old.st_gid) != 0) mode &= ~(mode_t)070;
    fchmod(fd, mode);
}

// Forgets slot `slot`, removing its new file (if it has a name) unless it
// was renamed. Called with the signals blocked.
void release(int slot, bool removeFile) {
    if (removeFile && temps[slot].named) unlinkat(temps[slot].dirFd, temps[slot].name, 0);
    close(temps[slot].dirFd);
    temps[slot].dirFd = -1;
    temps[slot].named = false;
    streams[slot] = nullptr;
}

}  // namespace

void posix::removeReplacementFiles() {
    for (TempFile &temp : temps)
        if (temp.dirFd >= 0 && temp.named) unlinkat(temp.dirFd, temp.name, 0);
}

// POSIX writes every file byte for byte: `binary` changes nothing.
static FILE *createNewFile(const char *path) {
    int slot = -1;
    for (int i = 0; i < maxReplacements && slot < 0; ++i)
        if (temps[i].dirFd < 0) slot = i;
    Chain chain;
    FileEnd end;
    struct stat old = {};
    if (path == nullptr || slot < 0 || !replaceable(path, &chain, &end, &old)) return nullptr;
    int dirFd = chain.top();
    sigset_t saved;
    blockEndSignals(&saved);
    temps[slot].dirFd = dirFd;
    int fd = createUnnamed(dirFd);
    if (fd < 0) {
        fd = underFreeName(slot, [&](const char *name) {
            return sys::openat(dirFd, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        });
        temps[slot].named = fd >= 0;
    }
    if (fd >= 0) chain.fds.pop_back();  // the slot keeps the folder open
    if (fd < 0) temps[slot].dirFd = -1;
    restoreSignalMask(&saved);
    if (fd < 0) return nullptr;
    finalNames[slot] = end.name;
    if (end.found) keepAccess(fd, old);
    streams[slot] = fdopen(fd, "w+");
    if (streams[slot] == nullptr) {
        close(fd);
        blockEndSignals(&saved);
        release(slot, true);
        restoreSignalMask(&saved);
    }
    return streams[slot];
}

// The errno of the latest createReplacement that failed; 0 when the failure
// was a name that is no regular file of a real file system.
static int replacementErrno = 0;

FILE *createReplacement(const char *path, bool) {
    errno = 0;
    FILE *file = createNewFile(path);
    if (file == nullptr) replacementErrno = errno;
    return file;
}

const char *replacementFailure() {
    static char reason[128];
    if (replacementErrno == 0) return "not a regular file of a real file system";
    std::snprintf(reason, sizeof reason, "%s", std::strerror(replacementErrno));
    reason[0] = (char)std::tolower((unsigned char)reason[0]);
    return reason;
}

// Everything written reaches the disk before the new file takes the old
// one's place, so that a crash leaves one or the other whole.
bool commitReplacement(FILE *file) {
    int slot = slotOf(file);
    if (slot < 0) return false;
    bool written = std::fflush(file) == 0 && !std::ferror(file);
    if (written && fsync(fileno(file)) != 0 && errno != EINVAL) written = false;
    sigset_t saved;
    blockEndSignals(&saved);
    if (written && !temps[slot].named) written = nameUnnamed(slot, fileno(file));
    if (std::fclose(file) != 0) written = false;
    const TempFile &temp = temps[slot];
    bool renamed = written && renameat(temp.dirFd, temp.name, temp.dirFd, finalNames[slot].c_str()) == 0;
    release(slot, !renamed);
    restoreSignalMask(&saved);
    return renamed;
}

void abandonReplacement(FILE *file) {
    int slot = slotOf(file);
    if (slot < 0) return;
    std::fclose(file);
    sigset_t saved;
    blockEndSignals(&saved);
    release(slot, true);
    restoreSignalMask(&saved);
}

bool isStandardOutput(const char *writtenPath) {
    Chain chain;
    FileEnd end;
    struct stat written, out;
    return writtenPath != nullptr && resolveFilePath(writtenPath, Links::none, &chain, &end) && end.found &&
           sys::fstatat(chain.top(), end.name.c_str(), &written, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(written.st_mode) &&
           fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == written.st_dev && out.st_ino == written.st_ino;
}

bool isSameFile(const char *writtenPath, const char *readPath) {
    Chain chain;
    FileEnd end;
    struct stat written, read;
    if (writtenPath == nullptr || !resolveFilePath(writtenPath, Links::none, &chain, &end) || !end.found ||
        sys::fstatat(chain.top(), end.name.c_str(), &written, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(written.st_mode))
        return false;
    FILE *file = reopenSharedSettingsPlace(readPath);
    if (file == nullptr) file = openFile(readPath, "r");
    if (file == nullptr) return false;
    bool same = fstat(fileno(file), &read) == 0 && read.st_dev == written.st_dev && read.st_ino == written.st_ino;
    std::fclose(file);
    return same;
}

// No program holds a file here against its replacement.
uint32_t replacementError() { return 0; }

// A new file without a name (O_TMPFILE) is never listed; one made under a
// name of its own (a file system without unnamed files) is known by its
// name first, which costs the walk a comparison per slot, then by device
// and inode.
bool isOwnNewFile(const char *searchPath, const char *name) {
    for (int slot = 0; slot < maxReplacements; ++slot) {
        if (streams[slot] == nullptr || !temps[slot].named || std::strcmp(name, temps[slot].name) != 0) continue;
        const char *pattern = std::strrchr(searchPath, '\\');
        std::string path(searchPath, pattern == nullptr ? 0 : (size_t)(pattern - searchPath) + 1);
        path += name;
        Chain chain;
        FileEnd end;
        struct stat entry, own;
        if (resolveFilePath(path.c_str(), Links::none, &chain, &end) && end.found &&
            sys::fstatat(chain.top(), end.name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
            fstat(fileno(streams[slot]), &own) == 0 && entry.st_dev == own.st_dev && entry.st_ino == own.st_ino)
            return true;
    }
    return false;
}
