// Files written whole (the report file, an export). A replacement is a new
// file, created exclusively under a name of its own in the folder of its
// path, reached through no link, and renamed over the path once complete;
// until then the old file is untouched. The new file is the running user's
// (with the old file's permissions when that was the user's own too), so a
// file another user planted, or a hard link, is replaced, never written
// into. The new files of unfinished replacements are removed by the signal
// handlers (signals.cpp), from names kept where a handler can read them.
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

using namespace posix;

namespace {

enum : int { maxReplacements = 4, tempNameSize = 24 };

// What a signal handler reads: the folder and the new file's name. A slot is
// taken and given back with the signals blocked.
struct TempFile {
    int dirFd = -1;                   // the folder, open; -1 when the slot is free
    char name[tempNameSize] = {};     // the new file in it
};
TempFile temps[maxReplacements];
FILE *streams[maxReplacements];       // the new file's stream
std::string finalNames[maxReplacements];  // the name it takes when complete

int slotOf(FILE *file) {
    for (int i = 0; i < maxReplacements; ++i)
        if (file != nullptr && streams[i] == file) return i;
    return -1;
}

// Creates a file of a name no entry of the folder has, ".folmar-" and eight
// hexadecimal digits, into temps[slot]; its descriptor, or -1.
int createTempFile(int dirFd, int slot) {
    static unsigned seed = (unsigned)getpid() * 2654435761u ^ (unsigned)std::time(nullptr);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 1103515245u + 12345u + (unsigned)attempt;
        std::snprintf(temps[slot].name, sizeof temps[slot].name, ".folmar-%08x", seed);
        int fd = openat(dirFd, temps[slot].name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
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
bool replaceable(const char *path, Chain *chain, FileEnd *end, struct stat *old) {
    if (!resolveFilePath(path, Links::none, chain, end) || onPseudoFileSystem(chain->top(), chain->native))
        return false;
    if (!end->found) return true;
    int dir = chain->top();
    return fstatat(dir, end->name.c_str(), old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old->st_mode) &&
           faccessat(dir, end->name.c_str(), W_OK, AT_EACCESS) == 0 && mayReplace(dir, *old);
}

// Forgets slot `slot`, removing its new file unless it was renamed.
void release(int slot, bool removeFile) {
    sigset_t saved;
    blockEndSignals(&saved);
    if (removeFile) unlinkat(temps[slot].dirFd, temps[slot].name, 0);
    close(temps[slot].dirFd);
    temps[slot].dirFd = -1;
    streams[slot] = nullptr;
    restoreSignalMask(&saved);
}

}  // namespace

void posix::removeReplacementFiles() {
    for (TempFile &temp : temps)
        if (temp.dirFd >= 0) unlinkat(temp.dirFd, temp.name, 0);
}

FILE *createReplacement(const char *path) {
    int slot = -1;
    for (int i = 0; i < maxReplacements && slot < 0; ++i)
        if (temps[i].dirFd < 0) slot = i;
    Chain chain;
    FileEnd end;
    struct stat old = {};
    if (path == nullptr || slot < 0 || !replaceable(path, &chain, &end, &old)) return nullptr;
    sigset_t saved;
    blockEndSignals(&saved);
    int fd = createTempFile(chain.top(), slot);
    if (fd >= 0) {
        temps[slot].dirFd = chain.top();
        chain.fds.pop_back();  // the slot keeps the folder open
    }
    restoreSignalMask(&saved);
    if (fd < 0) return nullptr;
    finalNames[slot] = end.name;
    if (end.found && old.st_uid == geteuid()) fchmod(fd, old.st_mode & 0777);
    streams[slot] = fdopen(fd, "w+");
    if (streams[slot] == nullptr) {
        close(fd);
        release(slot, true);
    }
    return streams[slot];
}

// Everything written reaches the disk before the new file takes the old
// one's place, so that a crash leaves one or the other whole.
bool commitReplacement(FILE *file) {
    int slot = slotOf(file);
    if (slot < 0) return false;
    bool written = std::fflush(file) == 0 && !std::ferror(file);
    if (written && fsync(fileno(file)) != 0 && errno != EINVAL) written = false;
    if (std::fclose(file) != 0) written = false;
    const TempFile &temp = temps[slot];
    bool renamed = written && renameat(temp.dirFd, temp.name, temp.dirFd, finalNames[slot].c_str()) == 0;
    release(slot, !renamed);
    return renamed;
}

void abandonReplacement(FILE *file) {
    int slot = slotOf(file);
    if (slot < 0) return;
    std::fclose(file);
    release(slot, true);
}

bool isSameFile(const char *writtenPath, const char *readPath) {
    Chain chain;
    FileEnd end;
    struct stat written, read;
    if (writtenPath == nullptr || !resolveFilePath(writtenPath, Links::none, &chain, &end) || !end.found ||
        fstatat(chain.top(), end.name.c_str(), &written, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(written.st_mode))
        return false;
    FILE *file = openFile(readPath, "r");
    if (file == nullptr) return false;
    bool same = fstat(fileno(file), &read) == 0 && read.st_dev == written.st_dev && read.st_ino == written.st_ino;
    std::fclose(file);
    return same;
}
