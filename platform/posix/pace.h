// The read-ahead's pacing as a rule: from what was last seen of the machine
// (a sample, gathered outside any lock) to the threads that may read now.
// No clock, no file and no lock in here, so that a table can test it.
#pragma once

#include <cstdint>

namespace posix {

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
