// Whole-directory enumerations on the NT family, and the read-ahead of the
// walk. A directory is listed once, with the wide calls and the large
// fetch, and both of the walk's enumerations of it are served from that
// listing. While the walker works through a directory, threads of its own
// list the directories it will enter next, in the order it will enter them,
// a window of them at most, so that the round trips of a network share
// overlap instead of following one another. A listing read ahead is at most
// a window of directories older than the walker's own would be. Memory or a
// thread that cannot be had stops the read-ahead; the walker then lists
// every directory itself. Windows 9x, and FOLMAR_READAHEAD=0, keep the
// system's own enumerations, one directory at a time.
//
// Memory comes from malloc and realloc, never from operator new: the C++
// runtime's allocation and exceptions would bring in imports that Windows 95
// lacks (see win32.h).
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/utf8.h"
#include "platform/win32/win32.h"

namespace {

// The head of one record of a listing; the long name and the short name
// follow it, each NUL-terminated, as findFirstFile delivers them.
struct Head {
    uint32_t attributes, sizeHigh, sizeLow;
    uint16_t nameLength, altLength;
};

// One directory listed whole.
struct Listing {
    char *path;           // the search path it was listed by ("C:\a\*.*")
    size_t directory;     // the length of its directory part, final '\' included
    bool shortNames;      // listed with short names
    char *records;        // Head, name, short name, one after another
    size_t used, room;    // bytes of records
    size_t count;         // records
    bool full;            // a record could not be kept: memory ran short
    int users;            // open enumerations of the walker's
    size_t *subdirs;      // records the read-ahead lists, in walk order
    size_t subdirCount;
};

enum : int { stateReading, stateReady, stateFailed, stateAbandoned };

// One part of the walk still to come, in a list in walk order: a run of
// subdirectories nobody has started, or the read of one.
struct Item {
    Item *before, *after;
    bool run;
    int state;             // of a read
    Listing *parent;
    size_t from, to;       // a run: parent->subdirs[from..to) not started
    size_t entry;          // a read: the record of parent being listed
    Listing *result;       // a read, once ready
};

struct ReadAhead {
    CRITICAL_SECTION lock;   // guards all below
    HANDLE work;             // semaphore: a waiting thread may go on
    HANDLE done;             // event: a read was published
    Item *first, *last;      // the items, in walk order
    size_t reads;            // read items: the window's directories
    size_t entries;          // records of the ready reads
    int idle;                // threads waiting on `work`
    int wakes;               // releases of `work` not yet taken
    bool walkerWaiting;
    bool stopped;
};

struct OpenHandle {
    Listing *listing;  // nullptr when the slot is free
    size_t next;       // the record to deliver next
};

// The window: directories listed ahead and not taken yet, and their records.
const size_t windowDirs = 256;
const size_t windowEntries = 32768;
const int maxThreads = 16;
const int defaultThreads = 4;
// Room for a search path of the walk, a pattern and a name.
const size_t pathRoom = walkPathBytes + 16;

// Set on the walker's thread; constant-initialized, no function-local
// statics (see win32.h).
int threadsWanted = -1;           // from FOLMAR_READAHEAD, once read
ReadAhead *ra = nullptr;          // never freed: its threads run until the process ends
bool startTried = false;
win::WidePaths *walkerPaths = nullptr;
Listing **openListings = nullptr;  // the walker's, innermost last
size_t openCount = 0, openRoom = 0;
OpenHandle *handles = nullptr;     // by -2 - FindHandle
size_t handleCount = 0;
size_t firstFree = 0;              // every slot before it is in use
ExclusionTest exclusionTest = nullptr;  // set before the first walk, then read by every thread

// FOLMAR_READAHEAD: the threads, 0 for none; anything else, the default.
int threadsFromEnvironment() {
    char text[16];
    DWORD length = GetEnvironmentVariableA("FOLMAR_READAHEAD", text, sizeof text);
    if (length == 0 || length >= sizeof text) return defaultThreads;
    char *end = nullptr;
    long threads = std::strtol(text, &end, 10);
    if (*end != '\0' || threads < 0) return defaultThreads;
    return threads > maxThreads ? maxThreads : (int)threads;
}

// Grows `*array` (of `size` bytes each) to hold `need`; false when memory
// cannot be had.
bool reserve(void **array, size_t *room, size_t need, size_t size) {
    if (need <= *room) return true;
    size_t wanted = *room < 16 ? 16 : *room * 2;
    while (wanted < need) wanted *= 2;
    void *grown = std::realloc(*array, wanted * size);
    if (grown == nullptr) return false;
    *array = grown;
    *room = wanted;
    return true;
}

// ---- Listings ----

Head headAt(const Listing *listing, size_t at) {
    Head head;
    std::memcpy(&head, listing->records + at, sizeof head);
    return head;
}
const char *nameAt(const Listing *listing, size_t at) { return listing->records + at + sizeof(Head); }
const char *altAt(const Listing *listing, size_t at, const Head &head) {
    return nameAt(listing, at) + head.nameLength + 1;
}
size_t nextRecord(const Listing *listing, size_t at) {
    Head head = headAt(listing, at);
    return at + sizeof head + head.nameLength + 1 + head.altLength + 1;
}

void freeListing(Listing *listing) {
    if (listing == nullptr) return;
    std::free(listing->path);
    std::free(listing->records);
    std::free(listing->subdirs);
    std::free(listing);
}

bool keepRecord(void *context, const FindData &data) {
    Listing *listing = (Listing *)context;
    Head head = {data.attributes, data.nFileSizeHigh, data.nFileSizeLow, (uint16_t)std::strlen(data.cFileName),
                 (uint16_t)std::strlen(data.cAlternateFileName)};
    size_t size = sizeof head + head.nameLength + 1 + head.altLength + 1;
    void *records = listing->records;
    if (!reserve(&records, &listing->room, listing->used + size, 1)) {
        listing->full = true;
        return false;
    }
    listing->records = (char *)records;
    char *at = listing->records + listing->used;
    std::memcpy(at, &head, sizeof head);
    std::memcpy(at + sizeof head, data.cFileName, head.nameLength + 1u);
    std::memcpy(at + sizeof head + head.nameLength + 1, data.cAlternateFileName, head.altLength + 1u);
    listing->used += size;
    listing->count += 1;
    return true;
}

// The record at `at` names a directory the walk will enter and the
// read-ahead may list: not "." or "..", no
// reparse point (the walker checks where it leads first), a name a search
// path can hold, a path within the walk's limit, and not left out by the
// exclusion test.
bool walkedSubdir(const Listing *listing, size_t at, size_t directoryChars) {
    Head head = headAt(listing, at);
    const char *name = nameAt(listing, at);
    if (!(head.attributes & FILE_ATTRIBUTE_DIRECTORY) || (head.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    bool dots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
    if (dots || std::strpbrk(name, "?*\\/") != nullptr) return false;
    if (directoryChars + utf8Chars(name) + 1 > (size_t)walkPathChars) return false;
    return exclusionTest == nullptr ||
           !exclusionTest(listing->path, listing->directory, name, head.altLength > 0 ? altAt(listing, at, head) : "");
}

bool findSubdirs(Listing *listing) {
    size_t chars = utf8CharsIn(listing->path, listing->directory), room = 0;
    for (size_t at = 0; at < listing->used; at = nextRecord(listing, at)) {
        if (!walkedSubdir(listing, at, chars)) continue;
        void *subdirs = listing->subdirs;
        if (!reserve(&subdirs, &room, listing->subdirCount + 1, sizeof(size_t))) return false;
        listing->subdirs = (size_t *)subdirs;
        listing->subdirs[listing->subdirCount++] = at;
    }
    return true;
}

// Lists `searchPath` whole; nullptr with *error set when it cannot be
// listed (or holds nothing: error 2, as the system says of an empty root),
// or memory runs short (error 8).
Listing *readListing(const char *searchPath, bool shortNames, win::WidePaths *paths, DWORD *error) {
    Listing *listing = (Listing *)std::calloc(1, sizeof(Listing));
    size_t length = std::strlen(searchPath);
    *error = ERROR_NOT_ENOUGH_MEMORY;
    if (listing == nullptr || (listing->path = (char *)std::malloc(length + 1)) == nullptr) {
        freeListing(listing);
        return nullptr;
    }
    std::memcpy(listing->path, searchPath, length + 1);
    listing->directory = (size_t)(std::strrchr(searchPath, '\\') - searchPath) + 1;
    listing->shortNames = shortNames;
    *error = win::listDirectory(searchPath, shortNames, keepRecord, listing, paths);
    if (*error == ERROR_SUCCESS && listing->count == 0) *error = ERROR_FILE_NOT_FOUND;
    if (listing->full) *error = ERROR_NOT_ENOUGH_MEMORY;
    if (*error == ERROR_SUCCESS && !findSubdirs(listing)) *error = ERROR_NOT_ENOUGH_MEMORY;
    if (*error == ERROR_SUCCESS) return listing;
    freeListing(listing);
    return nullptr;
}

// Writes into `path` (pathRoom bytes) the search path of the subdirectory
// at record `at` of `listing`, by its long name.
void childPath(const Listing *listing, size_t at, char *path) {
    Head head = headAt(listing, at);
    const char *pattern = listing->path + listing->directory;
    std::memcpy(path, listing->path, listing->directory);
    char *end = path + listing->directory;
    std::memcpy(end, nameAt(listing, at), head.nameLength);
    end += head.nameLength;
    *end++ = '\\';
    std::memcpy(end, pattern, std::strlen(pattern) + 1);
}

// `searchPath`, with short names asked for or not, is how the walker
// enters the subdirectory at record `at` of `parent`: by its long name or
// by its short one, with the parent's pattern.
bool entersChild(const Listing *parent, size_t at, const char *searchPath, bool shortNames) {
    if (parent->shortNames != shortNames || std::strncmp(parent->path, searchPath, parent->directory) != 0)
        return false;
    const char *rest = searchPath + parent->directory;
    const char *separator = std::strchr(rest, '\\');
    if (separator == nullptr || std::strcmp(separator + 1, parent->path + parent->directory) != 0) return false;
    size_t length = (size_t)(separator - rest);
    Head head = headAt(parent, at);
    return (length == head.nameLength && std::memcmp(rest, nameAt(parent, at), length) == 0) ||
           (head.altLength > 0 && length == head.altLength && std::memcmp(rest, altAt(parent, at, head), length) == 0);
}

// ---- The items (everything below under ra->lock unless said) ----

// Puts a copy of `item` before `position` (at the end for nullptr); false
// when memory runs short.
Item *insertItem(Item *position, const Item &item) {
    Item *added = (Item *)std::malloc(sizeof(Item));
    if (added == nullptr) return nullptr;
    *added = item;
    added->after = position;
    added->before = position == nullptr ? ra->last : position->before;
    (added->before == nullptr ? ra->first : added->before->after) = added;
    (position == nullptr ? ra->last : position->before) = added;
    return added;
}

void eraseItem(Item *item) {
    (item->before == nullptr ? ra->first : item->before->after) = item->after;
    (item->after == nullptr ? ra->last : item->after->before) = item->before;
    std::free(item);
}

bool abandoned(const Item *item) { return !item->run && item->state == stateAbandoned; }

void wakeThread() {
    if (ra->idle > ra->wakes && !ra->stopped) {
        ra->wakes += 1;
        ReleaseSemaphore(ra->work, 1, nullptr);
    }
}

// Takes the first subdirectory nobody has started, when the window has
// room: its read goes before the run. nullptr when there is none.
Item *claim() {
    if (ra->stopped || ra->reads >= windowDirs || ra->entries >= windowEntries) return nullptr;
    Item *run = ra->first;
    while (run != nullptr && !run->run) run = run->after;
    if (run == nullptr) return nullptr;
    Item read = {nullptr, nullptr, false, stateReading, run->parent, 0, 0, run->parent->subdirs[run->from], nullptr};
    Item *added = insertItem(run, read);
    if (added == nullptr) {
        ra->stopped = true;
        return nullptr;
    }
    ra->reads += 1;
    if (++run->from == run->to) eraseItem(run);
    return added;
}

// Hands a finished read to the walk: its subdirectories scheduled right
// after it; or drops it when the walker no longer wants it.
void publish(Item *item, Listing *listing) {
    if (item->state == stateAbandoned) {
        ra->reads -= 1;
        eraseItem(item);
        freeListing(listing);
    } else if (listing == nullptr) {
        item->state = stateFailed;
    } else {
        item->state = stateReady;
        item->result = listing;
        ra->entries += listing->count;
        Item run = {nullptr, nullptr, true, 0, listing, 0, listing->subdirCount, 0, nullptr};
        if (listing->subdirCount > 0 && insertItem(item->after, run) == nullptr) ra->stopped = true;
    }
    wakeThread();
    if (ra->walkerWaiting) SetEvent(ra->done);
}

DWORD WINAPI threadMain(LPVOID) {
    win::WidePaths *paths = (win::WidePaths *)std::malloc(sizeof(win::WidePaths));
    char *path = (char *)std::malloc(pathRoom);
    EnterCriticalSection(&ra->lock);
    for (;;) {
        Item *item = paths == nullptr || path == nullptr ? nullptr : claim();
        if (item == nullptr) {
            ra->idle += 1;
            LeaveCriticalSection(&ra->lock);
            WaitForSingleObject(ra->work, INFINITE);
            EnterCriticalSection(&ra->lock);
            ra->idle -= 1;
            ra->wakes -= ra->wakes > 0 ? 1 : 0;
            continue;
        }
        childPath(item->parent, item->entry, path);
        bool shortNames = item->parent->shortNames;
        LeaveCriticalSection(&ra->lock);
        DWORD error;
        Listing *listing = readListing(path, shortNames, paths, &error);
        EnterCriticalSection(&ra->lock);
        if (listing == nullptr && error == ERROR_NOT_ENOUGH_MEMORY) ra->stopped = true;
        publish(item, listing);
    }
}

// Starts the threads; the read-ahead stays off when none starts.
void start() {
    startTried = true;
    ReadAhead *state = (ReadAhead *)std::calloc(1, sizeof(ReadAhead));
    if (state == nullptr) return;
    InitializeCriticalSection(&state->lock);
    state->work = CreateSemaphoreA(nullptr, 0, maxThreads, nullptr);
    state->done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (state->work == nullptr || state->done == nullptr) return;
    ra = state;
    int started = 0;
    for (int i = 0; i < threadsWanted; ++i) {
        DWORD id;
        HANDLE thread = CreateThread(nullptr, 0, threadMain, nullptr, 0, &id);
        if (thread == nullptr) break;
        CloseHandle(thread);
        started += 1;
    }
    if (started == 0) ra = nullptr;
}

void dropBelow(Listing *listing);

// Drops one item: a run is forgotten, a read under way is abandoned (its
// thread drops it), a finished one is freed with everything below it.
void dropItem(Item *item) {
    if (item->run) {
        eraseItem(item);
        return;
    }
    if (item->state == stateReading) {
        item->state = stateAbandoned;
        return;
    }
    Listing *result = item->state == stateReady ? item->result : nullptr;
    if (result != nullptr) ra->entries -= result->count;
    ra->reads -= 1;
    eraseItem(item);
    wakeThread();
    if (result != nullptr) {
        dropBelow(result);
        freeListing(result);
    }
}

// Drops every item that names `listing`.
void dropBelow(Listing *listing) {
    for (;;) {
        Item *found = ra->first;
        while (found != nullptr && (found->parent != listing || abandoned(found))) found = found->after;
        if (found == nullptr) return;
        dropItem(found);
    }
}

Item *firstLive() {
    Item *item = ra->first;
    while (item != nullptr && abandoned(item)) item = item->after;
    return item;
}

// The item that stands for the walker's `searchPath`: the read of it, or
// the run that holds it (then advanced past it: the walker lists it
// itself; nullptr is returned). Items before it come earlier in walk order
// and are dropped.
Item *findItem(const char *searchPath, bool shortNames) {
    for (;;) {
        Item *found = ra->first;
        size_t runAt = 0;
        for (; found != nullptr; found = found->after) {
            if (abandoned(found)) continue;
            if (!found->run) {
                if (entersChild(found->parent, found->entry, searchPath, shortNames)) break;
                continue;
            }
            for (runAt = found->from; runAt < found->to; ++runAt)
                if (entersChild(found->parent, found->parent->subdirs[runAt], searchPath, shortNames)) break;
            if (runAt < found->to) break;
        }
        if (found == nullptr) return nullptr;
        if (firstLive() != found) {
            dropItem(firstLive());
            continue;
        }
        if (!found->run) return found;
        if ((found->from = runAt + 1) == found->to) eraseItem(found);
        return nullptr;
    }
}

// The listing of `searchPath` as read ahead, nullptr when there is none
// (or its read failed: the walker lists it again, to learn why).
Listing *take(const char *searchPath, bool shortNames) {
    if (ra == nullptr) return nullptr;
    EnterCriticalSection(&ra->lock);
    Item *item = findItem(searchPath, shortNames);
    while (item != nullptr && item->state == stateReading) {
        ra->walkerWaiting = true;
        LeaveCriticalSection(&ra->lock);
        WaitForSingleObject(ra->done, INFINITE);
        EnterCriticalSection(&ra->lock);
        ra->walkerWaiting = false;
    }
    Listing *listing = nullptr;
    if (item != nullptr) {
        listing = item->state == stateReady ? item->result : nullptr;
        if (listing != nullptr) ra->entries -= listing->count;
        ra->reads -= 1;
        eraseItem(item);
        wakeThread();
    }
    LeaveCriticalSection(&ra->lock);
    return listing;
}

// The walker has listed `listing` itself: its subdirectories come next in
// walk order, before everything scheduled so far.
void schedule(Listing *listing) {
    if (!startTried) start();
    if (ra == nullptr || listing->subdirCount == 0) return;
    EnterCriticalSection(&ra->lock);
    Item run = {nullptr, nullptr, true, 0, listing, 0, listing->subdirCount, 0, nullptr};
    if (!ra->stopped && insertItem(ra->first, run) == nullptr) ra->stopped = true;
    wakeThread();
    LeaveCriticalSection(&ra->lock);
}

// Memory ran short: nothing more is read ahead, and what was is given back.
void stop() {
    if (ra == nullptr) return;
    EnterCriticalSection(&ra->lock);
    ra->stopped = true;
    while (firstLive() != nullptr) dropItem(firstLive());
    LeaveCriticalSection(&ra->lock);
}

// ---- The walker's enumerations ----

void deliver(const Listing *listing, size_t at, FindData *data) {
    Head head = headAt(listing, at);
    data->attributes = head.attributes;
    data->nFileSizeHigh = head.sizeHigh;
    data->nFileSizeLow = head.sizeLow;
    data->links = 0;  // not in the listing: getFileLinks asks the file
    std::memcpy(data->cFileName, nameAt(listing, at), head.nameLength + 1u);
    std::memcpy(data->cAlternateFileName, altAt(listing, at, head), head.altLength + 1u);
}

// An open listing of `searchPath`: the walk's second enumeration of a
// directory whose first is still open.
Listing *openListing(const char *searchPath, bool shortNames) {
    for (size_t i = openCount; i-- > 0;)
        if (openListings[i]->shortNames == shortNames && std::strcmp(openListings[i]->path, searchPath) == 0)
            return openListings[i];
    return nullptr;
}

// An enumeration of `listing`, its first record in `data`;
// invalidFindHandle when memory runs short.
FindHandle newHandle(Listing *listing, FindData *data) {
    size_t slot = firstFree;
    while (slot < handleCount && handles[slot].listing != nullptr) ++slot;
    if (slot == handleCount) {
        void *grown = std::realloc(handles, (handleCount + 16) * sizeof(OpenHandle));
        if (grown == nullptr) return invalidFindHandle;
        handles = (OpenHandle *)grown;
        for (size_t i = handleCount; i < handleCount + 16; ++i) handles[i].listing = nullptr;
        handleCount += 16;
    }
    handles[slot].listing = listing;
    handles[slot].next = nextRecord(listing, 0);
    firstFree = slot + 1;
    listing->users += 1;
    deliver(listing, 0, data);
    return -2 - (FindHandle)slot;
}

OpenHandle *handleOf(FindHandle handle) {
    if (handle > -2 || (size_t)(-2 - handle) >= handleCount) return nullptr;
    OpenHandle *h = &handles[(size_t)(-2 - handle)];
    return h->listing == nullptr ? nullptr : h;
}

// The walker's listing of `searchPath`: read ahead (*ahead), else read now.
Listing *walkerListing(const char *searchPath, bool shortNames, DWORD *error, bool *ahead) {
    Listing *listing = take(searchPath, shortNames);
    *ahead = listing != nullptr;
    if (listing != nullptr) return listing;
    if (walkerPaths == nullptr) walkerPaths = (win::WidePaths *)std::malloc(sizeof(win::WidePaths));
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return walkerPaths == nullptr ? nullptr : readListing(searchPath, shortNames, walkerPaths, error);
}

}  // namespace

namespace win {

bool readAheadOn() {
    if (threadsWanted < 0) threadsWanted = threadsFromEnvironment();
    return threadsWanted > 0;
}

FindHandle listFirst(const char *searchPath, FindData *data, bool shortNames, DWORD *error) {
    Listing *listing = openListing(searchPath, shortNames);
    if (listing != nullptr) {
        FindHandle handle = newHandle(listing, data);
        if (handle == invalidFindHandle) *error = ERROR_NOT_ENOUGH_MEMORY;
        return handle;
    }
    bool ahead = false;
    listing = walkerListing(searchPath, shortNames, error, &ahead);
    if (listing == nullptr) {
        if (*error == ERROR_NOT_ENOUGH_MEMORY) stop();
        return invalidFindHandle;
    }
    void *open = openListings;
    FindHandle handle = invalidFindHandle;
    if (reserve(&open, &openRoom, openCount + 1, sizeof(Listing *))) {
        openListings = (Listing **)open;
        handle = newHandle(listing, data);
    }
    if (handle == invalidFindHandle) {
        freeListing(listing);
        stop();
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return invalidFindHandle;
    }
    openListings[openCount++] = listing;
    if (!ahead) schedule(listing);
    return handle;
}

bool isListHandle(FindHandle handle) { return handle <= -2; }

bool listNext(FindHandle handle, FindData *data) {
    OpenHandle *h = handleOf(handle);
    if (h == nullptr || h->next >= h->listing->used) return false;
    deliver(h->listing, h->next, data);
    h->next = nextRecord(h->listing, h->next);
    return true;
}

void listClose(FindHandle handle) {
    OpenHandle *h = handleOf(handle);
    if (h == nullptr) return;
    Listing *listing = h->listing;
    h->listing = nullptr;
    size_t slot = (size_t)(-2 - handle);
    firstFree = slot < firstFree ? slot : firstFree;
    if (--listing->users > 0) return;
    for (size_t i = openCount; i-- > 0;) {
        if (openListings[i] != listing) continue;
        std::memmove(openListings + i, openListings + i + 1, (openCount - i - 1) * sizeof(Listing *));
        openCount -= 1;
        break;
    }
    if (ra != nullptr) {
        EnterCriticalSection(&ra->lock);
        dropBelow(listing);
        LeaveCriticalSection(&ra->lock);
    }
    freeListing(listing);
}

}  // namespace win

// The search path a listing was made by begins with its directory's path
// as the walk spells it, so the test is given that whether it needs it or not.
void setExclusionTest(ExclusionTest test, bool) { exclusionTest = test; }
