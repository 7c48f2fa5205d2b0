// Read-ahead of the walk. While the walker works through a directory, a few
// threads read the directories it will enter next, in the order it will
// enter them (entries, and the sizes of non-directories), so that its
// enumerations find them ready. At most a fixed window of directories and
// entries is held ahead. The walker takes a directory read ahead only when
// the same directory, unchanged, is still there under its name; otherwise
// it reads it afresh. As many threads read at once as there are cores
// besides the walker's, more while reads wait on the disk or the network.
// Memory or a thread that cannot be had stops the read-ahead for good; the
// walk then reads every directory itself and finds the same figures.
// Off with FOLMAR_READAHEAD=0.
#include <condition_variable>
#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <list>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/posix/dirs.h"
#include "platform/posix/posix.h"
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
    size_t entry;         // a read: the entry of dir being read
    OpenDir *result;      // a read: the directory as read, once ready
};

typedef std::list<Step>::iterator StepRef;

struct ReadAhead {
    std::mutex lock;               // guards all below and OpenDir::pins, ::steps
    std::condition_variable work;  // threads wait here for a run and room
    std::condition_variable done;  // the walker's thread waits here for reads
    std::list<Step> steps;         // in walk order
    size_t reads = 0;              // read steps listed: the window's directories
    size_t entries = 0;            // entries of the ready reads
    size_t maxReads = 0;           // the window
    size_t maxEntries = 0;
    int idleThreads = 0;
    int threadsReading = 0;        // of the pool, not counting the walker's thread
    int cpuThreads = 1;            // may read at once while reads keep to the CPU
    int poolThreads = 1;           // may read at once while reads wait on the disk
    unsigned waitedShare = 0;      // of the recent reads, those that waited, in 1/1024
    bool walkerWaiting = false;
    bool stopped = false;          // memory ran short: nothing more is started
    ReadAheadCounts counts = {0, 0, 0};
};

}  // namespace

// The window: directories read ahead and not yet taken (each holds a
// descriptor), and their entries (about 40 bytes each). One directory may
// take the entries past the cap; the walker would hold it anyway.
static const size_t windowDirs = 256;
static const size_t windowEntries = 32768;
static const int maxThreads = 16;
static const size_t threadStack = 256 * 1024;  // a read needs little; 8 MiB each would crowd memory

static ReadAhead *ra = nullptr;  // never destroyed: its threads run until the process ends

// Threads reading at once while reads keep to the CPU: one per core besides
// the walker's, whose thread reads too while it would otherwise wait (more
// threads than cores only contend), at most 4.
static int cpuThreads() {
    static const unsigned cores = std::thread::hardware_concurrency();
    if (cores <= 2) return 1;
    return cores > 5 ? 4 : (int)cores - 1;
}

// The threads of the pool: FOLMAR_READAHEAD, 0 for none (read-ahead off);
// else three more than read at once while reads keep to the CPU.
static int threadsFromEnvironment() {
    int fallback = cpuThreads() + 3;
    const char *text = std::getenv("FOLMAR_READAHEAD");
    if (text == nullptr || *text == '\0') return fallback;
    char *end = nullptr;
    long threads = std::strtol(text, &end, 10);
    if (*end != '\0' || threads < 0) return fallback;
    return threads > maxThreads ? maxThreads : (int)threads;
}

// Directories the window may hold open: the walker keeps room for the
// descriptors of its own branch (at most 32) and its files.
static size_t windowForDescriptors() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return windowDirs;
    if (limit.rlim_cur < 64 + 16) return 0;
    size_t spare = (size_t)limit.rlim_cur - 64;
    return spare < windowDirs ? spare : windowDirs;
}

static int threadsWanted() {
    static const int threads = threadsFromEnvironment();
    return threads;
}

bool readAheadOn() {
    static const bool on = threadsWanted() > 0 && windowForDescriptors() > 0;
    return on;
}

static void eraseStep(StepRef step) {
    step->dir->steps -= 1;
    ra->steps.erase(step);
}

