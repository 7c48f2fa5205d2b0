// The read-ahead's schedule: a list of the walk still to come, in walk
// order, under one lock. A run stands for subdirectories of one directory
// that nobody has started; a thread claims the first of the first run (its
// read goes in before the run) and, once it is read, publishes it with a
// run of its own subdirectories right after it, so the list stays in the
// order the walker will enter everything. The walker takes a read by its
// place and drops what comes before it: it went past those. The binding
// (schedule.h) does everything a system does differently.
#include "platform/schedule.h"

#include <cstdlib>

using namespace aheadBinding;

namespace ahead {
namespace {

enum : uint8_t { reading, ready, failed, abandoned };

struct Item {
    Item *before, *after;
    bool run;
    uint8_t state;    // of a read
    Dir *parent;
    size_t from, to;  // a run: the parent's subdirectories [from, to) nobody has started
    size_t index;     // a read: the subdirectory read
    Dir *result;      // a read, once ready
};

// Reads under way at once: one for each thread of the pool (at most 16)
// and the walker's.
const int maxBusy = 32;

struct Schedule {
    Item *first, *last;
    size_t reads, runs;           // items of each kind listed; reads are the window's directories
    size_t entries;               // of the ready reads
    size_t maxReads, maxEntries;  // the window
    size_t hardReads;             // the window for reads that come before reads claimed already
    Item *busy[maxBusy];          // reads under way (abandoned ones too)
    int busyCount;
    Dir *orphans[maxBusy];        // dropped or let go while reads went through them: each holds one
    int orphanCount;
    Job *jobs[maxBusy];           // shared out now
    int jobCount;
    int doneWaiters;              // threads in waitDone
    unsigned published;           // reads, parts and jobs so far; looked at without the lock
    int idle, reading, started;   // threads of the pool: waiting, reading, started
    bool begun, starting, startFailed, stopped;
    Counts counts;
};

Schedule s;  // constant-initialized: the Windows 95 build runs no constructor for it

// ---- The list ----

// Puts a copy of `item` before `position` (at the end for nullptr); nullptr
// when memory runs short, which stops the read-ahead.
Item *insertBefore(Item *position, const Item &item) {
    Item *added = (Item *)std::malloc(sizeof(Item));
    if (added == nullptr) {
        s.stopped = true;
        return nullptr;
    }
    *added = item;
    added->after = position;
    added->before = position == nullptr ? s.last : position->before;
    (added->before == nullptr ? s.first : added->before->after) = added;
    (position == nullptr ? s.last : position->before) = added;
    (added->run ? s.runs : s.reads) += 1;
    return added;
}

void erase(Item *item) {
    (item->before == nullptr ? s.first : item->before->after) = item->after;
    (item->after == nullptr ? s.last : item->after->before) = item->before;
    (item->run ? s.runs : s.reads) -= 1;
    std::free(item);
}

Item runOf(Dir *dir) { return Item{nullptr, nullptr, true, 0, dir, 0, subdirCount(dir), 0, nullptr}; }

bool live(const Item *item) { return item->run || item->state != abandoned; }

Item *firstLive() {
    Item *item = s.first;
    while (item != nullptr && !live(item)) item = item->after;
    return item;
}

// A read under way goes through `dir`.
bool holds(const Dir *dir) {
    for (int i = 0; i < s.busyCount; ++i)
        if (s.busy[i]->parent == dir) return true;
    return false;
}

// The first subdirectory nobody has started comes before a read already
// claimed: one claimed while its parent was still being read, which waits
// for the walker to get past it.
bool runBeforeReads() {
    const Item *lastRead = s.last;
    while (lastRead != nullptr && lastRead->run) lastRead = lastRead->before;
    for (const Item *item = s.first; item != lastRead; item = item->after)
        if (item->run) return true;
    return false;
}

// A subdirectory nobody has started is there, and room in the window: it
// may hold up to hardReads and twice the entries for one that comes before
// reads already claimed, or the walker would read its whole subtree alone
// while those wait (on a cold disk, most of a tree).
bool roomAhead() {
    if (s.stopped || s.runs == 0) return false;
    if (s.reads < s.maxReads && s.entries < s.maxEntries) return true;
    return s.reads < s.hardReads && s.entries < 2 * s.maxEntries && runBeforeReads();
}

bool jobOpen() {
    for (int i = 0; i < s.jobCount; ++i)
        if (s.jobs[i]->open) return true;
    return false;
}

void waitForOthers() {
    s.doneWaiters += 1;
    waitDone();
    s.doneWaiters -= 1;
}

void published() { __atomic_add_fetch(&s.published, 1, __ATOMIC_RELEASE); }

// The walker waits for its read: first looking for a while (as the binding
// decides) with the lock let go, as a wake-up can take longer than a part
// of the read it could help with; then asleep. Under the lock.
void awaitOthers() {
    unsigned seen = __atomic_load_n(&s.published, __ATOMIC_ACQUIRE);
    unlock();
    bool moved = lookBriefly(&s.published, seen);
    lock();
    if (!moved && __atomic_load_n(&s.published, __ATOMIC_ACQUIRE) == seen) waitForOthers();
}

// ---- Shared jobs ----

// Does the next part of a job shared out (of `only`, when given) with the
// lock let go; false when no part is left. Under the lock.
bool helpWithJob(void *scratch, const Job *only = nullptr) {
    for (int i = 0; i < s.jobCount; ++i) {
        Job *job = s.jobs[i];
        aheadBinding::Part part;
        if ((only != nullptr && job != only) || !job->open) continue;
        if (!(job->open = nextPart(job->work, &part))) continue;
        job->busy += 1;
        s.reading += scratch != nullptr ? 1 : 0;
        if (scratch != nullptr) wakeThreads();  // the next thread helps too
        unlock();
        doPart(job->work, &part);
        lock();
        s.reading -= scratch != nullptr ? 1 : 0;
        job->busy -= 1;
        partDone(job->work, part);
        published();
        if (s.doneWaiters > 0) wakeDone();
        return true;
    }
    return false;
}

// ---- Claim and publish ----

// Takes the first subdirectory nobody has started, when the window has
// room: its read goes in before its run. nullptr when there is none.
Item *claim() {
    if (!roomAhead() || s.busyCount == maxBusy) return nullptr;
    Item *run = s.first;
    while (!run->run) run = run->after;
    Item read = {nullptr, nullptr, false, reading, run->parent, 0, 0, run->from, nullptr};
    Item *added = insertBefore(run, read);
    if (added == nullptr) return nullptr;
    if (++run->from == run->to) erase(run);
    s.busy[s.busyCount++] = added;
    return added;
}

void forget(Item *item) {
    for (int i = 0; i < s.busyCount; ++i)
        if (s.busy[i] == item) s.busy[i] = s.busy[--s.busyCount];
}

// `parent` was let go while reads went through it: freed once none does.
void freeOrphan(Dir *parent) {
    for (int i = 0; i < s.orphanCount; ++i) {
        if (s.orphans[i] != parent || holds(parent)) continue;
        s.orphans[i] = s.orphans[--s.orphanCount];
        dispose(parent);
        return;
    }
}

// Hands a finished read to the walk: ready with its subdirectories
// scheduled right after it, failed, or dropped when the walker went past it.
void publish(Item *item, Dir *result) {
    Dir *parent = item->parent;
    forget(item);
    if (item->state == abandoned) {
        erase(item);
        if (result != nullptr) dispose(result);
    } else if (result == nullptr) {
        item->state = failed;
    } else {
        item->state = ready;
        item->result = result;
        s.entries += entryCount(result);
        s.counts.read += 1;
        if (subdirCount(result) > 0 && !s.stopped) insertBefore(item->after, runOf(result));
    }
    if (s.orphanCount > 0) freeOrphan(parent);
    wakeThreads();
    published();
    if (s.doneWaiters > 0) wakeDone();
}

// Claims the next directory in walk order and reads it with the lock let
// go; false when there is none to start. Under the lock.
bool readNext(void *scratch) {
    Item *item = claim();
    if (item == nullptr) return false;
    if (scratch != nullptr) {
        s.reading += 1;
        wakeThreads();  // the next thread helps too
    }
    Dir *parent = item->parent;
    size_t index = item->index;
    unlock();
    bool outOfMemory = false;
    Dir *result = readDir(parent, index, scratch, &outOfMemory);
    lock();
    if (outOfMemory) s.stopped = true;
    if (scratch != nullptr) {
        s.reading -= 1;
        readDone(scratch);
    }
    publish(item, result);
    return true;
}

// ---- Dropping ----

void dropBelow(Dir *dir);

// Drops one item: a run is forgotten, a read under way is abandoned (its
// thread frees what it reads), a finished one is freed with all below it.
void drop(Item *item) {
    if (!item->run && item->state == reading) {
        item->state = abandoned;
        return;
    }
    Dir *result = !item->run && item->state == ready ? item->result : nullptr;
    if (result != nullptr) s.entries -= entryCount(result);
    erase(item);
    if (result == nullptr) return;
    dropBelow(result);
    if (holds(result))
        s.orphans[s.orphanCount++] = result;  // freed by the last read through it
    else
        dispose(result);
}

// Drops every item that names `dir`. What is listed below a dropped read
// comes after it, so the item before it survives to go on from.
void dropBelow(Dir *dir) {
    for (Item *item = s.first; item != nullptr;) {
        Item *next = item->after;
        if (item->parent == dir && live(item)) {
            Item *before = item->before;
            drop(item);
            next = before == nullptr ? s.first : before->after;
        }
        item = next;
    }
}

// The item that stands for subdirectory `index` of `parent`: its read, or
// the run that holds it. Live items before it are dropped: the walker went
// past them. nullptr when none.
Item *find(Dir *parent, size_t index) {
    for (;;) {
        Item *found = s.first;
        for (; found != nullptr; found = found->after) {
            if (found->parent != parent || !live(found)) continue;
            if (found->run ? index >= found->from && index < found->to : found->index == index) break;
        }
        if (found == nullptr || found == firstLive()) return found;
        drop(firstLive());
    }
}

}  // namespace

// ---- The walker's side ----

void setWindow(size_t dirs, size_t hardDirs, size_t entries) {
    s.maxReads = dirs;
    s.hardReads = hardDirs;
    s.maxEntries = entries;
}

void begin() {
    if (s.begun) return;
    s.begun = true;
    keepThreads();
}

void share(Job *job) {
    lock();
    job->open = true;
    job->busy = 0;
    s.jobs[s.jobCount++] = job;  // at most one a read under way, and the walker's
    published();                 // a walker looking for its read helps with this
    wakeThreads();
    if (s.doneWaiters > 0) wakeDone();
    while (job->open || job->busy > 0)
        if (!helpWithJob(nullptr, job) && job->busy > 0) waitForOthers();
    for (int i = 0; i < s.jobCount; ++i)
        if (s.jobs[i] == job) s.jobs[i] = s.jobs[--s.jobCount];
    unlock();
}

void schedule(Dir *dir) {
    begin();
    if (subdirCount(dir) == 0) return;
    lock();
    if (!s.stopped) insertBefore(s.first, runOf(dir));
    wakeThreads();
    unlock();
}

Dir *take(Dir *parent, size_t index) {
    if (!s.begun) return nullptr;
    lock();
    Item *item = find(parent, index);
    Dir *dir = nullptr;
    if (item != nullptr && item->run) {
        item->from = index + 1;  // the walker reads it itself
        if (item->from == item->to) erase(item);
    } else if (item != nullptr) {
        while (item->state == reading)
            if (!helpWithJob(nullptr) && (!walkerHelps() || !readNext(nullptr))) awaitOthers();
        if (item->state == ready) {
            dir = item->result;
            s.entries -= entryCount(dir);
            s.counts.taken += 1;
        }
        erase(item);
        wakeThreads();
    }
    unlock();
    return dir;
}

bool letGo(Dir *dir, bool wait) {
    if (!s.begun) return true;
    lock();
    dropBelow(dir);
    wakeThreads();
    bool now = true;
    while (now && (holds(dir) || (wait && s.orphanCount > 0))) {
        if (wait) {
            waitForOthers();
        } else {
            s.orphans[s.orphanCount++] = dir;
            now = false;
        }
    }
    unlock();
    return now;
}

void stop() {
    if (!s.begun) return;
    lock();
    s.stopped = true;
    while (firstLive() != nullptr) drop(firstLive());
    unlock();
}

void settle() {
    if (!s.begun) return;
    lock();
    while (s.busyCount > 0 || (roomAhead() && s.started > 0 && threadsAllowed() > 0)) {
        wakeThreads();
        waitForOthers();
    }
    unlock();
}

Counts counts() {
    lock();
    Counts counts = s.counts;
    counts.stopped = s.stopped;
    unlock();
    return counts;
}

// ---- The pool ----

void wakeThreads() {
    if (s.idle > 0 && s.reading < threadsAllowed() && (roomAhead() || jobOpen())) wakeWork();
}

void keepThreads() {
    lock();
    int wanted = s.stopped || s.starting || s.startFailed ? 0 : threadsAllowed();
    int from = s.started;
    s.starting = s.starting || from < wanted;
    unlock();
    if (from >= wanted) return;
    int started = 0;
    bool failed = false;
    for (int i = from; i < wanted && !failed; ++i) {
        failed = !startThread();
        started += failed ? 0 : 1;
    }
    lock();
    s.starting = false;
    s.started += started;
    s.startFailed = failed;
    if (s.started == 0 && failed) s.stopped = true;  // not one: the walker reads alone
    wakeThreads();
    unlock();
}

void threadMain(void *scratch) {
    lock();
    for (;;) {
        if (s.reading < threadsAllowed() && (helpWithJob(scratch) || readNext(scratch))) continue;
        s.idle += 1;
        waitWork();
        s.idle -= 1;
    }
}

}  // namespace ahead
