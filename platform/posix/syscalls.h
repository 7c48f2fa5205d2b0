// The system calls of the POSIX layer that the walk, its read-ahead and
// the files written whole depend on, in one table of wrappers private to
// platform/posix, so that a test can make the Nth call of one of them fail
// and watch the layer keep its promise (the read-ahead stopping, an
// enumeration tried again, a replaced directory refused, a new file made
// under a name where no unnamed one can be had).
#pragma once

#include <cstddef>
#include <ctime>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace posix {

// sysOpenUnnamed: an openat that makes a file without a name (O_TMPFILE),
// which file systems grant or refuse on their own (EOPNOTSUPP).
enum Syscall {
    sysOpenat, sysFstatat, sysGetdents, sysMmap, sysMremap, sysThreadStart, sysProcRead, sysClock,
    sysOpenUnnamed, syscallCount
};

namespace sys {
int openat(int dir, const char *path, int flags, mode_t mode = 0);  // O_TMPFILE: sysOpenUnnamed
int fstatat(int dir, const char *path, struct stat *st, int flags);
ssize_t getdents64(int fd, void *buffer, size_t size);
void *mmap(size_t length);                                 // anonymous, private, read and write
void *mremap(void *data, size_t length, size_t wanted);    // may move
int threadStart(pthread_t *thread, const pthread_attr_t *attributes, void *(*main)(void *), void *argument);
ssize_t procRead(int fd, char *text, size_t room);          // a procfs file from its start
void clock(clockid_t clock, struct timespec *now);          // a failed reading gives 0
}  // namespace sys

// Test hook: the `nth` call of `which` from now on fails with `error`
// (0 for `nth` disarms it). Safe from any thread.
void failSyscall(Syscall which, int nth, int error);

}  // namespace posix
