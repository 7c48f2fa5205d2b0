// The largest files of a drive's walk (largestFiles= or /T:N): a heap of
// at most mostLargestFiles entries, each with room for its path, so that
// memory stays the same whatever the tree; and the "Largest files" block
// that lists them after the drive's totals, largest first, ties in walk
// order, each in the directory-line layout.
#include <cstring>

#include "common/runstate.h"
#include "common/text.h"
#include "report/internal.h"
#include "report/report.h"

namespace {

// A path of more bytes is kept as its first maxPathChars characters, "...\"
// and the file's name.
const size_t keptPathBytes = 2 * maxPathBytes + 8;

// A file kept: its size, its place in the walk, and the slot of its path.
struct Kept {
    uint64_t size;
    uint64_t order;
    int slot;
};

Kept heap[mostLargestFiles];  // the weakest at the top (see weaker)
int heapCount = 0;
uint64_t filesMet = 0;        // files offered in this drive's walk
char paths[mostLargestFiles][keptPathBytes + 1];
Kept shown[mostLargestFiles];  // the block's order, settled as it is written

}  // namespace

// `a` gives way to `b`: it is smaller, or as large and met later.
static bool weaker(const Kept &a, const Kept &b) { return a.size != b.size ? a.size < b.size : a.order > b.order; }

// Restores the heap `h` of `count` entries below `at`, whose entry may be
// stronger than its children.
static void siftDown(Kept *h, int count, int at) {
    for (;;) {
        int weakest = at, left = 2 * at + 1, right = left + 1;
        if (left < count && weaker(h[left], h[weakest])) weakest = left;
        if (right < count && weaker(h[right], h[weakest])) weakest = right;
        if (weakest == at) return;
        Kept kept = h[at];
        h[at] = h[weakest];
        h[weakest] = kept;
        at = weakest;
    }
}

static void siftUp(int at) {
    while (at > 0 && weaker(heap[at], heap[(at - 1) / 2])) {
        Kept kept = heap[at];
        heap[at] = heap[(at - 1) / 2];
        heap[(at - 1) / 2] = kept;
        at = (at - 1) / 2;
    }
}

// The file's path into `slot`: the directory's path and its name, or when
// that is longer than the slot holds, the path's first characters, "...\"
// and the name.
static void keepPath(int slot, const char *dirPath, size_t dirLength, const char *name) {
    char *kept = paths[slot];
    size_t nameLength = std::strlen(name);
    if (dirLength + nameLength > keptPathBytes) {
        dirLength = prefixBytes(dirPath, maxPathChars);
        std::memcpy(kept, dirPath, dirLength);
        std::memcpy(kept + dirLength, "...\\", 4);
        dirLength += 4;
        dirPath = kept;
    }
    std::memmove(kept, dirPath, dirLength);
    std::memcpy(kept + dirLength, name, nameLength + 1);
}

void noteLargestFile(const char *dirPath, size_t dirLength, const FindData &file, uint64_t size) {
    Kept offered = {size, filesMet++, heapCount};
    int most = rs.largestFiles < mostLargestFiles ? rs.largestFiles : mostLargestFiles;
    if (heapCount == most && (most == 0 || !weaker(heap[0], offered))) return;
    bool useShort = rs.showDirs == Listing::shortNames && file.cAlternateFileName[0] != '\0';
    const char *name = useShort ? file.cAlternateFileName : file.cFileName;
    if (heapCount < most) {
        keepPath(heapCount, dirPath, dirLength, name);
        heap[heapCount] = offered;
        siftUp(heapCount++);
        return;
    }
    offered.slot = heap[0].slot;
    keepPath(offered.slot, dirPath, dirLength, name);
    heap[0] = offered;
    siftDown(heap, heapCount, 0);
}

void forgetLargestFiles() {
    heapCount = 0;
    filesMet = 0;
}

void writeLargestFiles(void (*writeLine)(const char *line)) {
    std::memcpy(shown, heap, sizeof(Kept) * (size_t)heapCount);
    for (int count = heapCount; count > 1;) {  // the weakest to the end, one by one
        Kept weakest = shown[0];
        shown[0] = shown[--count];
        shown[count] = weakest;
        siftDown(shown, count, 0);
    }
    writeLine("Largest files: \n");
    for (int i = 0; i < heapCount; ++i) {
        const char *path = paths[shown[i].slot];
        printSizedLine(path, std::strlen(path), shown[i].size, writeLine);
    }
    writeLine("\n");
}
