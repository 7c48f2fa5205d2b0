// The read-ahead's schedule on its own, bound to a tree in memory and real
// threads: the order reads are made in, the window, what the walker skips,
// and a directory let go while a read goes through it (as the Windows
// binding lets go of a listing). Every directory read is a copy the binding
// counts, so a leak or a double free shows as a count.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/schedule.h"

namespace {

struct Node {
    int id;
    std::vector<Node *> subdirs;
};

// A directory as read: the node it is a copy of.
struct Copy {
    const Node *node;
};

std::mutex mutex;  // the schedule's lock, and the binding's counts
// Never destroyed: the pool's threads wait on them until the process ends.
std::condition_variable_any &work = *new std::condition_variable_any, &done = *new std::condition_variable_any,
                            &gate = *new std::condition_variable_any;
int allowed = 1;
std::vector<int> readOrder;  // ids, as the reads were made
int liveCopies = 0, disposed = 0;
int heldId = -1;             // a read of this id waits until it is let through
bool inGate = false;         // that read is waiting

// A copy of `node` as read; the caller holds the lock.
Copy *copyOf(const Node *node) {
    liveCopies += 1;
    return new Copy{node};
}

Copy *newCopy(const Node *node) {
    std::lock_guard<std::mutex> lock(mutex);
    return copyOf(node);
}

void deleteCopy(Copy *dir) {
    std::lock_guard<std::mutex> lock(mutex);
    liveCopies -= 1;
    delete dir;
}

std::deque<Node> nodes;  // every tree's, for the process

// A tree of `width` subdirectories a level, `depth` levels below the root;
// ids in walk order.
Node *tree(int width, int depth, int *next) {
    Node *node = &nodes.emplace_back(Node{(*next)++, {}});
    for (int i = 0; depth > 0 && i < width; ++i) node->subdirs.push_back(tree(width, depth - 1, next));
    return node;
}

// Walks `dir` as the walker does, taking each subdirectory, slower than the
// threads (they read all they may before it goes on); how many directories
// it entered, and how many of them came read ahead.
void walk(Copy *dir, int *entered, int *ahead) {
    *entered += 1;
    ahead::schedule(dir);
    ahead::settle();
    for (size_t i = 0; i < dir->node->subdirs.size(); ++i) {
        Copy *child = (Copy *)ahead::take(dir, i);
        *ahead += child != nullptr ? 1 : 0;
        walk(child != nullptr ? child : newCopy(dir->node->subdirs[i]), entered, ahead);
    }
    EXPECT_TRUE(ahead::letGo(dir, true));
    deleteCopy(dir);
}

}  // namespace

namespace aheadBinding {

void lock() { mutex.lock(); }
void unlock() { mutex.unlock(); }
void waitWork() { work.wait(mutex); }
void wakeWork() { work.notify_one(); }
void waitDone() { done.wait(mutex); }
void wakeDone() { done.notify_all(); }
bool startThread() {
    std::thread([] {
        int scratch = 0;
        ahead::threadMain(&scratch);
    }).detach();
    return true;
}
bool lookBriefly(const unsigned *, unsigned) { return false; }
int threadsAllowed() { return allowed; }
bool walkerHelps() { return false; }
size_t subdirCount(ahead::Dir *dir) { return ((Copy *)dir)->node->subdirs.size(); }
size_t entryCount(ahead::Dir *) { return 1; }
ahead::Dir *readDir(ahead::Dir *parent, size_t index, void *, bool *) {
    const Node *node = ((Copy *)parent)->node->subdirs[index];
    std::unique_lock<std::mutex> lock(mutex);
    inGate = node->id == heldId;
    gate.notify_all();
    gate.wait(lock, [node] { return node->id != heldId; });
    inGate = false;
    readOrder.push_back(node->id);
    return copyOf(node);
}
void readDone(void *) {}
void dispose(ahead::Dir *dir) {  // under the lock
    liveCopies -= 1;
    disposed += 1;
    delete (Copy *)dir;
}
bool nextPart(void *, Part *) { return false; }
void doPart(void *, Part *) {}
void partDone(void *, const Part &) {}

}  // namespace aheadBinding

int settledCount(int *count) {
    ahead::settle();
    std::lock_guard<std::mutex> lock(mutex);
    return *count;
}

// A fresh tree of `width` subdirectories a level, `depth` levels deep, read
// by `threads` through a window of `window` directories; the copies freed
// so far go to *disposedBefore.
Node *start(int width, int depth, int threads, size_t window, int *disposedBefore) {
    int next = 0;
    Node *root = tree(width, depth, &next);
    allowed = threads;
    ahead::setWindow(window, window, 1000);
    *disposedBefore = settledCount(&disposed);
    return root;
}

// Three threads read a tree of 121 directories through a window of 8: the
// walker takes what was read for it, and nothing leaks or is freed twice.
TEST(Schedule, ThreeThreadsReadATreeAndEveryCopyIsFreedOnce) {
    int before;
    Node *root = start(3, 4, 3, 8, &before);
    int entered = 0, taken = 0;
    walk(newCopy(root), &entered, &taken);
    EXPECT_EQ(settledCount(&liveCopies), 0);
    EXPECT_EQ(entered, 121);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_GT(taken, 0);
    EXPECT_EQ(disposed - before, (int)readOrder.size() - taken);
    readOrder.clear();
}

// One thread reads in walk order until the window is full; what the walker
// goes past is dropped with everything read below it, and the window fills
// again after the directory it took.
TEST(Schedule, ReadsInWalkOrderUpToTheWindowAndDropsWhatTheWalkerPasses) {
    int before;
    Node *root = start(4, 2, 1, 6, &before);  // ids: the root 0, then 1 with 2-5 below it, 6 with 7-10, ...
    Copy *top = newCopy(root);
    ahead::schedule(top);
    EXPECT_EQ(settledCount(&liveCopies), 1 + 6);
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(readOrder, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    }
    Copy *second = (Copy *)ahead::take(top, 1);  // past 1 and all below it
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->node->id, 6);
    EXPECT_EQ(settledCount(&liveCopies), 2 + 6);  // 7-10, 11 and 12 read since
    EXPECT_EQ(settledCount(&disposed) - before, 5);
    ASSERT_TRUE(ahead::letGo(second, true));
    ASSERT_TRUE(ahead::letGo(top, true));
    EXPECT_EQ(settledCount(&liveCopies), 2);  // the walker's two
    deleteCopy(second);
    deleteCopy(top);
    std::lock_guard<std::mutex> lock(mutex);
    readOrder.clear();
}

// A directory let go while a read goes through it is freed by that read,
// once, and so is what it read.
TEST(Schedule, DirectoryLetGoDuringItsChildsReadIsFreedByThatRead) {
    int before;
    Node *root = start(1, 1, 1, 4, &before);
    std::unique_lock<std::mutex> lock(mutex);
    heldId = root->subdirs[0]->id;
    lock.unlock();
    Copy *top = newCopy(root);
    ahead::schedule(top);
    lock.lock();
    gate.wait(lock, [] { return inGate; });
    lock.unlock();
    EXPECT_FALSE(ahead::letGo(top, false));  // the schedule frees it
    lock.lock();
    heldId = -1;
    gate.notify_all();
    lock.unlock();
    EXPECT_EQ(settledCount(&liveCopies), 0);
    lock.lock();
    EXPECT_EQ(disposed - before, 2);  // what the read made, and the directory let go
    readOrder.clear();
}
