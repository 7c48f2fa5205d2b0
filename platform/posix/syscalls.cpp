// The table of the POSIX layer's system calls (syscalls.h): each wrapper
// asks whether a test has armed its call to fail, then makes the call.
// Unarmed, that is one relaxed atomic load per call.
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#ifdef __linux__
#include <dirent.h>
#endif

#include "platform/posix/syscalls.h"

namespace posix {

static std::atomic<int> countdown[syscallCount];  // calls until the armed failure; 0 unarmed
static std::atomic<int> failError[syscallCount];

void failSyscall(Syscall which, int nth, int error) {
    failError[which].store(error);
    countdown[which].store(nth < 0 ? 0 : nth);
}

// True (errno set) when this call of `which` is the one armed to fail.
static bool failsNow(Syscall which) {
    int left = countdown[which].load(std::memory_order_relaxed);
    while (left > 0 && !countdown[which].compare_exchange_weak(left, left - 1)) {
    }
    if (left != 1) return false;
    errno = failError[which].load();
    return true;
}

namespace sys {

int openat(int dir, const char *path, int flags, mode_t mode) {
#ifdef O_TMPFILE
    Syscall which = (flags & O_TMPFILE) == O_TMPFILE ? sysOpenUnnamed : sysOpenat;
#else
    Syscall which = sysOpenat;
#endif
    return failsNow(which) ? -1 : ::openat(dir, path, flags, mode);
}

int fstatat(int dir, const char *path, struct stat *st, int flags) {
    return failsNow(sysFstatat) ? -1 : ::fstatat(dir, path, st, flags);
}

#ifdef __linux__
ssize_t getdents64(int fd, void *buffer, size_t size) {
    return failsNow(sysGetdents) ? -1 : ::getdents64(fd, buffer, size);
}
#endif

void *mmap(size_t length) {
    if (failsNow(sysMmap)) return MAP_FAILED;
    return ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
}

void *mremap(void *data, size_t length, size_t wanted) {
    return failsNow(sysMremap) ? MAP_FAILED : ::mremap(data, length, wanted, MREMAP_MAYMOVE);
}

int threadStart(pthread_t *thread, const pthread_attr_t *attributes, void *(*main)(void *), void *argument) {
    if (failsNow(sysThreadStart)) return errno;
    return pthread_create(thread, attributes, main, argument);
}

ssize_t procRead(int fd, char *text, size_t room) {
    return failsNow(sysProcRead) ? -1 : pread(fd, text, room, 0);
}

void clock(clockid_t clock, struct timespec *now) {
    if (failsNow(sysClock) || clock_gettime(clock, now) != 0) *now = {0, 0};
}

}  // namespace sys
}  // namespace posix
