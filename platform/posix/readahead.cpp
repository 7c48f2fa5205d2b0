// Read-ahead of the walk. While the walker works through a directory, a few
// threads read the directories it will enter next, in the order it will
// enter them (entries, and the sizes of non-directories), so that its
// enumerations find them ready; the stats of a large directory are shared
// out among them. At most a fixed window of directories and entries is held
// ahead. The walker takes a directory read ahead only when the same
// directory, unchanged, is still there; otherwise it reads it afresh. As
// many threads read at once as there are cores free besides the walker's
// (none while other work keeps every core busy: pace.cpp measures it), and
// all sixteen of the pool while the walk reads from storage or its reads
// sleep in the file system. Memory or a thread that cannot be had stops the
// read-ahead for good; the walk then reads every directory itself and finds
// the same figures. Off with FOLMAR_READAHEAD=0.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#include "platform/posix/dirs.h"
#include "platform/posix/pace.h"
#include "platform/posix/posix.h"
#include "platform/posix/syscalls.h"
#include "platform/utf8.h"

namespace posix {
namespace {

enum : uint8_t { stepRun, stepRead };
enum : uint8_t { stateReading, stateReady, stateFailed, stateAbandoned };

// One part of the walk still to come. The steps form a list in walk order:
// a directory's read, then the reads of what lies below it, then its next
// sibling's. A run stands for subdirectories nobody has started yet.
struct Step {
    uint8_t kind;         // stepRun or stepRead
    uint8_t state;        // of a read
    OpenDir *dir;         // a run: whose subdirectories; a read: the parent
    size_t next, end;     // a run: dir->subdirs[next..end) not started
    uint32_t entry;       // a read: the record of dir being read
    OpenDir *result;      // a read: the directory read into; once ready, as read
    uint64_t order;       // rises along the list
};

typedef std::list<Step>::iterator StepRef;

// The stats of a large directory, handed out in batches.
struct StatJob {
    OpenDir *dir;
    uint32_t next, end;   // records not handed out yet
    uint32_t batch;       // records a batch takes
    int busy;             // batches being stat'ed
    StatOutcome outcome;
};

struct ReadAhead {
    std::mutex lock;               // guards all below and OpenDir::ahead
    std::condition_variable work;  // threads wait here for a run or a batch, and room
    std::condition_variable done;  // waiters for reads and batches wait here
    std::list<Step> steps;         // in walk order
    std::list<Step> freeSteps;     // erased, kept so that a step needs no memory
    std::vector<StepRef> runs;     // the runs among them, in walk order
    std::vector<StatJob *> jobs;   // large directories being stat'ed
    std::vector<OpenDir *> spare;  // freed, kept for their buffers; cleared by who takes one
    size_t reads = 0;              // read steps listed: the window's directories
    size_t entries = 0;            // entries of the ready reads
    size_t maxReads = 0;           // the window
    size_t hardReads = 0;          // the window for reads before those already claimed
    size_t maxEntries = 0;
    int idleThreads = 0;
    int threadsReading = 0;        // of the pool, not counting the walker's thread
    PaceLimits limits = {1, 1, false};  // threads the setting and the machine allow
    Pace pace;                     // what the load, the disk and the reads' sleep allow now
    int threadsStarted = 0;        // of the pool
    bool starting = false;         // a thread is starting more
    int waiters = 0;               // threads waiting on `done` for any read or batch
    const Step *awaited = nullptr; // the read the walker waits on `done` for
    bool windowFull = false;       // a thread found it so; none is woken until it has room again
    bool handing = false;          // the walker waits for a thread to claim the next directory
    std::atomic<unsigned> published{0};  // reads and batches done so far, looked at without the lock
    bool stopped = false;          // memory ran short: nothing more is started
    ReadAheadCounts counts = {0, 0, 0, false};
};

}  // namespace

// The window: directories read ahead and not yet taken (each holds a
// descriptor), and their entries. One directory may take the entries past
// the cap; the walker would hold it anyway.
static const size_t windowDirs = 256;
static const size_t windowEntries = 32768;
static const int maxThreads = 16;
static const size_t threadStack = 256 * 1024;  // a read needs little; 8 MiB each would crowd memory
static const size_t maxSpare = 16;  // each may still hold a descriptor
static const size_t runKeptPaused = 64;
// How long the walker looks for its read before it sleeps.
static const uint64_t walkerSpin = 100000;  // ns
// Room the window must have again before a thread that found it full is woken.
static const size_t windowSlack = 32;
// A directory with this many files to stat is shared out in batches, to
// the threads that may read and to any that waits (the walker waiting for
// it, down a deep chain); one this large starts the threads itself.
static const uint32_t splitLeast = 4096;
static const uint32_t splitWhenWaited = 64;
static const uint32_t batchLeast = 32, batchMost = 1024;
// Walk-order keys: a new step gets its predecessor's key plus the gap, and
// the list is numbered afresh, the spacing apart, when no key is left.
static const uint64_t orderGap = (uint64_t)1 << 20;
static const uint64_t orderSpacing = (uint64_t)1 << 40;

static ReadAhead *ra = nullptr;  // never destroyed: its threads run until the process ends

static int cores() {
    static const int count = std::max(1, (int)std::thread::hardware_concurrency());
    return count;
}

// Threads reading at once while reads keep to the CPU: one per core besides
// the walker's, whose thread reads too while it would otherwise wait (more
// threads than cores only contend), at most 4.
static int cpuThreads() {
    return cores() <= 2 ? 1 : cores() > 5 ? 4 : cores() - 1;
}

// FOLMAR_READAHEAD: the threads of the pool, 0 for none (read-ahead off);
// a number sets how many read, whatever the machine's load. Unset (or no
// number), as many read as cores are free, and enough to keep a disk or a
// network busy while reads wait.
struct ThreadSetting {
    int threads;
    bool fixed;
};

static ThreadSetting settingFromEnvironment() {
    ThreadSetting fallback = {maxThreads, false};
    const char *text = std::getenv("FOLMAR_READAHEAD");
    if (text == nullptr || *text == '\0') return fallback;
    char *end = nullptr;
    long threads = std::strtol(text, &end, 10);
    if (*end != '\0' || threads < 0) return fallback;
    return ThreadSetting{threads > maxThreads ? maxThreads : (int)threads, true};
}

// Directories the window may hold open, at most `most`: the walker keeps
// room for the descriptors of its own branch (at most 32) and its files.
static size_t windowForDescriptors(size_t most = windowDirs) {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return most;
    if (limit.rlim_cur < 64 + maxSpare + 16) return 0;
    size_t spare = (size_t)limit.rlim_cur - 64 - maxSpare;
    return spare < most ? spare : most;
}

static const ThreadSetting &threadSetting() {
    static const ThreadSetting setting = settingFromEnvironment();
    return setting;
}

bool readAheadOn() {
    static const bool on = threadSetting().threads > 0 && windowForDescriptors() > 0;
    return on;
}

// ---- How many threads may read at once ----

// Threads that may read at once now. Under the lock.
static int threadsAllowed() { return paceThreads(ra->limits, ra->pace); }

static bool worthWaking();

// Wakes one waiting thread when one more may read; it wakes the next.
// `continuing`: the caller is a pool thread that goes on to read itself.
static void wakeThreads(int continuing = 0) {
    if (ra->idleThreads > 0 && ra->threadsReading + continuing < threadsAllowed() && worthWaking())
        ra->work.notify_one();
}

static thread_local SleepWatch sleepWatch;
static thread_local uint64_t waitedForThreadsNs = 0;  // in waitForThreads
static thread_local uint64_t readingNs = 0;           // a pool thread's, since its last look
static const uint64_t readWatched = 10000000;  // ns of reading between looks
static bool loadIgnored = false;               // tests: as though every core were free
static bool loadKnown = false;                 // the load has been looked at

// Takes `sample` into the pace, and wakes a thread when more may read now.
// A pool thread that goes on to read passes `continuing` 1. Under the lock.
static void takeSample(const PaceSample &sample, int continuing) {
    int before = threadsAllowed();
    if (paceAfter(sample, ra->limits, &ra->pace) > before) wakeThreads(continuing);
}

// A pool thread's sample after a read that took `ns`: every readWatched of
// reading, how much of it slept (readingNs 0 between looks). Outside the
// lock.
static PaceSample readSample(uint64_t ns) {
    PaceSample sample = {cores(), -1, -1, 0, 0, false};
    readingNs += ns;
    if (sleepWatch.looked && readingNs < readWatched) return sample;
    uint64_t span, slept;
    bool looked = sleptSinceLastLook(&sleepWatch, waitedForThreadsNs, readingNs, &span, &slept);
    readingNs = 0;
    if (looked) {
        sample.readingNs = span;
        sample.sleptNs = slept;
    }
    return sample;
}

static void keepThreads();
static void *threadMain(void *);

// On the walker's thread, a few times a second: the machine's load, whether
// the walk reads from storage, and the walker's own sleep, read outside the
// lock and then taken into the pace. Takes the lock.
static void sampleLoad() {
    if (loadIgnored) return;
    uint64_t now = nowNanoseconds(CLOCK_MONOTONIC_COARSE) / 1000000u;
    PaceSample sample = {cores(), -1, storageReadLately(now), 0, 0, true};
    int others = 0;
    bool sampled = !ra->limits.fixed && othersLately(now, cores(), &others);
    if (sampled) sample.others = others;
    uint64_t span = 0, slept = 0;  // the walker's own, while it reads every directory itself
    if (sampled && sleptSinceLastLook(&sleepWatch, waitedForThreadsNs, 0, &span, &slept)) {
        sample.readingNs = span;
        sample.sleptNs = slept;
    }
    if (sample.storage < 0 && !sampled) return;
    loadKnown = loadKnown || sampled;
    bool more;
    {
        std::lock_guard<std::mutex> lock(ra->lock);
        takeSample(sample, 0);
        more = threadsAllowed() > ra->threadsStarted;
    }
    if (more) keepThreads();
}

// ---- The list of steps in walk order ----

static void renumber() {
    uint64_t order = 0;
    for (Step &step : ra->steps) step.order = order += orderSpacing;
}

// A key for a step put before `position`.
static uint64_t orderBefore(StepRef position) {
    for (;;) {
        uint64_t low = position == ra->steps.begin() ? 0 : std::prev(position)->order;
        uint64_t high = position == ra->steps.end() ? UINT64_MAX : position->order;
        if (high - low > 2 * orderGap) return low + orderGap;
        if (high - low >= 2) return low + (high - low) / 2;
        renumber();
    }
}

static bool runBefore(const StepRef &a, const StepRef &b) { return a->order < b->order; }

// Puts `step` into the list before `position`. Throws std::bad_alloc.
static StepRef insertStep(StepRef position, const Step &step) {
    Step placed = step;
    placed.order = orderBefore(position);
    StepRef added;
    if (ra->freeSteps.empty()) {
        added = ra->steps.insert(position, placed);
    } else {
        added = ra->freeSteps.begin();
        *added = placed;
        ra->steps.splice(position, ra->freeSteps, added);
    }
    if (placed.kind == stepRun) {
        try {
            ra->runs.insert(std::lower_bound(ra->runs.begin(), ra->runs.end(), added, runBefore), added);
        } catch (const std::bad_alloc &) {
            ra->freeSteps.splice(ra->freeSteps.begin(), ra->steps, added);
            throw;
        }
    }
    added->dir->ahead.steps += 1;
    return added;
}

static void eraseStep(StepRef step) {
    if (step->kind == stepRun)
        ra->runs.erase(std::lower_bound(ra->runs.begin(), ra->runs.end(), step, runBefore));
    step->dir->ahead.steps -= 1;
    ra->freeSteps.splice(ra->freeSteps.begin(), ra->steps, step);
}

// ---- Directories ----

// A directory to read into, to be cleared (clearDir) before use, outside
// the lock: a spare one, else a new one; nullptr when memory runs short.
// Under the lock.
static OpenDir *newDir() {
    if (ra->spare.empty()) return new (std::nothrow) OpenDir();
    OpenDir *dir = ra->spare.back();
    ra->spare.pop_back();
    return dir;
}

// Gives back a directory of the read-ahead's: kept as it is, so that a
// thread that reads ahead closes its descriptor and frees what the file
// system kept for it, on its own core, rather than the walker. Under the lock.
static void freeDir(OpenDir *dir) {
    if (ra->spare.size() < maxSpare && ra->spare.capacity() > ra->spare.size()) {
        ra->spare.push_back(dir);
    } else {
        clearDir(dir);
        delete dir;
    }
}

// The first subdirectory nobody has started comes before a read already
// claimed: reads claimed while its parent was still being read, which wait
// for the walker to get past it. Under the lock, with a run listed.
static bool runBeforeReads() {
    for (auto step = ra->steps.rbegin(); step != ra->steps.rend(); ++step)
        if (step->kind == stepRead) return step->order > ra->runs.front()->order;
    return false;
}

// A subdirectory nobody has started is there, and room in the window: the
// window may hold twice as much for one that comes before reads already
// claimed, or the walker would read its whole subtree alone while those
// wait. Under the lock.
static bool claimable() {
    if (ra->stopped || ra->runs.empty()) return false;
    if (ra->reads < ra->maxReads && ra->entries < ra->maxEntries) return true;
    return ra->reads < ra->hardReads && ra->entries < 2 * ra->maxEntries && runBeforeReads();
}

// A waiting thread has work worth waking it for: a batch of stats, or a
// subdirectory to read; once the window was found full, only when it has
// room for a good many again (a thread woken for every directory the
// walker takes would cost more than it reads), or for one that comes
// before reads already claimed. Under the lock.
static bool worthWaking() {
    for (const StatJob *job : ra->jobs)
        if (job->next < job->end) return true;
    if (!claimable()) return false;
    size_t slack = std::min(windowSlack, ra->maxReads / 4);
    if (ra->windowFull)
        ra->windowFull = ra->reads + slack > ra->maxReads || ra->entries + slack * 16 > ra->maxEntries;
    return !ra->windowFull || runBeforeReads();
}

// Takes the first subdirectory in walk order that nobody has started: a
// read step goes before its run, and its parent is pinned. False when
// memory runs short. Under the lock, when claimable().
static bool claim(StepRef *claimed) {
    StepRef run = ra->runs.front();
    OpenDir *parent = run->dir;
    Step read = {stepRead, stateReading, parent, 0, 0, parent->subdirs[run->next], nullptr, 0};
    try {
        *claimed = insertStep(run, read);
    } catch (const std::bad_alloc &) {
        ra->stopped = true;
        return false;
    }
    parent->ahead.pins += 1;
    ra->reads += 1;
    if (++run->next == run->end) eraseStep(run);
    return true;
}

// Opens and reads the subdirectory at record `entry` of `parent` into `dir`
// through the parent's descriptor (pinned by the caller), never through a
// link and never onto a pseudo file system; every non-directory is stat'ed
// once. Records what the directory is, before reading it. False when it
// cannot be read; *outOfMemory when memory ran short. Under no lock.
static bool readChild(const OpenDir *parent, uint32_t entry, OpenDir *dir, bool *outOfMemory) {
    const Entry &child = entryAt(parent, entry);
    const char *name = nameOf(child);
    try {
        struct stat st;  // through its descriptor's own ".", so it must be searchable
        if (!openChildDir(parent, name, dir) || sys::fstatat(dir->fd, ".", &st, 0) != 0 || !readEntries(dir, true))
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
    } catch (const std::bad_alloc &) {
        *outOfMemory = true;
        return false;
    }
}

// Hands the result of a claimed read to the list: ready (its subdirectories
// scheduled right after it), failed, or dropped when the walker no longer
// wants it. Unpins the parent. `continuing` as for wakeThreads(). Under the lock.
static void publish(StepRef step, OpenDir *dir, int continuing) {
    step->dir->ahead.pins -= 1;
    if (step->state == stateAbandoned) {
        eraseStep(step);
        ra->reads -= 1;
        if (dir != nullptr) freeDir(dir);
        wakeThreads(continuing);
    } else if (dir == nullptr) {
        step->state = stateFailed;
        step->result = nullptr;
    } else {
        step->state = stateReady;
        step->result = dir;
        ra->entries += dir->count;
        ra->counts.read += 1;
        if (!dir->subdirs.empty() && !ra->stopped) {
            try {
                insertStep(std::next(step), Step{stepRun, 0, dir, 0, dir->subdirs.size(), 0, nullptr, 0});
                wakeThreads(continuing);
            } catch (const std::bad_alloc &) {
                ra->stopped = true;  // the walker reads them itself
            }
        }
    }
    ra->published.fetch_add(1, std::memory_order_release);
    if (ra->waiters > 0 || ra->awaited == &*step) ra->done.notify_all();
}

// Claims the next directory in walk order and reads it, unlocked; false
// when there is none to start. `pooled`: a thread of the pool, not the
// walker's. Under the lock.
static bool readNext(std::unique_lock<std::mutex> &lock, bool pooled) {
    if (!claimable()) {
        ra->windowFull = !ra->runs.empty() && (ra->reads >= ra->maxReads || ra->entries >= ra->maxEntries);
        return false;
    }
    OpenDir *dir = newDir();
    StepRef step;
    if (dir == nullptr || !claim(&step)) {
        if (dir != nullptr) freeDir(dir);
        ra->stopped = true;
        return false;
    }
    const OpenDir *parent = step->dir;
    uint32_t entry = step->entry;
    step->result = dir;  // being read into: a waiting walker helps with its stats
    if (ra->handing) ra->done.notify_all();  // the walker handed it over
    if (pooled) {
        ra->threadsReading += 1;
        wakeThreads();
    }
    lock.unlock();
    clearDir(dir);
    uint64_t start = pooled ? nowNanoseconds(CLOCK_MONOTONIC) : 0;
    bool outOfMemory = false;
    bool read = readChild(parent, entry, dir, &outOfMemory);
    uint64_t took = pooled ? nowNanoseconds(CLOCK_MONOTONIC) - start : 0;
    PaceSample sample = pooled ? readSample(took) : PaceSample{1, -1, -1, 0, 0, false};
    lock.lock();
    if (!read) {
        freeDir(dir);
        dir = nullptr;
    }
    if (outOfMemory) ra->stopped = true;
    if (pooled) {
        ra->threadsReading -= 1;
        takeSample(sample, 1);
    }
    publish(step, dir, pooled ? 1 : 0);
    return true;
}

// ---- Large directories ----

// Takes the next batch of `job` and stats it, unlocked. Under the lock.
static void statBatch(std::unique_lock<std::mutex> &lock, StatJob *job, bool pooled) {
    uint32_t from = job->next, to = from;
    for (uint32_t n = 0; n < job->batch && to < job->end; ++n) to = nextEntry(job->dir, to);
    job->next = to;
    job->busy += 1;
    if (pooled) {
        ra->threadsReading += 1;
        wakeThreads();  // the next one helps too, as with a read
    }
    lock.unlock();
    StatOutcome part;
    statRange(job->dir, from, to, &part);
    lock.lock();
    job->busy -= 1;
    job->outcome.searched = job->outcome.searched || part.searched;
    if (part.denied) {
        job->outcome.denied = true;
        job->next = job->end;
    }
    if (pooled) ra->threadsReading -= 1;
    ra->published.fetch_add(1, std::memory_order_release);
    if (job->busy == 0 && job->next == job->end && ra->waiters > 0) ra->done.notify_all();
}

// A batch for a thread that can help: the first job with one left (of the
// directory `only`, when given). Under the lock.
static bool statNext(std::unique_lock<std::mutex> &lock, bool pooled, const OpenDir *only = nullptr) {
    for (StatJob *job : ra->jobs) {
        if (job->next == job->end || (only != nullptr && job->dir != only)) continue;
        statBatch(lock, job, pooled);
        return true;
    }
    return false;
}

// The calling thread waits for a read or a batch to be done; the walker,
// waiting for the read `awaited`, is woken for that one (or a batch of it)
// only. Under the lock.
static void waitForThreads(std::unique_lock<std::mutex> &lock, const Step *awaited = nullptr) {
    uint64_t start = nowNanoseconds(CLOCK_MONOTONIC);
    if (awaited != nullptr) ra->awaited = awaited;
    ra->waiters += awaited != nullptr ? 0 : 1;
    ra->done.wait(lock);
    ra->waiters -= awaited != nullptr ? 0 : 1;
    if (awaited != nullptr) ra->awaited = nullptr;
    waitedForThreadsNs += nowNanoseconds(CLOCK_MONOTONIC) - start;
}

// Before the walker sleeps waiting for its read, it looks at `counter` for
// a while with the lock let go: in a virtual machine a wake-up can take
// longer than the read it waits for, down a deep chain every time. True
// when the counter moved (the caller looks again instead of sleeping).
static bool spinFor(std::unique_lock<std::mutex> &lock, const std::atomic<unsigned> &counter, uint64_t ns) {
    unsigned seen = counter.load(std::memory_order_acquire);
    lock.unlock();
    uint64_t until = nowNanoseconds(CLOCK_MONOTONIC) + ns;
    bool moved = false;
    for (int i = 0; !moved; ++i) {
        moved = counter.load(std::memory_order_acquire) != seen;
        if ((i & 63) == 63 && nowNanoseconds(CLOCK_MONOTONIC) >= until) break;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    lock.lock();
    return moved || counter.load(std::memory_order_acquire) != seen;  // moved just before the lock was had
}

static void start();

// Threads that would take a batch now: waiting for a read or a batch, or
// idle in the pool and allowed to read. Under the lock.
static int helpers() {
    int pool = std::min(ra->idleThreads, std::max(0, threadsAllowed() - ra->threadsReading));
    return ra->waiters + (ra->awaited != nullptr ? 1 : 0) + pool;
}

void statEntries(OpenDir *dir, uint32_t toStat, StatOutcome *outcome) {
    uint32_t from = firstEntry(dir), to = dir->records.used;
    if (toStat >= splitLeast && readAheadOn()) {
        try {
            start();
        } catch (const std::bad_alloc &) {
        }
        if (ra != nullptr) keepThreads();
    }
    if (toStat < splitWhenWaited || ra == nullptr) return statRange(dir, from, to, outcome);
    StatJob job = {dir, from, to, std::min(batchMost, std::max(batchLeast, toStat / 2)), 0, *outcome};
    std::unique_lock<std::mutex> lock(ra->lock);
    bool shared = !ra->stopped && (threadsAllowed() > 0 || helpers() > 0);
    try {
        if (shared) ra->jobs.push_back(&job);
    } catch (const std::bad_alloc &) {
        shared = false;
    }
    if (!shared) {
        lock.unlock();
        return statRange(dir, from, to, outcome);
    }
    ra->published.fetch_add(1, std::memory_order_release);  // a walker waiting for this directory helps
    wakeThreads();
    if (ra->waiters > 0 || (ra->awaited != nullptr && ra->awaited->result == dir)) ra->done.notify_all();
    while (job.next < job.end) statBatch(lock, &job, false);
    while (job.busy > 0) waitForThreads(lock);
    ra->jobs.erase(std::find(ra->jobs.begin(), ra->jobs.end(), &job));
    *outcome = job.outcome;
}

static void *threadMain(void *) {
    std::unique_lock<std::mutex> lock(ra->lock);
    for (;;) {
        if (ra->threadsReading < threadsAllowed() && (statNext(lock, true) || readNext(lock, true))) continue;
        ra->idleThreads += 1;
        ra->work.wait(lock);
        ra->idleThreads -= 1;
    }
    return nullptr;
}

// ---- The walker's side ----

static void dropBelow(std::unique_lock<std::mutex> &lock, OpenDir *dir);

// Drops one step: a run is forgotten, a read under way is abandoned (its
// thread frees it), a finished read is freed with everything below it.
static void dropStep(std::unique_lock<std::mutex> &lock, StepRef step) {
    if (step->kind == stepRun) {
        eraseStep(step);
        return;
    }
    if (step->state == stateReading) {
        step->state = stateAbandoned;
        return;
    }
    OpenDir *result = step->state == stateReady ? step->result : nullptr;
    if (result != nullptr) ra->entries -= result->count;
    eraseStep(step);
    ra->reads -= 1;
    wakeThreads();
    if (result != nullptr) {
        dropBelow(lock, result);
        freeDir(result);
    }
}

static bool isAbandoned(const Step &step) {
    return step.kind == stepRead && step.state == stateAbandoned;
}

// Drops every step naming `dir`, and waits until no thread reads through
// its descriptor. Under the lock; may wait.
static void dropBelow(std::unique_lock<std::mutex> &lock, OpenDir *dir) {
    while (dir->ahead.steps > 0 || dir->ahead.pins > 0) {
        StepRef step = ra->steps.begin();
        while (step != ra->steps.end() && (step->dir != dir || isAbandoned(*step))) ++step;
        if (step != ra->steps.end())
            dropStep(lock, step);
        else
            waitForThreads(lock);
    }
}

// The step that stands for the subdirectory at record `entry` of `parent`:
// its read, or the run holding it (then advanced past it: the walker reads
// it itself). Steps before it are earlier in walk order and dropped.
// steps.end() when none.
static StepRef findStep(std::unique_lock<std::mutex> &lock, OpenDir *parent, uint32_t entry) {
    for (;;) {
        StepRef step = ra->steps.begin();
        for (; step != ra->steps.end(); ++step) {
            if (step->dir != parent || isAbandoned(*step)) continue;
            if (step->kind == stepRead && step->entry == entry) break;
            if (step->kind != stepRun) continue;
            size_t at = step->next;
            while (at < step->end && parent->subdirs[at] != entry) ++at;
            if (at < step->end) break;
        }
        if (step == ra->steps.end()) return step;
        StepRef first = ra->steps.begin();
        while (first != step && isAbandoned(*first)) ++first;
        if (first == step) return step;
        dropStep(lock, first);  // may wait; then look again
    }
}

// The directory read ahead is unchanged and still in its place: not
// removed, and the same status change time (entries, mode, owner, a
// rename), from its own open descriptor.
static bool stillThere(const OpenDir *dir) {
    struct stat st;
    if (fstat(dir->fd, &st) != 0) return false;
    return st.st_nlink > 0 && st.st_ctim.tv_sec == dir->identity.ctime.tv_sec &&
           st.st_ctim.tv_nsec == dir->identity.ctime.tv_nsec;
}

// Reads wait on the disk or the network. Under the lock.
static bool waits() { return ra->pace.waiting || ra->pace.diskReads; }

// The read of `step` once it is no longer under way: the walker's thread
// stats a batch of it, or reads what comes later, rather than wait; but
// while reads wait, only its own batches, as anything else could keep it
// from the one it needs long after that is ready. Under the lock.
static OpenDir *awaitRead(std::unique_lock<std::mutex> &lock, StepRef step) {
    while (step->state == stateReading)
        if (!statNext(lock, false, waits() ? step->result : nullptr) && (waits() || !readNext(lock, false)))
            if (!spinFor(lock, ra->published, walkerSpin)) waitForThreads(lock, &*step);
    OpenDir *dir = nullptr;
    if (step->state == stateReady) {
        dir = step->result;
        ra->entries -= dir->count;
        ra->counts.taken += 1;
    }
    eraseStep(step);
    ra->reads -= 1;
    wakeThreads();
    return dir;
}

// The subdirectory the walker enters next is still in the first run while
// a thread that may read waits for work: woken for it, the thread came too
// late, as the walker had read on by itself. It is handed over, the walker
// waiting (2 ms at most) until a thread has claimed it, so that the
// threads go on below it instead of the walker reading all of a deep
// branch alone. True when the walker waited. Under the lock.
static bool handOver(std::unique_lock<std::mutex> &lock, StepRef run, uint32_t entry) {
    if (ra->runs.front() != run || run->dir->subdirs[run->next] != entry || ra->idleThreads == 0 ||
        ra->threadsReading >= threadsAllowed() || !claimable())
        return false;
    ra->handing = true;
    ra->work.notify_one();
    ra->waiters += 1;
    ra->done.wait_for(lock, std::chrono::milliseconds(2));
    ra->waiters -= 1;
    ra->handing = false;
    return true;
}

OpenDir *readAheadTake(OpenDir *parent, uint32_t entry) {
    if (ra == nullptr) return nullptr;
    sampleLoad();
    OpenDir *dir = nullptr;
    {
        std::unique_lock<std::mutex> lock(ra->lock);
        if (threadsAllowed() > ra->threadsStarted && !ra->starting) {
            lock.unlock();
            keepThreads();  // reads began to wait: more threads may read
            lock.lock();
        }
        StepRef step = findStep(lock, parent, entry);
        if (step != ra->steps.end() && step->kind == stepRun && handOver(lock, step, entry))
            step = findStep(lock, parent, entry);
        if (step == ra->steps.end()) return nullptr;
        if (step->kind == stepRun) {
            while (parent->subdirs[step->next] != entry) ++step->next;
            if (++step->next == step->end) eraseStep(step);
            return nullptr;
        }
        dir = awaitRead(lock, step);
        if (dir == nullptr) return nullptr;
    }
    if (stillThere(dir)) return dir;
    std::unique_lock<std::mutex> lock(ra->lock);
    ra->counts.taken -= 1;
    ra->counts.rejected += 1;
    dropBelow(lock, dir);
    freeDir(dir);
    return nullptr;
}

// Starts pool threads until as many as may read now are running (never
// more than the pool), one caller at a time; the read-ahead stops when not
// one can be started. Takes the lock.
static void keepThreads() {
    int wanted;
    {
        std::lock_guard<std::mutex> lock(ra->lock);
        wanted = ra->stopped || ra->starting ? 0 : threadsAllowed();
        if (ra->threadsStarted >= wanted) return;
        ra->starting = true;
    }
    pthread_attr_t attributes;
    bool failed = pthread_attr_init(&attributes) != 0;
    int started = 0;
    if (!failed) {
        pthread_attr_setstacksize(&attributes, threadStack);
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        sigset_t mask;  // the threads never run a handler of the walker's thread
        blockEndSignals(&mask);
        for (int i = ra->threadsStarted; i < wanted && !failed; ++i) {
            pthread_t thread;
            failed = sys::threadStart(&thread, &attributes, threadMain, nullptr) != 0;
            started += failed ? 0 : 1;
        }
        restoreSignalMask(&mask);
        pthread_attr_destroy(&attributes);
    }
    std::lock_guard<std::mutex> lock(ra->lock);
    ra->starting = false;
    ra->threadsStarted += started;
    if (failed) ra->limits.poolThreads = ra->limits.cpuThreads = ra->threadsStarted;
    if (ra->threadsStarted == 0) ra->stopped = true;  // not one: the walker reads alone
    ra->pace.cpuAllowed = std::min(ra->pace.cpuAllowed, ra->limits.poolThreads);
}

// Sets the read-ahead up: its window, and as many threads as the machine's
// load leaves room for.
static void start() {
    static bool tried = false;
    if (tried) return;
    tried = true;
    isPseudoMountPoint("/");  // the mount table, read once, before the threads
    ReadAhead *state = new ReadAhead();
    state->maxReads = windowForDescriptors();
    state->hardReads = std::min(2 * state->maxReads, windowForDescriptors(2 * windowDirs));
    state->maxEntries = windowEntries;
    state->spare.reserve(maxSpare);
    state->limits.poolThreads = threadSetting().threads;
    state->limits.fixed = threadSetting().fixed;
    state->limits.cpuThreads = std::min(state->limits.poolThreads, cpuThreads());
    state->pace.cpuAllowed = 0;  // until the machine's load is known
    ra = state;
    sampleLoad();
    if (!loadKnown) {
        std::lock_guard<std::mutex> lock(ra->lock);
        ra->pace.cpuAllowed = ra->limits.cpuThreads;  // it cannot be known: as though the cores were free
    }
    keepThreads();
}

void readAheadScheduled(OpenDir *dir) {
    if (!readAheadOn() || dir->subdirs.empty()) return;
    try {
        start();
    } catch (const std::bad_alloc &) {
        return;  // no state could be had: the walk goes on without
    }
    if (ra == nullptr) return;
    sampleLoad();
    std::lock_guard<std::mutex> lock(ra->lock);
    // While no thread may read, the walker reads them itself; only a run
    // of many is kept, for when threads may again.
    if (ra->stopped || (threadsAllowed() == 0 && dir->subdirs.size() < runKeptPaused)) return;
    try {
        insertStep(ra->steps.begin(), Step{stepRun, 0, dir, 0, dir->subdirs.size(), 0, nullptr, 0});
    } catch (const std::bad_alloc &) {
        ra->stopped = true;
        return;
    }
    wakeThreads();
}

void readAheadStop() {
    if (ra == nullptr) return;
    std::unique_lock<std::mutex> lock(ra->lock);
    ra->stopped = true;
    for (;;) {
        StepRef step = ra->steps.begin();
        while (step != ra->steps.end() && isAbandoned(*step)) ++step;
        if (step == ra->steps.end()) break;
        dropStep(lock, step);
    }
    for (OpenDir *dir : ra->spare) {
        clearDir(dir);
        delete dir;
    }
    ra->spare.clear();
}

void readAheadReleased(OpenDir *dir) {
    if (ra == nullptr) return;
    std::unique_lock<std::mutex> lock(ra->lock);
    dropBelow(lock, dir);
}

void readAheadSettle() {
    if (ra == nullptr) return;
    std::unique_lock<std::mutex> lock(ra->lock);
    for (;;) {
        bool busy = false;
        for (const Step &step : ra->steps) busy = busy || (step.kind == stepRead && step.state == stateReading);
        if (!busy && !(worthWaking() && threadsAllowed() > 0)) return;
        waitForThreads(lock);
    }
}

bool readAheadRecycled(OpenDir *dir) {
    if (ra == nullptr) return false;
    std::lock_guard<std::mutex> lock(ra->lock);
    if (ra->stopped || ra->spare.size() >= maxSpare) return false;
    ra->spare.push_back(dir);  // its descriptor is closed where it is read into next
    return true;
}

void readAheadIgnoreLoad() { loadIgnored = true; }

ReadAheadCounts readAheadCounts() {
    if (ra == nullptr) return ReadAheadCounts{0, 0, 0, false};
    std::lock_guard<std::mutex> lock(ra->lock);
    ReadAheadCounts counts = ra->counts;
    counts.stopped = ra->stopped;
    return counts;
}

}  // namespace posix
