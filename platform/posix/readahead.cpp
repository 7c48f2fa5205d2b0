// Read-ahead of the walk on POSIX systems: the binding of the schedule
// (platform/schedule.h) to pthreads, to the directories of dirs.h and to
// the pacing of pace.h. A directory is read ahead through its parent's
// descriptor, never through a link and never onto a pseudo file system,
// with every non-directory stat'ed once. As many threads read at once as
// there are cores free besides the walker's (none while other work keeps
// every core busy), and all sixteen of the pool while the walk reads from
// storage or its reads sleep in the file system. The walker takes a
// directory read ahead only when the same directory, unchanged, is still
// there; otherwise it reads it afresh. Memory or a thread that cannot be
// had stops the read-ahead for good; the walk then reads every directory
// itself and finds the same figures. Off with FOLMAR_READAHEAD=0.
#include <algorithm>
#include <cstdlib>
#include <new>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <time.h>

#include "platform/posix/dirs.h"
#include "platform/posix/readahead.h"
#include "platform/posix/pace.h"
#include "platform/posix/posix.h"
#include "platform/posix/syscalls.h"
#include "platform/schedule.h"
#include "platform/utf8.h"

namespace posix {
namespace {

// The window: directories read ahead and not yet taken (each holds a
// descriptor), and their entries.
const size_t windowDirs = 256;
const size_t windowEntries = 32768;
const int maxThreads = 16;
const size_t threadStack = 256 * 1024;  // a read needs little; 8 MiB each would crowd memory
const uint64_t readWatched = 10000000;  // ns of reading between looks at a thread's sleep
const uint64_t walkerSpin = 100000;     // ns the walker looks for its read before it sleeps
// A directory of this many entries has its files stat'ed in batches by the
// threads that may read and any that waits (the walker waiting for it, down
// a deep chain); one this large starts the threads itself.
const uint32_t splitLeast = 4096;
const uint32_t splitWhenWaited = 64;
const uint32_t batchLeast = 32, batchMost = 1024;

pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;  // the schedule's lock; guards the pace too
pthread_cond_t work = PTHREAD_COND_INITIALIZER;
pthread_cond_t done = PTHREAD_COND_INITIALIZER;
PaceLimits limits = {1, 1, false};  // threads the setting and the machine allow
Pace pace;                          // what the load, the disk and the reads' sleep allow now
bool started = false;
bool loadIgnored = false;  // tests: as though every core were free
bool loadKnown = false;    // the load has been looked at
uint64_t rejected = 0;     // read ahead, found changed or gone when the walker came (the walker's)

// A pool thread's own: what its reads measured, for the pace.
struct Watch {
    SleepWatch sleep;
    uint64_t readingNs = 0;  // since its last look
    PaceSample sample;       // of its latest read
};
thread_local bool inPool = false;  // this thread is one of the pool's
SleepWatch walkerSleep;         // the walker's own
// This thread's time waiting for other threads (for a read, or for the
// parts of a shared directory): not time asleep in the file system.
thread_local uint64_t waitedNs = 0;

int cores() {
    static const int count = std::max(1, (int)std::thread::hardware_concurrency());
    return count;
}

// Threads reading at once while reads keep to the CPU: one per core besides
// the walker's, whose thread reads too while it would otherwise wait (more
// threads than cores only contend), at most 4.
int cpuThreads() { return cores() <= 2 ? 1 : cores() > 5 ? 4 : cores() - 1; }

// FOLMAR_READAHEAD: the threads of the pool, 0 for none (read-ahead off);
// a number sets how many read, whatever the machine's load. Unset (or no
// number), as many read as cores are free, and enough to keep a disk or a
// network busy while reads wait.
PaceLimits limitsFromEnvironment() {
    PaceLimits fallback = {1, maxThreads, false};
    const char *text = std::getenv("FOLMAR_READAHEAD");
    if (text == nullptr || *text == '\0') return fallback;
    char *end = nullptr;
    long threads = std::strtol(text, &end, 10);
    if (*end != '\0' || threads < 0) return fallback;
    return PaceLimits{1, threads > maxThreads ? maxThreads : (int)threads, true};
}

const PaceLimits &setting() {
    static const PaceLimits limits = limitsFromEnvironment();
    return limits;
}

// Directories the window may hold open, at most `most`: the walker keeps
// room for the descriptors of its own branch (at most 32), its files and
// the reads under way.
size_t windowForDescriptors(size_t most = windowDirs) {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return most;
    if (limit.rlim_cur < 64 + 2 * maxThreads) return 0;
    size_t spare = (size_t)limit.rlim_cur - 64 - maxThreads;
    return spare < most ? spare : most;
}

// Takes `sample` into the pace; wakes a thread when more may read now.
// Under the lock.
void takeSample(const PaceSample &sample) {
    int before = paceThreads(limits, pace);
    if (paceAfter(sample, limits, &pace) > before) ahead::wakeThreads();
}

// On the walker's thread, a few times a second: the machine's load, whether
// the walk reads from storage, and the walker's own sleep, read outside the
// lock and then taken into the pace; more threads start when more may read.
void sampleLoad() {
    if (loadIgnored) return;
    uint64_t now = nowNanoseconds(CLOCK_MONOTONIC_COARSE) / 1000000u;
    PaceSample sample = {cores(), -1, storageReadLately(now), 0, 0, true};
    int others = 0;
    bool sampled = !limits.fixed && othersLately(now, cores(), &others);
    if (sampled) sample.others = others;
    uint64_t span = 0, slept = 0;  // the walker's own, while it reads every directory itself
    if (sampled && sleptSinceLastLook(&walkerSleep, waitedNs, 0, &span, &slept)) {
        sample.readingNs = span;
        sample.sleptNs = slept;
    }
    if (sample.storage < 0 && !sampled) return;
    loadKnown = loadKnown || sampled;
    pthread_mutex_lock(&mutex);
    takeSample(sample);
    pthread_mutex_unlock(&mutex);
    ahead::keepThreads();
}

// Sets the read-ahead up: its window, and as many threads as the machine's
// load leaves room for.
void start() {
    started = true;
    isPseudoMountPoint("/");  // the mount table, read once, before the threads
    ahead::setWindow(windowForDescriptors(), windowForDescriptors(2 * windowDirs), windowEntries);
    limits = setting();
    limits.cpuThreads = std::min(limits.poolThreads, cpuThreads());
    pace.cpuAllowed = 0;  // until the machine's load is known
    sampleLoad();
    pthread_mutex_lock(&mutex);
    if (!loadKnown) pace.cpuAllowed = limits.cpuThreads;  // it cannot be known: as though the cores were free
    pthread_mutex_unlock(&mutex);
}

// The directory read ahead is unchanged and still in its place: not
// removed, and the same status change time (entries, mode, owner, a
// rename), from its own open descriptor.
bool stillThere(const OpenDir *dir) {
    struct stat st;
    if (fstat(dir->fd, &st) != 0) return false;
    return st.st_nlink > 0 && st.st_ctim.tv_sec == dir->identity.ctime.tv_sec &&
           st.st_ctim.tv_nsec == dir->identity.ctime.tv_nsec;
}

// Opens and reads the subdirectory at record `entry` of `parent` into `dir`
// through the parent's descriptor. Records what the directory is, before
// reading it. False when it cannot be read.
bool readChild(const OpenDir *parent, uint32_t entry, OpenDir *dir) {
    const Entry &child = entryAt(parent, entry);
    const char *name = nameOf(child);
    struct stat st;  // through its descriptor's own ".", so it must be searchable
    if (!openChildDir(parent, name, dir) || sys::fstatat(dir->fd, ".", &st, 0) != 0 ||
        !readEntries(dir, true, statEntries))
        return false;
    dir->identity.dev = st.st_dev;
    dir->identity.ino = st.st_ino;
    dir->identity.ctime = st.st_ctim;
    // Below a mount point, which may lead back up the branch, nothing is
    // read ahead until the walker has found that it does not.
    if (dir->mountPoint) return true;
    dir->windowsLength = parent->windowsLength + utf8CharsIn(name, nameLengthOf(child)) + 1;
    findWalkSubdirs(dir);
    return true;
}

// A pool thread's sample after a read that took `ns`: every readWatched of
// reading, how much of it slept. Outside the lock.
PaceSample readSample(Watch *watch, uint64_t ns) {
    PaceSample sample = {cores(), -1, -1, 0, 0, false};
    watch->readingNs += ns;
    if (watch->sleep.looked && watch->readingNs < readWatched) return sample;
    uint64_t span, slept;
    bool looked = sleptSinceLastLook(&watch->sleep, waitedNs, watch->readingNs, &span, &slept);
    watch->readingNs = 0;
    if (looked) {
        sample.readingNs = span;
        sample.sleptNs = slept;
    }
    return sample;
}

// The stats of a large directory, handed out in batches.
struct StatWork {
    OpenDir *dir;
    uint32_t next, end;  // records not handed out yet
    uint32_t batch;      // records a batch takes
    StatOutcome outcome;
};

void *poolThread(void *) {
    inPool = true;
    Watch watch;
    ahead::threadMain(&watch);
    return nullptr;
}

}  // namespace
}  // namespace posix