// Threads that may read at once now: more while most recent reads waited.
static int threadsAllowed() {
    return ra->waitedShare > 512 ? ra->poolThreads : ra->cpuThreads;
}

// Wakes one waiting thread when one more may read; it wakes the next.
// `continuing`: the caller is a pool thread that goes on to read itself.
static void wakeThreads(int continuing = 0) {
    if (ra->idleThreads > 0 && ra->threadsReading + continuing < threadsAllowed())
        ra->work.notify_one();
}

// Notes whether a read of a pool thread waited on the disk or the network.
// Under the lock.
static void noteRead(bool waited) {
    int allowed = threadsAllowed();
    ra->waitedShare = ra->waitedShare - ra->waitedShare / 8 + (waited ? 128 : 0);
    if (threadsAllowed() > allowed) wakeThreads(1);
}

// The thread's voluntary context switches so far: it blocks in the kernel
// for the disk or the network, not when it only waits for a core.
static long voluntarySwitches() {
#ifdef RUSAGE_THREAD
    struct rusage usage;
    if (getrusage(RUSAGE_THREAD, &usage) == 0) return usage.ru_nvcsw;
#endif
    return 0;
}

// Takes the first subdirectory in walk order that nobody has started: a
// read step goes before its run, and its parent is pinned. False when there
// is none or the window is full. Under the lock.
static bool claim(StepRef *claimed) {
    if (ra->stopped || ra->reads >= ra->maxReads || ra->entries >= ra->maxEntries) return false;
    for (StepRef run = ra->steps.begin(); run != ra->steps.end(); ++run) {
        if (run->kind != stepRun) continue;
        OpenDir *parent = run->dir;
        Step read = {stepRead, stateReading, parent, 0, 0, parent->subdirs[run->next], nullptr};
        try {
            *claimed = ra->steps.insert(run, read);
        } catch (const std::bad_alloc &) {
            ra->stopped = true;
            return false;
        }
        parent->steps += 1;
        parent->pins += 1;
        ra->reads += 1;
        if (++run->next == run->end) eraseStep(run);
        return true;
    }
    return false;
}

static void freeDir(OpenDir *dir) {
    clearDir(dir);
    delete dir;
}

// Opens and reads subdirectory `entry` of `parent` through the parent's
// descriptor (pinned by the caller), never through a link and never onto a
// pseudo file system; every non-directory is stat'ed once. Records what the
// directory is, before reading it. nullptr when it cannot be read, and when
// memory runs short (which stops the read-ahead). Under no lock.
static OpenDir *readChild(const OpenDir *parent, size_t entry, bool *outOfMemory) {
    const Entry &child = parent->entries[entry];
    const char *name = nameOf(parent, child);
    OpenDir *dir = new (std::nothrow) OpenDir();
    if (dir == nullptr) {
        *outOfMemory = true;
        return nullptr;
    }
    try {
        struct stat st;  // through its descriptor's own ".", so it must be searchable
        if (!openChildDir(parent, name, dir) || fstatat(dir->fd, ".", &st, 0) != 0 ||
            !readEntries(dir, true)) {
            freeDir(dir);
            return nullptr;
        }
        dir->identity.dev = st.st_dev;
        dir->identity.ino = st.st_ino;
        dir->identity.ctime = st.st_ctim;
        // Below a mount point, which may lead back up the branch, nothing is
        // read ahead until the walker has found that it does not.
        if (dir->mountPoint) return dir;
        dir->windowsLength = parent->windowsLength + utf8CharsIn(name, child.nameLength) + 1;
        findWalkSubdirs(dir);
        return dir;
    } catch (const std::bad_alloc &) {
        freeDir(dir);
        *outOfMemory = true;
        return nullptr;
    }
}

