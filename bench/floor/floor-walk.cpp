// floor-walk: the yardstick a directory walk is timed against. THREADS
// threads share one stack of jobs; a job lists one directory with getdents64
// and stats each entry that is no directory with fstatat (a directory is known
// from d_type), and nothing else. Every directory but "." and ".." is
// counted and entered, as in the report; symbolic links are not followed. It prints the directories below DIR, the other entries and the sum
// of their sizes in make-tree.py's form, so its totals can be checked.
//
// Usage: floor-walk THREADS [--split] DIR
//   --split  the names of a directory are stat'ed in batches of 1,024 that
//            idle threads take from the stack, so that one very large
//            directory is stat'ed by every thread.
// Built by bench/run-speed.py: c++ -O2 -pthread floor-walk.cpp

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// An open directory, closed when the last job that needs it is done.
struct Dir {
    int fd;
    explicit Dir(int fd) : fd(fd) {}
    ~Dir() { if (fd >= 0) close(fd); }
};

// Either "list `name`, a directory inside `dir`" (names empty) or
// "stat `names`, entries of `dir`".
struct Job {
    std::shared_ptr<Dir> dir;
    std::string name;
    std::vector<std::string> names;
};

struct alignas(64) Totals {
    unsigned long long dirs = 0, entries = 0, bytes = 0, failures = 0;
};

const size_t batchNames = 1024;
bool split = false;
std::mutex lock;
std::condition_variable ready;
std::vector<Job> stack;  // last in, first out: few directories are held open
size_t running = 0;      // jobs taken from the stack and not finished

void push(Job job) {
    {
        std::lock_guard<std::mutex> hold(lock);
        stack.push_back(std::move(job));
    }
    ready.notify_one();
}

// Counts the directory `name` of `dir` and queues it to be listed.
void foundDir(const std::shared_ptr<Dir> &dir, const char *name, Totals &t) {
    t.dirs += 1;
    push(Job{dir, name, {}});
}

// Stats the entry `name` of `dir` (type unknown or not a directory) and
// counts it: a directory found this way is queued, anything else is an entry
// with its own size.
void statEntry(const std::shared_ptr<Dir> &dir, const char *name, Totals &t) {
    struct stat st;
    if (fstatat(dir->fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        t.failures += 1;
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        foundDir(dir, name, t);
        return;
    }
    t.entries += 1;
    t.bytes += st.st_size;
}

// Lists the directory of `job` whole: subdirectories are queued, other
// entries stat'ed here (or, with --split, in batches queued for any thread).
void listDir(Job &job, Totals &t) {
    int fd = openat(job.dir->fd, job.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    job.dir.reset();  // the parent may close now
    if (fd < 0) {
        t.failures += 1;
        return;
    }
    auto dir = std::make_shared<Dir>(fd);
    static thread_local char buffer[64 * 1024];
    std::vector<std::string> batch;
    ssize_t got;
    while ((got = getdents64(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < got;) {
            auto *entry = reinterpret_cast<struct dirent64 *>(buffer + at);
            at += entry->d_reclen;
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            if (entry->d_type == DT_DIR) {
                foundDir(dir, name, t);
            } else if (!split) {
                statEntry(dir, name, t);
            } else {
                batch.emplace_back(name);
                if (batch.size() < batchNames) continue;
                push(Job{dir, {}, std::move(batch)});
                batch = {};
            }
        }
    }
    if (got < 0) t.failures += 1;
    for (const std::string &name : batch) statEntry(dir, name.c_str(), t);
}

// Takes jobs until the stack is empty and no job is running (none can
// queue more).
void worker(Totals &t) {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        ready.wait(hold, [] { return !stack.empty() || running == 0; });
        if (stack.empty()) return;
        Job job = std::move(stack.back());
        stack.pop_back();
        running += 1;
        hold.unlock();
        if (job.names.empty()) {
            listDir(job, t);
        } else {
            for (const std::string &name : job.names) statEntry(job.dir, name.c_str(), t);
        }
        job = Job();
        hold.lock();
        running -= 1;
        if (running == 0 && stack.empty()) ready.notify_all();
    }
}

}  // namespace

int main(int argc, char **argv) {
    int threads = argc >= 3 ? std::atoi(argv[1]) : 0;
    split = argc == 4 && std::strcmp(argv[2], "--split") == 0;
    if (threads < 1 || threads > 256 || argc != (split ? 4 : 3)) {
        std::fprintf(stderr, "usage: floor-walk THREADS [--split] DIR\n");
        return 2;
    }
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    auto here = std::make_shared<Dir>(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    stack.push_back(Job{here, argv[argc - 1], {}});
    here.reset();
    std::vector<Totals> totals(threads);
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; i++) pool.emplace_back(worker, std::ref(totals[i]));
    for (std::thread &thread : pool) thread.join();
    Totals sum;
    for (const Totals &t : totals) {
        sum.dirs += t.dirs;
        sum.entries += t.entries;
        sum.bytes += t.bytes;
        sum.failures += t.failures;
    }
    std::printf("directories: %llu\nentries:     %llu\nbytes:       %llu\n", sum.dirs, sum.entries,
                sum.bytes);
    if (sum.failures == 0) return 0;
    std::fprintf(stderr, "floor-walk: %llu directories or entries could not be read\n", sum.failures);
    return 1;
}
