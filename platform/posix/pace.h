// The read-ahead's pacing: what the machine is doing, read from /proc by the
// threads that pace themselves, and the rule from such a sample (gathered
// outside any lock) to the threads that may read now, which reads no
// clock, no file and no lock, so that a table can test it.
#pragma once

#include <cstdint>
#include <ctime>

namespace posix {

// ---- What the machine is doing ----

uint64_t nowNanoseconds(clockid_t clock);
// A thread's own time, to tell whether its reads wait on the disk or the
// network: what it spent on the CPU and waiting for one (its schedstat)
// and, as its caller says, waiting for other threads; of the rest it slept
// in the file system. Each thread keeps its own.
struct SleepWatch {
    int fd = -2;              // this thread's schedstat
    uint64_t wallNs = 0;      // at the last look
    uint64_t busyNs = 0;      // busy as above until then
    bool looked = false;
};
// The time `span` since this thread's last look (or `readingNs`, when not
// 0: the time it spent reading since), and how much of it the thread
// slept; `waitedNs` is its time waiting for other threads so far. False
// when there is no look to compare with yet.
bool sleptSinceLastLook(SleepWatch *w, uint64_t waitedNs, uint64_t readingNs, uint64_t *span, uint64_t *slept);
// The cores other work has kept busy lately, in 1/256 of a core: the busy
// time of the whole machine less this process's own, averaged over about a
// tenth of a second; at first, the threads runnable besides this one when
// they are as many as the machine's `cores`. Looked at every 50 ms at most
// (`nowMs` from the coarse monotonic clock); false when not looked at now,
// or it cannot be known. The walker's thread only.
bool othersLately(uint64_t nowMs, int cores, int *others);
// Whether the process has had data read from storage lately: 1 or 0;
// looked at every 10 ms at most, -1 when not now. The walker's thread only.
int storageReadLately(uint64_t nowMs);

// ---- From a sample to the threads that may read ----

// One look at the machine. A field not looked at this time says so.
struct PaceSample {
    int cores;           // processors of the machine
    int others;          // cores other work kept busy lately, in 1/256 of a core; -1 not looked at
    int storage;         // the walk read from storage lately: 1 or 0; -1 not looked at
    uint64_t readingNs;  // time spent reading since the last look; 0 none
    uint64_t sleptNs;    // of that, asleep in the file system
    bool walker;         // the reading is the walker's own: it counts only while no thread may read
};

// The bounds the setting and the machine give.
struct PaceLimits {
    int cpuThreads;   // may read at once while reads keep to the CPU and cores are free
    int poolThreads;  // may read at once while reads wait on the disk
    bool fixed;       // the pool's size was set: every thread may read, whatever the load
};

// What the pacing remembers from one sample to the next.
struct Pace {
    int cpuAllowed = 1;      // of cpuThreads, as many as cores are free now
    bool waiting = false;    // reads sleep in the file system (a network's, a disk's)
    bool diskReads = false;  // the walk reads from storage
    uint64_t readingNs = 0;  // lately spent reading, halved as it grows
    uint64_t sleptNs = 0;    // of that, asleep in the file system
};

// Threads that may read at once under `pace`: the pool when its size was
// set, or while reads wait on storage or sleep in the file system, else
// as many as cores are free.
int paceThreads(const PaceLimits &limits, const Pace &pace);
// Takes `sample` into `pace`; returns the threads that may read now.
int paceAfter(const PaceSample &sample, const PaceLimits &limits, Pace *pace);

}  // namespace posix