// Hands the result of a claimed read to the list: ready (its subdirectories
// scheduled right after it), failed, or dropped when the walker no longer
// wants it. Unpins the parent. `continuing` as for wakeThreads(). Under the lock.
static void publish(StepRef step, OpenDir *dir, int continuing) {
    step->dir->pins -= 1;
    if (step->state == stateAbandoned) {
        eraseStep(step);
        ra->reads -= 1;
        if (dir != nullptr) freeDir(dir);
        wakeThreads(continuing);
    } else if (dir == nullptr) {
        step->state = stateFailed;
    } else {
        step->state = stateReady;
        step->result = dir;
        ra->entries += dir->entries.size();
        ra->counts.read += 1;
        if (!dir->subdirs.empty() && !ra->stopped) {
            StepRef after = step;
            try {
                ra->steps.insert(++after, Step{stepRun, 0, dir, 0, dir->subdirs.size(), 0, nullptr});
                dir->steps += 1;
                wakeThreads(continuing);
            } catch (const std::bad_alloc &) {
                ra->stopped = true;  // the walker reads them itself
            }
        }
    }
    if (ra->walkerWaiting) ra->done.notify_one();
}

// Claims the next directory in walk order and reads it, unlocked; false
// when there is none to start. `pooled`: a thread of the pool, not the
// walker's. Under the lock.
static bool readNext(std::unique_lock<std::mutex> &lock, bool pooled) {
    StepRef step;
    if (!claim(&step)) return false;
    const OpenDir *parent = step->dir;
    size_t entry = step->entry;
    if (pooled) {
        ra->threadsReading += 1;
        wakeThreads();
    }
    lock.unlock();
    // One read in four of a pool thread is watched for waits.
    static thread_local unsigned reads = 0;
    bool watched = pooled && (++reads & 3) == 0;
    long switches = watched ? voluntarySwitches() : 0;
    bool outOfMemory = false;
    OpenDir *dir = readChild(parent, entry, &outOfMemory);
    bool waited = watched && voluntarySwitches() > switches;
    lock.lock();
    if (outOfMemory) ra->stopped = true;
    if (pooled) ra->threadsReading -= 1;
    if (watched) noteRead(waited);
    publish(step, dir, pooled ? 1 : 0);
    return true;
}

static void *threadMain(void *) {
    std::unique_lock<std::mutex> lock(ra->lock);
    for (;;) {
        if (ra->threadsReading < threadsAllowed() && readNext(lock, true)) continue;
        ra->idleThreads += 1;
        ra->work.wait(lock);
        ra->idleThreads -= 1;
    }
    return nullptr;
}

// The walker's thread waits for a read to be published. Under the lock.
static void waitForThreads(std::unique_lock<std::mutex> &lock) {
    ra->walkerWaiting = true;
    ra->done.wait(lock);
    ra->walkerWaiting = false;
}

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
    if (result != nullptr) ra->entries -= result->entries.size();
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
    while (dir->steps > 0 || dir->pins > 0) {
        StepRef step = ra->steps.begin();
        while (step != ra->steps.end() && (step->dir != dir || isAbandoned(*step))) ++step;
        if (step != ra->steps.end())
            dropStep(lock, step);
        else
            waitForThreads(lock);
    }
}

