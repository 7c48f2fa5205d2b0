// The read-ahead's schedule, one for every system: while the walker works
// through a directory, a fixed set of threads read the directories it will
// enter next, in the order it will enter them, and hand each over when the
// walker comes to it. The schedule is a list in walk order of runs
// (subdirectories nobody has started) and reads (under way, ready, failed),
// under one lock, with at most a window of directories and entries held
// ahead; the walker takes a directory by its position among its parent's
// subdirectories.
//
// What a directory is, how it is read, how threads wait and start, and how
// many may read at once belong to the system's binding, which defines the
// functions of namespace `aheadBinding` below. The schedule allocates with
// malloc and throws nothing, so that the Windows 95 build can take it.
// Private to platform/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ahead {

// A directory as the binding holds it, with its subdirectories the walk
// will enter (by position, 0 first).
typedef void Dir;

struct Counts {
    uint64_t read;   // directories read ahead
    uint64_t taken;  // handed to the walker
    bool stopped;    // for good: memory or a thread could not be had
};

// The window: directories held ahead (read or being read, not yet taken),
// and the entries of those read; up to `hardDirs` directories and twice the
// entries while the walk's next subdirectory comes before reads already
// claimed. Set before the first schedule().
void setWindow(size_t dirs, size_t hardDirs, size_t entries);
// The walker has read `dir` itself and will enter its subdirectories next,
// before anything scheduled so far. The threads start at the first call.
void schedule(Dir *dir);
// The walker enters subdirectory `index` of `parent`: returns it as read
// ahead (the caller owns it, its subdirectories already scheduled), or
// nullptr (not read ahead, or its read failed): the walker reads it. What
// was scheduled before it is dropped. May wait for its read, or help with
// the reads after it while it is under way.
Dir *take(Dir *parent, size_t index);
// The walker is done with `dir`: whatever is scheduled below it is dropped.
// True when the caller may free or reuse it now. With reads still under
// way through it, `wait` waits for them (then true); otherwise false, and
// the schedule disposes of it (aheadBinding::dispose) when the last is done.
// A read-ahead directory dropped with reads under way through it is kept
// until they are done in the same way; `wait` also waits for those, for a
// binding whose reads look through a directory's ancestors too.
bool letGo(Dir *dir, bool wait);
// Memory ran short: nothing more is read ahead, and what was is given back.
void stop();

// Work of one large directory shared out in parts (the stats of its
// files): the binding hands the parts out and does them.
struct Job {
    void *work;  // the binding's
    bool open;   // parts are left to hand out
    int busy;    // parts being done
};
// Does the parts of `job` on the calling thread, with the threads of the
// pool that may read, and a waiting walker, helping when there are any;
// returns when every part is done. Any thread.
void share(Job *job);
// Starts the pool before the first schedule(), for a large directory of
// the walker's own. The walker's thread.
void begin();
// Starts threads until as many run as aheadBinding::threadsAllowed() (never
// again once a start failed); not one: the read-ahead stops.
void keepThreads();
// Wakes a waiting thread when one more may read now (the binding's pace
// grew). Under the lock.
void wakeThreads();
// For tests: waits until no read is under way and none would start.
void settle();
Counts counts();

}  // namespace ahead

// Supplied by each system's binding.
namespace aheadBinding {

// The one lock that guards the schedule, and two ways of waiting under it:
// the threads wait for work, the walker for a read to be done. A wait may
// end early; the caller looks again.
void lock();
void unlock();
void waitWork();
void wakeWork();  // one thread waiting for work
void waitDone();
void wakeDone();  // every thread in waitDone (the walker, or a thread sharing a job)
// Looks at *counter for a short while, the lock let go, before the walker
// sleeps waiting for its read: true when it moved from `seen`.
bool lookBriefly(const unsigned *counter, unsigned seen);
// Starts one thread running ahead::threadMain() with scratch memory of its
// own (never nullptr); false when it cannot.
bool startThread();
// Threads that may read at once now. Under the lock.
int threadsAllowed();
// The walker helps with the reads after its own while that is under way
// (false while reads wait on a disk: it could miss its own by long).
// Under the lock.
bool walkerHelps();
size_t subdirCount(ahead::Dir *dir);
size_t entryCount(ahead::Dir *dir);
// Reads subdirectory `index` of `parent` into a new directory, with its
// subdirectories found; nullptr when it cannot be read, with *outOfMemory
// set when memory ran short. `scratch`: the pool thread's, nullptr on the
// walker's thread. Under no lock; `parent` stays as it is meanwhile.
ahead::Dir *readDir(ahead::Dir *parent, size_t index, void *scratch, bool *outOfMemory);
// After a read by a pool thread, under the lock: takes what the read
// measured (kept in `scratch`) into the pace.
void readDone(void *scratch);
// One part of a shared job: `from`..`to` as the binding counts, and what it
// found.
struct Part {
    size_t from, to;
    bool searched, denied;
};
// Under the lock: the next part of `work` into *part; false when none is left.
bool nextPart(void *work, Part *part);
// Does `part` of `work`. Under no lock.
void doPart(void *work, Part *part);
// Under the lock: takes what a done part found into `work`.
void partDone(void *work, const Part &part);
// Frees a directory the walker never took, or one it let go. Under the lock.
void dispose(ahead::Dir *dir);

}  // namespace aheadBinding

namespace ahead {
// The body of every thread of the pool; `scratch` is the thread's own.
void threadMain(void *scratch);
}  // namespace ahead