// ---- The binding ----

namespace aheadBinding {

using namespace posix;

void lock() { pthread_mutex_lock(&mutex); }
void unlock() { pthread_mutex_unlock(&mutex); }
void waitWork() { pthread_cond_wait(&work, &mutex); }
void wakeWork() { pthread_cond_signal(&work); }
void waitDone() {
    uint64_t start = nowNanoseconds(CLOCK_MONOTONIC);
    pthread_cond_wait(&done, &mutex);
    waitedNs += nowNanoseconds(CLOCK_MONOTONIC) - start;
}
void wakeDone() { pthread_cond_broadcast(&done); }

// A failed start ends the pool where it is: as many as started may read.
bool startThread() {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setstacksize(&attributes, threadStack);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    sigset_t mask;  // the threads never run a handler of the walker's thread
    blockEndSignals(&mask);
    pthread_t thread;
    bool ok = sys::threadStart(&thread, &attributes, poolThread, nullptr) == 0;
    restoreSignalMask(&mask);
    pthread_attr_destroy(&attributes);
    return ok;
}

// In a virtual machine a wake-up can take longer than the read it waits
// for, down a deep chain every time.
bool lookBriefly(const unsigned *counter, unsigned seen) {
    uint64_t until = nowNanoseconds(CLOCK_MONOTONIC) + walkerSpin;
    for (int i = 0;; ++i) {
        if (__atomic_load_n(counter, __ATOMIC_ACQUIRE) != seen) return true;
        if ((i & 63) == 63 && nowNanoseconds(CLOCK_MONOTONIC) >= until) return false;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
}

int threadsAllowed() { return paceThreads(limits, pace); }
bool walkerHelps() { return !pace.waiting && !pace.diskReads; }
size_t subdirCount(ahead::Dir *dir) { return ((OpenDir *)dir)->subdirs.size(); }
size_t entryCount(ahead::Dir *dir) { return ((OpenDir *)dir)->count; }

ahead::Dir *readDir(ahead::Dir *parentDir, size_t index, void *scratch, bool *outOfMemory) {
    const OpenDir *parent = (const OpenDir *)parentDir;
    uint64_t start = scratch != nullptr ? nowNanoseconds(CLOCK_MONOTONIC) : 0;
    OpenDir *dir = nullptr;
    try {
        dir = new OpenDir();
        if (!readChild(parent, parent->subdirs[index], dir)) {
            delete dir;
            dir = nullptr;
        }
    } catch (const std::bad_alloc &) {
        delete dir;
        dir = nullptr;
        *outOfMemory = true;
    }
    if (scratch != nullptr) {
        Watch *watch = (Watch *)scratch;
        watch->sample = readSample(watch, nowNanoseconds(CLOCK_MONOTONIC) - start);
    }
    return dir;
}

void readDone(void *scratch) { takeSample(((Watch *)scratch)->sample); }

bool nextPart(void *work, Part *part) {
    StatWork *stats = (StatWork *)work;
    if (stats->next >= stats->end) return false;
    uint32_t to = stats->next;
    for (uint32_t n = 0; n < stats->batch && to < stats->end; ++n) to = nextEntry(stats->dir, to);
    *part = Part{stats->next, to, false, false};
    stats->next = to;
    return true;
}

void doPart(void *work, Part *part) {
    StatOutcome outcome;
    statRange(((StatWork *)work)->dir, (uint32_t)part->from, (uint32_t)part->to, &outcome);
    part->searched = outcome.searched;
    part->denied = outcome.denied;
}

// A batch that met a denied stat ends the job: the directory cannot be read.
void partDone(void *work, const Part &part) {
    StatWork *stats = (StatWork *)work;
    stats->outcome.searched = stats->outcome.searched || part.searched;
    if (!part.denied) return;
    stats->outcome.denied = true;
    stats->next = stats->end;
}

void dispose(ahead::Dir *dir) { delete (OpenDir *)dir; }

}  // namespace aheadBinding

// ---- What the walk asks of it ----

namespace posix {

bool readAheadOn() {
    static const bool on = setting().poolThreads > 0 && windowForDescriptors() > 0;
    return on;
}

void readAheadScheduled(OpenDir *dir) {
    if (!readAheadOn() || dir->subdirs.empty()) return;
    if (!started) start();
    sampleLoad();
    ahead::schedule(dir);
}

OpenDir *readAheadTake(OpenDir *parent, uint32_t entry) {
    if (!started) return nullptr;
    sampleLoad();
    auto at = std::lower_bound(parent->subdirs.begin(), parent->subdirs.end(), entry);
    if (at == parent->subdirs.end() || *at != entry) return nullptr;
    OpenDir *dir = (OpenDir *)ahead::take(parent, (size_t)(at - parent->subdirs.begin()));
    if (dir == nullptr || stillThere(dir)) return dir;
    ahead::letGo(dir, true);
    delete dir;
    rejected += 1;
    return nullptr;
}

void statEntries(OpenDir *dir, StatOutcome *outcome) {
    uint32_t from = firstEntry(dir), to = dir->records.used;
    if (dir->count >= splitLeast && !inPool && !started && readAheadOn()) {
        start();
        ahead::begin();
    }
    if (dir->count < splitWhenWaited || !started) return statRange(dir, from, to, outcome);
    StatWork work = {dir, from, to, std::min(batchMost, std::max(batchLeast, dir->count / 2)), *outcome};
    ahead::Job job = {&work, true, 0};
    ahead::share(&job);
    *outcome = work.outcome;
}

void readAheadReleased(OpenDir *dir) { ahead::letGo(dir, true); }
void readAheadStop() { ahead::stop(); }
void readAheadSettle() { ahead::settle(); }
void readAheadIgnoreLoad() { loadIgnored = true; }

ReadAheadCounts readAheadCounts() {
    ahead::Counts counts = ahead::counts();
    return ReadAheadCounts{counts.read, counts.taken - rejected, rejected, counts.stopped};
}

}  // namespace posix
