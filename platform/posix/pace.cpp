// What the machine is doing, for the read-ahead to pace itself by: how many
// cores other work keeps busy, whether the walk reads from storage, and
// whether a thread's reads sleep in the file system. All from /proc, a few
// times a second at most, through descriptors kept open (/proc/loadavg,
// asked once at first, excepted). Then the rule from such a sample to the
// threads that may read, which reads nothing itself.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/dirs.h"
#include "platform/posix/syscalls.h"
#include "platform/posix/pace.h"

namespace posix {

static const uint64_t loadEvery = 50;         // ms between looks at the load
static const uint64_t diskEvery = 10;         // ms between looks at storage
static const uint64_t diskLeast = 64 * 1024;  // bytes read from storage between looks that mean the disk waits
static const int diskQuiet = 5;               // looks without that before reads no longer wait

// What the walker's thread knows of the machine: its busy clock ticks and
// this process's CPU time at the last look, and what the process has had
// read from storage.
struct Load {
    int fd = -2;               // /proc/stat, -1 when it cannot be read
    uint64_t sampled = 0;      // when, in ms of the coarse clock
    uint64_t wallNs = 0;       // at the last reading
    uint64_t busyTicks = 0;
    uint64_t ownNs = 0;
    int othersAverage = 0;     // in 1/256 of a core
    bool read = false;         // a reading is there to compare with
    bool known = false;        // othersAverage is
    int ioFd = -2;             // /proc/self/io
    uint64_t diskChecked = 0;  // when, in ms of the coarse clock
    uint64_t readBytes = 0;    // read from storage until then
    int quietChecks = diskQuiet;  // looks since the last that found storage read, up to diskQuiet
    bool diskKnown = false;
};
static Load load;

uint64_t nowNanoseconds(clockid_t clock) {
    struct timespec now;
    sys::clock(clock, &now);
    return (uint64_t)now.tv_sec * 1000000000u + (uint64_t)now.tv_nsec;
}

// The number after the `skip` fields that begin `text`; -1 when none.
static long long fieldAfter(const char *text, int skip) {
    const char *field = text;
    for (int i = 0; i < skip && field != nullptr; ++i) {
        field = std::strchr(field, ' ');
        while (field != nullptr && *field == ' ') ++field;
    }
    return field == nullptr || *field < '0' || *field > '9' ? -1 : std::atoll(field);
}

// The text of the file open as *fd (opened from `path` the first time) in
// `text` (`room` bytes); false when it cannot be read.
static bool readProc(int *fd, const char *path, char *text, size_t room) {
    if (*fd == -2) *fd = open(path, O_RDONLY | O_CLOEXEC);
    ssize_t got = *fd < 0 ? -1 : sys::procRead(*fd, text, room - 1);
    if (got <= 0) return false;
    text[got] = '\0';
    return true;
}

bool sleptSinceLastLook(SleepWatch *w, uint64_t waitedNs, uint64_t readingNs, uint64_t *span, uint64_t *slept) {
    char text[128];
    uint64_t wall = nowNanoseconds(CLOCK_MONOTONIC);
    if (!readProc(&w->fd, "/proc/thread-self/schedstat", text, sizeof text)) return false;
    long long cpu = fieldAfter(text, 0), delay = fieldAfter(text, 1);
    if (cpu < 0 || delay < 0) return false;
    uint64_t busy = (uint64_t)cpu + (uint64_t)delay + waitedNs;
    bool looked = w->looked;
    *span = readingNs > 0 ? readingNs : wall - w->wallNs;
    *slept = *span > busy - w->busyNs ? *span - (busy - w->busyNs) : 0;
    w->wallNs = wall;
    w->busyNs = busy;
    w->looked = true;
    return looked;
}

// Threads runnable on the whole machine now, this one among them; -1 when
// not known.
static int runnableThreads() {
    int fd = -2;
    char text[128];
    bool read = readProc(&fd, "/proc/loadavg", text, sizeof text);
    if (fd >= 0) close(fd);
    return read ? (int)fieldAfter(text, 3) : -1;
}

// Clock ticks the whole machine has been busy (user, nice, system, irq,
// softirq, steal), from the first line of /proc/stat; false when unknown.
static bool busyTicks(uint64_t *ticks) {
    char text[256];
    if (!readProc(&load.fd, "/proc/stat", text, sizeof text) || std::strncmp(text, "cpu ", 4) != 0) return false;
    static const int busy[] = {1, 2, 3, 6, 7, 8};
    *ticks = 0;
    for (int field : busy) {
        long long value = fieldAfter(text, field);
        if (value < 0) return false;
        *ticks += (uint64_t)value;
    }
    return true;
}

// The cores other work kept busy since the last reading, in 1/256 of a
// core; -1 when there is no reading to compare with.
static int othersSinceLastReading() {
    uint64_t ticks;
    if (!busyTicks(&ticks)) return -1;
    uint64_t wall = nowNanoseconds(CLOCK_MONOTONIC), own = nowNanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    static const uint64_t tickNs = 1000000000u / (uint64_t)std::max(1L, sysconf(_SC_CLK_TCK));
    int others = -1;
    if (load.read && wall > load.wallNs) {
        long long busyNs = (long long)((ticks - load.busyTicks) * tickNs);
        long long othersNs = std::max(0LL, busyNs - (long long)(own - load.ownNs));
        others = (int)(othersNs * 256 / (long long)(wall - load.wallNs));
    }
    load.read = true;
    load.wallNs = wall;
    load.busyTicks = ticks;
    load.ownNs = own;
    return others;
}

bool othersLately(uint64_t nowMs, int cores, int *others) {
    if (load.read && nowMs - load.sampled < loadEvery) return false;
    load.sampled = nowMs;
    int lately = othersSinceLastReading();
    if (lately >= 0) {
        load.othersAverage = load.known ? (load.othersAverage + lately) / 2 : lately;
    } else if (!load.known) {
        // One moment's count: only other work on every core at once is
        // taken for load (one more thread may be there by chance).
        int running = runnableThreads();
        if (running < 0) return false;
        load.othersAverage = running - 1 >= cores ? (running - 1) * 256 : 0;
    } else {
        return false;
    }
    load.known = true;
    *others = load.othersAverage;
    return true;
}

int storageReadLately(uint64_t nowMs) {
    if (load.diskKnown && nowMs - load.diskChecked < diskEvery) return -1;
    load.diskChecked = nowMs;
    char text[512];
    const char *field = readProc(&load.ioFd, "/proc/self/io", text, sizeof text) ? std::strstr(text, "read_bytes: ")
                                                                                : nullptr;
    if (field == nullptr) return -1;
    uint64_t bytes = std::strtoull(field + 12, nullptr, 10);
    bool reading = load.diskKnown && bytes - load.readBytes >= diskLeast;
    load.quietChecks = reading ? 0 : std::min(load.quietChecks + 1, diskQuiet);
    load.readBytes = bytes;
    load.diskKnown = true;
    return load.quietChecks < diskQuiet ? 1 : 0;
}

// ---- From a sample to the threads that may read ----

static const uint64_t sleepWindow = 20000000;  // ns of reading the share of sleep is taken over

int paceThreads(const PaceLimits &limits, const Pace &pace) {
    return limits.fixed || pace.waiting || pace.diskReads ? limits.poolThreads : pace.cpuAllowed;
}

// Reads wait (on a network file system, which reads nothing from storage
// here) while lately half their time was sleep (a quarter, once they did).
static void takeSleep(uint64_t span, uint64_t slept, Pace *pace) {
    pace->readingNs += span;
    pace->sleptNs += slept;
    if (pace->readingNs < sleepWindow) return;
    uint64_t share = pace->sleptNs * 100 / pace->readingNs;
    pace->waiting = share > (pace->waiting ? 25u : 50u);
    pace->readingNs /= 2;
    pace->sleptNs /= 2;
}

int paceAfter(const PaceSample &sample, const PaceLimits &limits, Pace *pace) {
    bool alone = paceThreads(limits, *pace) == 0;
    if (sample.storage >= 0) pace->diskReads = sample.storage == 1;
    if (sample.readingNs > 0 && (!sample.walker || alone)) takeSleep(sample.readingNs, sample.sleptNs, pace);
    if (sample.others >= 0) {
        // A part of a core is worth reading on: a thread goes on while a
        // tenth of a core is free, and starts again once three tenths are.
        int free = (sample.cores - 1) * 256 - sample.others;  // in 1/256 of a core
        int threads = (free + (pace->cpuAllowed > 0 ? 230 : 180)) / 256;
        pace->cpuAllowed = std::max(0, std::min(threads, limits.cpuThreads));
    }
    return paceThreads(limits, *pace);
}

}  // namespace posix
