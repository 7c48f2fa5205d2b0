// Files with several names (hard links) under hardLinks=Once: the table of
// the ones met whose other names the walk has yet to meet, so that such a
// file counts at the first name the run meets and nowhere else. The table
// is fixed: linkedFilesHeld files at once (a file leaves it when its last
// name is met), on at most linkVolumes volumes; a file it has no room for
// counts at each of its names, and the run says how many names were so
// counted (rs.linksUnchecked), so a total is never silently too high.
#include <cstring>

#include "common/runstate.h"
#include "scan/internal.h"
#include "scan/scan.h"

namespace {

// A file met under one name, with names left to meet.
struct Linked {
    uint64_t index;      // its index on its volume (inode)
    uint32_t volume;     // 1 + its volume's place in `volumes`; 0: a free slot
    uint32_t namesLeft;  // names not met yet
};

const int slotBits = 18;
const uint32_t slotCount = 1u << slotBits;  // 4 MiB of slots
const uint32_t slotMask = slotCount - 1;
Linked table[slotCount];  // open addressing, linear probing
uint32_t held = 0;

const int linkVolumes = 64;
uint64_t volumes[linkVolumes];  // the volumes of the files held, in the order met
int volumeCount = 0;

// The path of the file whose names are asked of the system.
char filePath[walkPathBytes + maxPathBytes + 2];

}  // namespace

// The home slot of a file.
static uint32_t homeOf(uint64_t index, uint32_t volume) {
    uint64_t mixed = (index ^ ((uint64_t)volume << 56)) * 0x9E3779B97F4A7C15ull;
    return (uint32_t)(mixed >> (64 - slotBits));
}

// 1 + the place of `volume` in `volumes` (added when new); 0 when there
// is no room for another.
static uint32_t volumeNumber(uint64_t volume) {
    for (int i = volumeCount; i-- > 0;)
        if (volumes[i] == volume) return (uint32_t)i + 1;
    if (volumeCount == linkVolumes) return 0;
    volumes[volumeCount++] = volume;
    return (uint32_t)volumeCount;
}

// Empties the slot `hole`, moving later entries of its run back so that
// every entry stays reachable from its home slot.
static void removeAt(uint32_t hole) {
    for (uint32_t at = (hole + 1) & slotMask; table[at].volume != 0; at = (at + 1) & slotMask) {
        uint32_t home = homeOf(table[at].index, table[at].volume);
        if (((at - home) & slotMask) < ((at - hole) & slotMask)) continue;
        table[hole] = table[at];
        hole = at;
    }
    table[hole].volume = 0;
    --held;
}

// A table that holds no file has every slot free already: a run that met
// no file with several names never touches its pages.
void forgetLinkedFiles() {
    if (held != 0) std::memset(table, 0, sizeof table);
    held = 0;
    volumeCount = 0;
}

bool firstNameOf(const FindData &file) {
    if (file.links < 2) return true;
    uint32_t volume = volumeNumber(file.identity.volume);
    uint32_t at = homeOf(file.identity.index, volume);
    for (; volume != 0 && table[at].volume != 0; at = (at + 1) & slotMask) {
        Linked &met = table[at];
        if (met.volume != volume || met.index != file.identity.index) continue;
        if (--met.namesLeft == 0) removeAt(at);
        return false;
    }
    if (volume == 0 || held == linkedFilesHeld) {
        rs.linksUnchecked += 1;
        return true;
    }
    table[at] = Linked{file.identity.index, volume, file.links - 1};
    ++held;
    return true;
}

void learnLinks(const char *dirPath, size_t dirLength, FindData *file) {
    if (file->links != 0) return;
    size_t nameLength = std::strlen(file->cFileName);
    std::memcpy(filePath, dirPath, dirLength);
    std::memcpy(filePath + dirLength, file->cFileName, nameLength + 1);
    if (!getFileLinks(filePath, file)) file->links = 0;
}