// The step that stands for subdirectory `entry` of `parent`: its read, or
// the run holding it (then advanced past it: the walker reads it itself).
// Steps before it are earlier in walk order and dropped. nullptr when none.
static StepRef findStep(std::unique_lock<std::mutex> &lock, OpenDir *parent, size_t entry) {
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

// The directory read ahead is still the one under its name in `parent`:
// same file system, inode and status change time (entries, mode, owner).
static bool stillThere(const OpenDir *parent, size_t entry, const OpenDir *dir) {
    struct stat st;
    if (fstatat(parent->fd, nameOf(parent, parent->entries[entry]), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_dev == dir->identity.dev && st.st_ino == dir->identity.ino &&
           st.st_ctim.tv_sec == dir->identity.ctime.tv_sec &&
           st.st_ctim.tv_nsec == dir->identity.ctime.tv_nsec;
}

OpenDir *readAheadTake(OpenDir *parent, size_t entry) {
    if (ra == nullptr) return nullptr;
    OpenDir *dir = nullptr;
    {
        std::unique_lock<std::mutex> lock(ra->lock);
        StepRef step = findStep(lock, parent, entry);
        if (step == ra->steps.end()) return nullptr;
        if (step->kind == stepRun) {
            while (parent->subdirs[step->next] != entry) ++step->next;
            if (++step->next == step->end) eraseStep(step);
            return nullptr;
        }
        // Rather than wait, the walker's thread reads what comes later.
        while (step->state == stateReading)
            if (!readNext(lock, false)) waitForThreads(lock);
        if (step->state == stateReady) {
            dir = step->result;
            ra->entries -= dir->entries.size();
            ra->counts.taken += 1;
        }
        eraseStep(step);
        ra->reads -= 1;
        wakeThreads();
        if (dir == nullptr) return nullptr;
    }
    if (stillThere(parent, entry, dir)) return dir;
    {
        std::unique_lock<std::mutex> lock(ra->lock);
        ra->counts.taken -= 1;
        ra->counts.rejected += 1;
        dropBelow(lock, dir);
    }
    freeDir(dir);
    return nullptr;
}

// Starts the threads; read-ahead stays off when none can be started.
static void start() {
    static bool tried = false;
    if (tried) return;
    tried = true;
    isPseudoMountPoint("/");  // the mount table, read once, before the threads
    ReadAhead *state = new ReadAhead();
    state->maxReads = windowForDescriptors();
    state->maxEntries = windowEntries;
    int threads = threadsWanted();
    state->poolThreads = threads;
    state->cpuThreads = std::min(threads, cpuThreads());
    ra = state;
    pthread_attr_t attributes;
    bool small = pthread_attr_init(&attributes) == 0;
    if (small) {
        pthread_attr_setstacksize(&attributes, threadStack);
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    }
    int started = 0;
    sigset_t mask;  // the threads never run a handler of the walker's thread
    blockEndSignals(&mask);
    for (int i = 0; small && i < threads; ++i) {
        pthread_t thread;
        if (pthread_create(&thread, &attributes, threadMain, nullptr) != 0) break;
        started += 1;
    }
    restoreSignalMask(&mask);
    if (small) pthread_attr_destroy(&attributes);
    if (started == 0) {
        ra = nullptr;
        return;
    }
    std::lock_guard<std::mutex> lock(ra->lock);
    ra->poolThreads = started;
    ra->cpuThreads = std::min(started, ra->cpuThreads);
}

void readAheadScheduled(OpenDir *dir) {
    if (!readAheadOn() || dir->subdirs.empty()) return;
    try {
        start();
    } catch (const std::bad_alloc &) {
        return;  // no state could be had: the walk goes on without
    }
    if (ra == nullptr) return;
    std::lock_guard<std::mutex> lock(ra->lock);
    if (ra->stopped) return;
    try {
        ra->steps.push_front(Step{stepRun, 0, dir, 0, dir->subdirs.size(), 0, nullptr});
    } catch (const std::bad_alloc &) {
        ra->stopped = true;
        return;
    }
    dir->steps += 1;
    wakeThreads();
}

void readAheadStop() {
    if (ra == nullptr) return;
    std::unique_lock<std::mutex> lock(ra->lock);
    ra->stopped = true;
    for (;;) {
        StepRef step = ra->steps.begin();
        while (step != ra->steps.end() && isAbandoned(*step)) ++step;
        if (step == ra->steps.end()) return;
        dropStep(lock, step);
    }
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
        bool busy = false, startable = false;
        for (const Step &step : ra->steps) {
            busy = busy || (step.kind == stepRead && step.state == stateReading);
            startable = startable || step.kind == stepRun;
        }
        startable = startable && ra->reads < ra->maxReads && ra->entries < ra->maxEntries;
        if (!busy && !startable) return;
        waitForThreads(lock);
    }
}

ReadAheadCounts readAheadCounts() {
    if (ra == nullptr) return ReadAheadCounts{0, 0, 0};
    std::lock_guard<std::mutex> lock(ra->lock);
    return ra->counts;
}

}  // namespace posix
