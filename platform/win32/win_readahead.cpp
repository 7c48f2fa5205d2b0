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
#include "platform/schedule.h"
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
    size_t entered;       // the walker entered subdirs[entered - 1] last
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

// ---- The read-ahead's binding (platform/schedule.h) ----

// A pool thread's own memory for a read.
struct Scratch {
    win::WidePaths paths;
    char path[pathRoom];
};

CRITICAL_SECTION scheduleLock;  // the schedule's one lock
HANDLE workSignal = nullptr;    // semaphore: a thread waiting for work may go on
HANDLE doneSignal = nullptr;    // auto-reset event: a read was published for the waiting walker
int waitingForWork = 0;         // threads waiting on workSignal, under the lock
int wakesPending = 0;           // releases of workSignal not yet taken

DWORD WINAPI poolThread(LPVOID) {
    Scratch *scratch = (Scratch *)std::malloc(sizeof(Scratch));
    if (scratch != nullptr) ahead::threadMain(scratch);
    return 0;
}

// The lock and the signals, made once; false when the system has none to give.
bool setUp() {
    if (startTried) return workSignal != nullptr && doneSignal != nullptr;
    startTried = true;
    InitializeCriticalSection(&scheduleLock);
    workSignal = CreateSemaphoreA(nullptr, 0, maxThreads, nullptr);
    doneSignal = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ahead::setWindow(windowDirs, windowDirs, windowEntries);
    return workSignal != nullptr && doneSignal != nullptr;
}

// The subdirectory of an open listing of the walker's that `searchPath`
// enters, as its parent and its position among the parent's subdirectories.
// The walker enters them in order, so the search starts after the last one.
bool findChild(const char *searchPath, bool shortNames, Listing **parent, size_t *index) {
    for (size_t i = openCount; i-- > 0;) {
        Listing *listing = openListings[i];
        size_t count = listing->subdirCount;
        if (listing->shortNames != shortNames || std::strncmp(listing->path, searchPath, listing->directory) != 0)
            continue;  // not below this one: none of its subdirectories is asked for
        for (size_t n = 0; n < count; ++n) {
            size_t at = (listing->entered + n) % count;
            if (!entersChild(listing, listing->subdirs[at], searchPath, shortNames)) continue;
            listing->entered = at + 1;
            *parent = listing;
            *index = at;
            return true;
        }
    }
    return false;
}

// The listing of `searchPath` as read ahead, nullptr when there is none
// (or its read failed: the walker lists it again, to learn why).
Listing *take(const char *searchPath, bool shortNames) {
    Listing *parent;
    size_t index;
    if (!findChild(searchPath, shortNames, &parent, &index)) return nullptr;
    return (Listing *)ahead::take(parent, index);
}

}  // namespace

namespace aheadBinding {

void lock() { EnterCriticalSection(&scheduleLock); }
void unlock() { LeaveCriticalSection(&scheduleLock); }
void waitWork() {
    waitingForWork += 1;
    unlock();
    WaitForSingleObject(workSignal, INFINITE);
    lock();
    waitingForWork -= 1;
    wakesPending -= wakesPending > 0 ? 1 : 0;
}
void wakeWork() {
    if (waitingForWork <= wakesPending) return;
    wakesPending += 1;
    ReleaseSemaphore(workSignal, 1, nullptr);
}
void waitDone() {
    unlock();
    WaitForSingleObject(doneSignal, INFINITE);
    lock();
}
void wakeDone() { SetEvent(doneSignal); }

bool startThread() {
    DWORD id;
    HANDLE thread = CreateThread(nullptr, 0, poolThread, nullptr, 0, &id);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
}

bool lookBriefly(const unsigned *, unsigned) { return false; }
int threadsAllowed() { return threadsWanted; }
bool walkerHelps() { return false; }
size_t subdirCount(ahead::Dir *dir) { return ((Listing *)dir)->subdirCount; }
size_t entryCount(ahead::Dir *dir) { return ((Listing *)dir)->count; }

// Only the pool reads ahead here (the walker never helps), so `scratch` is
// a pool thread's.
ahead::Dir *readDir(ahead::Dir *parentDir, size_t index, void *scratch, bool *outOfMemory) {
    const Listing *parent = (const Listing *)parentDir;
    Scratch *own = (Scratch *)scratch;
    childPath(parent, parent->subdirs[index], own->path);
    DWORD error;
    Listing *listing = readListing(own->path, parent->shortNames, &own->paths, &error);
    *outOfMemory = listing == nullptr && error == ERROR_NOT_ENOUGH_MEMORY;
    return listing;
}

void readDone(void *) {}
void dispose(ahead::Dir *dir) { freeListing((Listing *)dir); }
// A listing holds every size already: nothing is ever shared out.
bool nextPart(void *, Part *) { return false; }
void doPart(void *, Part *) {}
void partDone(void *, const Part &) {}

}  // namespace aheadBinding

namespace {

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
        if (*error == ERROR_NOT_ENOUGH_MEMORY) ahead::stop();
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
        ahead::stop();
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return invalidFindHandle;
    }
    openListings[openCount++] = listing;
    if (!ahead && setUp()) ahead::schedule(listing);
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
    if (ahead::letGo(listing, false)) freeListing(listing);  // else the read-ahead frees it
}

}  // namespace win

// The search path a listing was made by begins with its directory's path
// as the walk spells it, so the test is given that whether it needs it or not.
void setExclusionTest(ExclusionTest test, bool) { exclusionTest = test; }
