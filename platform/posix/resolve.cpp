// From Windows paths to open directories and files: reading a directory's
// entries, the case-insensitive look-up of a name, opening the directory a
// path key names, and openFile() for the settings and report files.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace posix {

static bool isDotOrDotDot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

#ifdef __linux__
bool readDirectory(int fd, EntryVisitor visit, void *context) {
    alignas(8) static thread_local char buffer[32768];  // each reading thread its own
    for (;;) {
        ssize_t got = getdents64(fd, buffer, sizeof buffer);
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t offset = 0; offset < got;) {
            const struct dirent64 *entry = (const struct dirent64 *)(buffer + offset);
            offset += entry->d_reclen;
            if (!isDotOrDotDot(entry->d_name))
                visit(context, entry->d_name, std::strlen(entry->d_name), entry->d_type);
        }
    }
}
#else
bool readDirectory(int fd, EntryVisitor visit, void *context) {
    int own = dup(fd);
    DIR *dir = own >= 0 ? fdopendir(own) : nullptr;
    if (dir == nullptr) {
        if (own >= 0) close(own);
        return false;
    }
    errno = 0;
    while (const struct dirent *entry = readdir(dir)) {
        if (!isDotOrDotDot(entry->d_name))
            visit(context, entry->d_name, std::strlen(entry->d_name), entry->d_type);
    }
    bool ok = errno == 0;
    closedir(dir);
    return ok;
}
#endif

struct NameSearch {
    const char *wanted;
    std::string *best;
    bool found;
};

// Keeps the first name in byte order that equals the wanted one without
// regard to ASCII case; unsafe names are never chosen.
static void considerName(void *context, const char *name, size_t, unsigned char) {
    NameSearch *search = (NameSearch *)context;
    if (!equalNoCase(name, search->wanted) || isUnsafeName(name)) return;
    if (!search->found || std::strcmp(name, search->best->c_str()) < 0) {
        search->best->assign(name);
        search->found = true;
    }
}

bool findNameIn(int dirFd, const char *name, std::string *realName) {
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        realName->assign(name);
        return true;
    }
    if (errno != ENOENT) return false;
    int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    NameSearch search = {name, realName, false};
    bool read = readDirectory(fd, considerName, &search);
    close(fd);
    if (read && search.found) return true;
    std::string trimmed;
    return read && trimmedWindowsName(name, &trimmed) && findNameIn(dirFd, trimmed.c_str(), realName);
}

static void appendNative(std::string *native, const std::string &name) {
    if (native->empty() || native->back() != '/') *native += '/';
    *native += name;
}

int openComponents(int startFd, const PathKey &key, size_t offset, std::string *native) {
    int fd = startFd;
    std::string name, realName;
    while (offset < key.text.size()) {
        size_t next = nextComponent(key, offset);
        size_t end = next < key.text.size() ? next - 1 : next;
        name.assign(key.text, offset, end - offset);
        // A link named in the path itself is followed, as the user asked for it.
        int child = findNameIn(fd, name.c_str(), &realName)
                        ? openat(fd, realName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                        : -1;
        if (fd != startFd) close(fd);
        if (child < 0) return -1;
        appendNative(native, realName);
        fd = child;
        offset = next;
    }
    return fd != startFd ? fd : openat(startFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Opens where a key starts: its drive's directory, or the working directory.
static int openKeyStart(const PathKey &key, std::string *native) {
    if (!key.onDrive) {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) == nullptr) return -1;
        native->assign(cwd);
        return open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    const char *dir = driveDirectory(key.text[0]);
    if (dir == nullptr) {
        errno = ENOENT;
        return -1;
    }
    native->assign(dir);
    return open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int openKeyDirectory(const PathKey &key, std::string *native) {
    int start = openKeyStart(key, native);
    if (start < 0) return -1;
    size_t first = firstComponent(key);
    int fd = start;
    if (first < key.text.size()) {
        fd = openComponents(start, key, first, native);
        close(start);
        if (fd < 0) return -1;
    }
    char canonical[PATH_MAX];
    if (realpath(native->c_str(), canonical) != nullptr) native->assign(canonical);
    return fd;
}

}  // namespace posix

using namespace posix;

// Splits a file's key into the key of its directory and its name; false
// when it names no file (a drive root, an empty path).
static bool splitFileKey(const PathKey &key, PathKey *dirKey, std::string *name) {
    size_t last = key.text.rfind('\\');
    size_t nameStart = last == std::string::npos ? 0 : last + 1;
    if (nameStart >= key.text.size() || (key.onDrive && last == std::string::npos)) return false;
    name->assign(key.text, nameStart, std::string::npos);
    dirKey->onDrive = key.onDrive;
    dirKey->text.assign(key.text, 0, last == std::string::npos ? 0 : last);
    return *name != ".." && *name != ".";
}

// Opens `name` of the directory open as `dirFd` as a stream of `mode`, when
// it is a regular file or, for writing, when it is not there yet and can be
// created. Never blocks (a FIFO or a device is refused, not opened for
// good), and never writes through a symbolic link: its last component is
// not followed. Settings and report files are only ever such files.
static FILE *openRegular(int dirFd, const std::string &name, const char *mode) {
    bool writing = mode[0] != 'r' || std::strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= writing ? O_RDWR | O_CREAT | O_NOFOLLOW : O_RDONLY;
    if (mode[0] == 'a') flags |= O_APPEND;
    int fd = openat(dirFd, name.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    bool usable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                  (mode[0] != 'w' || ftruncate(fd, 0) == 0) &&
                  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    FILE *file = usable ? fdopen(fd, mode) : nullptr;
    if (file == nullptr) close(fd);
    return file;
}

FILE *openFile(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    std::string current = needsCurrentDirectory(path) ? currentWindowsDirectory() : std::string();
    PathKey key, dirKey;
    std::string name, realName, native;
    if (!makePathKey(path, current.c_str(), &key) || !splitFileKey(key, &dirKey, &name)) return nullptr;
    int dirFd = openKeyDirectory(dirKey, &native);
    if (dirFd < 0) return nullptr;
    bool found = findNameIn(dirFd, name.c_str(), &realName);
    if (!found && !trimmedWindowsName(name.c_str(), &realName)) realName = name;
    FILE *file = nullptr;
    if (found || mode[0] != 'r') file = openRegular(dirFd, realName, mode);
    close(dirFd);
    return file;
}
