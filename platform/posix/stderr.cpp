// Standard error and what the progress display needs of it (is it a
// terminal, how wide), the monotonic clock, scratch files, and directory
// identities, which the emulation never needs: it sets no reparse-point
// attribute, and its enumeration itself refuses a directory that is the
// same as one open up the branch (enumerate.cpp).
#include <cstdio>
#include <ctime>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/syscalls.h"

FILE *platformStderr() { return stderr; }

int stderrTerminalColumns() {
    if (!isatty(2)) return 0;
    struct winsize size;
    if (ioctl(2, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

uint64_t monotonicMilliseconds() {
    struct timespec now;
    posix::sys::clock(CLOCK_MONOTONIC, &now);
    return (uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u;
}

// In the temporary folder, with no name: it goes when it is closed.
FILE *openTemporaryFile() { return std::tmpfile(); }

bool getDirectoryIdentity(const char *, FileIdentity *) { return false; }
bool isReparsePoint(const char *) { return false; }
