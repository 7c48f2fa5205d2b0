// From Windows paths to open directories and files: reading a directory's
// entries, the case-insensitive look-up of a name, the resolution of a path
// from its drive component by component, which keeps it on its drive
// through links, and openFile() for the settings file.
#include <cerrno>
#include <climits>
#include <deque>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/posix.h"
#include "platform/posix/syscalls.h"

namespace posix {

static bool isDotOrDotDot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

#ifdef __linux__
bool readDirectory(int fd, EntryVisitor visit, void *context) {
    alignas(8) static thread_local char buffer[32768];  // each reading thread its own
    for (;;) {
        ssize_t got = sys::getdents64(fd, buffer, sizeof buffer);
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
    bool exact;  // the name itself was found: no other can take its place
};

// Keeps the name chooseName prefers.
static void considerName(void *context, const char *name, size_t, unsigned char) {
    NameSearch *search = (NameSearch *)context;
    if (search->exact) return;
    NameChoice choice = chooseName(name, search->wanted, search->found ? search->best->c_str() : nullptr);
    if (choice == nameNot) return;
    search->best->assign(name);
    search->found = true;
    search->exact = choice == nameExact;
}

bool findNameIn(int dirFd, const char *name, std::string *realName) {
    struct stat st;
    if (sys::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        realName->assign(name);
        return true;
    }
    if (errno != ENOENT) return false;
    int fd = sys::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    NameSearch search = {name, realName, false, false};
    bool read = readDirectory(fd, considerName, &search);
    close(fd);
    if (read && search.found) return true;
    std::string trimmed;
    return read && trimmedWindowsName(name, &trimmed) && findNameIn(dirFd, trimmed.c_str(), realName);
}

Chain::~Chain() {
    for (int fd : fds) close(fd);
}

void Chain::push(int fd, const std::string &name) {
    native = joinNative(native, name);
    fds.push_back(fd);
    nativeLengths.push_back(native.size());
}

void Chain::pop() {
    close(fds.back());
    fds.pop_back();
    nativeLengths.pop_back();
    native.resize(nativeLengths.back());
}

std::string joinNative(const std::string &dir, const std::string &name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// A component still to resolve: one of the key, looked up as findNameIn
// does, or one of a link's target, taken exactly.
struct Component {
    std::string name;
    bool exact;
};

enum : int { maxLinksFollowed = 40 };

// The components of the link `name` in the directory `chain` has reached,
// put in front of `pending`. A target that begins with '/' must lie in the
// start directory; the chain then goes back to it. False when the link
// cannot be read or leads off the start directory.
static bool expandLink(Chain *chain, const std::string &name, std::deque<Component> *pending) {
    char target[PATH_MAX];
    ssize_t length = readlinkat(chain->top(), name.c_str(), target, sizeof target - 1);
    if (length <= 0) return false;
    target[length] = '\0';
    const char *rest = target;
    if (target[0] == '/') {
        const std::string &start = chain->native.substr(0, chain->nativeLengths.front());
        size_t prefix = start == "/" ? 0 : start.size();
        if (std::strncmp(target, start.c_str(), prefix) != 0 || (target[prefix] != '/' && target[prefix] != '\0'))
            return false;
        while (chain->fds.size() > 1) chain->pop();
        rest = target + prefix;
    }
    std::vector<Component> parts;
    for (const char *c = rest; *c != '\0';) {
        while (*c == '/') ++c;
        const char *end = c;
        while (*end != '\0' && *end != '/') ++end;
        if (end > c) parts.push_back(Component{std::string(c, (size_t)(end - c)), true});
        c = end;
    }
    pending->insert(pending->begin(), parts.begin(), parts.end());
    return true;
}

// The real name in `dir` of component `c`; false (errno set) when none.
static bool realNameOf(int dir, const Component &c, std::string *real) {
    struct stat st;
    if (!c.exact) return findNameIn(dir, c.name.c_str(), real);
    real->assign(c.name);
    return sys::fstatat(dir, c.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Resolves `pending` from the chain's start. Each component is entered as a
// directory, except that the last one of a path that names a file (`file`
// given) ends the resolution on its name. A link is followed only when
// `links` is withinStart and it leads to a place inside the start
// directory; the last component of a file path that is written is never
// followed (the caller refuses a link there). False (errno set) when the
// path leads nowhere inside the start directory.
static bool resolve(Chain *chain, std::deque<Component> pending, Links links, FileEnd *file) {
    int followed = 0;
    std::string real;
    while (!pending.empty()) {
        Component c = std::move(pending.front());
        pending.pop_front();
        bool last = pending.empty();
        if (c.name == "." || (c.name == ".." && chain->fds.size() == 1 && chain->native == "/")) continue;
        if (c.name == "..") {
            if (chain->fds.size() == 1) return (errno = ENOENT, false);
            chain->pop();
            continue;
        }
        bool exists = realNameOf(chain->top(), c, &real);
        if (!exists && !(last && file != nullptr && errno == ENOENT)) return false;
        struct stat st;
        bool isLink = exists && sys::fstatat(chain->top(), real.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(st.st_mode);
        if (isLink && !(last && file != nullptr && links == Links::none)) {
            if (links == Links::none || ++followed > maxLinksFollowed) return (errno = ELOOP, false);
            if (!expandLink(chain, real, &pending)) return (errno = ENOENT, false);
            continue;
        }
        if (last && file != nullptr) {
            file->found = exists;
            if (!exists && !trimmedWindowsName(c.name.c_str(), &file->name)) file->name = c.name;
            if (exists) file->name = real;
            return true;
        }
        int child = sys::openat(chain->top(), real.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) return false;
        chain->push(child, real);
    }
    return file == nullptr || (errno = ENOENT, false);
}

// Opens where a key starts, the directory no link may lead out of: its
// drive's directory, or the working directory for a key on no drive.
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

// The components of `key` after its start, to be looked up as findNameIn does.
static std::deque<Component> keyComponents(const PathKey &key) {
    std::deque<Component> parts;
    for (size_t offset = firstComponent(key); offset < key.text.size();) {
        size_t next = nextComponent(key, offset);
        size_t end = next < key.text.size() ? next - 1 : next;
        parts.push_back(Component{key.text.substr(offset, end - offset), false});
        offset = next;
    }
    return parts;
}

// Starts `chain` at the start of `key` and resolves its components.
static bool resolveKey(const PathKey &key, Links links, Chain *chain, FileEnd *file) {
    std::string native;
    int start = openKeyStart(key, &native);
    if (start < 0) return false;
    chain->native = native;
    chain->fds.push_back(start);
    chain->nativeLengths.push_back(native.size());
    return resolve(chain, keyComponents(key), links, file);
}

bool isForeignFile(const struct stat &st, bool *foreign) {
    bool planted = (st.st_uid != geteuid() && st.st_uid != 0) || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (planted && foreign != nullptr) *foreign = true;
    return planted;
}

int openKeyDirectory(const PathKey &key, std::string *native, Links links) {
    Chain chain;
    if (!resolveKey(key, links, &chain, nullptr)) return -1;
    native->assign(chain.native);
    if (chain.fds.size() == 1) return sys::openat(chain.top(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int fd = chain.top();
    chain.fds.pop_back();  // handed over, not closed
    return fd;
}

bool resolveFilePath(const char *path, Links links, Chain *chain, FileEnd *file) {
    std::string current = needsCurrentDirectory(path) ? currentWindowsDirectory() : std::string();
    PathKey key;
    if (!makePathKey(path, current.c_str(), &key) || firstComponent(key) >= key.text.size()) return false;
    return resolveKey(key, links, chain, file);
}

}  // namespace posix

using namespace posix;

// Opens the file that `path` names for reading, when it is a regular file on
// a real file system: a FIFO or a device is refused, not opened for good,
// and a kernel pseudo file (which may block a reader, or never end) is as if
// no file were there. Links are followed only inside the drive. Only
// reading is offered: the files the program writes are replacements. A file
// another user may have written is not read (*foreign set).
FILE *openFile(const char *path, const char *mode, bool *foreign) {
    if (path == nullptr || mode == nullptr || mode[0] != 'r' || std::strchr(mode, '+') != nullptr) return nullptr;
    Chain chain;
    FileEnd end;
    if (!resolveFilePath(path, Links::withinStart, &chain, &end) || !end.found) return nullptr;
    int fd = sys::openat(chain.top(), end.name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return nullptr;
    struct stat st;
    bool usable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                  !onPseudoFileSystem(fd, joinNative(chain.native, end.name)) &&
                  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0 && !isForeignFile(st, foreign);
    FILE *file = usable ? fdopen(fd, mode) : nullptr;
    if (file == nullptr) close(fd);
    return file;
}
