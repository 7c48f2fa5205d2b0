// The directory walk: the file pass and the directory pass of each
// directory, which directories are entered and by which name, the stop of
// a loop through a reparse point, and the stop of the walk when the machine
// runs out of memory or open files, or standard output can no longer be
// written. The walk keeps its branch in a fixed table of levels and its
// path in rs.curPath, so that its stack use does not grow with the depth;
// each level also sums its subtree's figures, which the sinks get with the
// directory's last event (common/sink.h).
#include <cstdio>
#include <cstring>

#include "common/exclude.h"
#include "common/output.h"
#include "common/progress.h"
#include "common/runstate.h"
#include "common/sink.h"
#include "common/text.h"
#include "report/report.h"
#include "scan/internal.h"
#include "scan/scan.h"

namespace {

// One directory of the current branch, its directory pass open.
struct Level {
    FindHandle handle;
    size_t length;          // bytes of its path in rs.curPath, final backslash included
    size_t chars;           // characters of that path
    bool firstPending;      // `entry` holds its first entry, not yet looked at
    uint8_t identityState;  // identityUnknown, identityKnown or identityUnavailable
    bool loopChecked;       // listed as a reparse point, and so already checked for a loop
    FileIdentity identity;  // asked for only when a reparse point is met
    DirFigures figures;     // its own files, then its subtree's as the walk comes back
};

enum : uint8_t { identityUnknown, identityKnown, identityUnavailable };

// Every level adds at least two characters ("x\") to a path that starts
// with a drive ("C:\"), so a path within the limit has at most this many.
const int maxDepth = walkPathChars / 2;

Level levels[maxDepth];
FindData entry;      // the directory pass's record, shared by the levels: a
                     // level needs it only until the child's name is copied
FindData fileEntry;  // the file pass's record
char enteredName[maxPathBytes + 1];  // long name of the subdirectory being entered
uint32_t filePassError;  // why the latest file pass listed no file, or 0
const char searchPattern[] = "*.*";  // appended to a directory's path to enumerate it

}  // namespace

// Short names are asked of the enumeration only when something uses them:
// paths built from them, files listed by them, or long names that may be
// look-alikes.
static bool shortNamesWanted() {
    return rs.showDirs != Listing::longNames || rs.showFiles == Listing::shortNames || enterByShortNames();
}

// A directory that could not be enumerated because the machine ran out of
// memory or open files: the walk cannot be complete, so it stops, and the
// run ends as a failure instead of passing over the directory.
static bool walkOutOfResources(const char *lsPath) {
    uint32_t code = getLastError();
    if (code != errorTooManyOpenFiles && code != errorNotEnoughMemory) return false;
    conText("Folmar==>  Unable to read ");
    conClean(lsPath);
    conText(" \n");
    conFormat("Folmar==>  Out of memory or open files (Error Code %lu) \n", (unsigned long)code);
    rs.runAborted = true;
    return true;
}

// A directory counted and never entered: noted for the list at the end of
// the run, and told to the sinks.
static void notRead(uint32_t errorCode, const char *path, size_t length, const char *name) {
    noteNotRead(errorCode, path, length, name);
    deliverDirNotRead(errorCode, path, length, name);
}

// The directory of levels[depth] could not be enumerated (rs.curPath is its
// search path): the walk stops when the machine is out of resources; one
// that holds no entry at all (a drive root can be empty) is entered and
// finished with nothing in it; any other is not read.
static void enumerationFailed(int depth) {
    if (walkOutOfResources(rs.curPath)) return;
    const Level &level = levels[depth];
    if (getLastError() == errorFileNotFound) {
        deliverDirEntered(rs.curPath, level.length, depth == 0 ? nullptr : enteredName);
        deliverDirFinished(rs.curPath, level.length, level.figures);
        return;
    }
    size_t shown = level.length > 3 ? level.length - 1 : level.length;  // without the final backslash
    notRead(getLastError(), rs.curPath, shown, nullptr);
}

// The file pass over `lsPath` ("...\*.*", its directory's path the first
// `dirLength` bytes): counts files into rs.fileCount (a file with several
// names once, under hardLinks=Once), hands each file to the sinks (the
// report lists its name when rs.showFiles asks) and each counted one to the
// largest files when they are asked for. Returns the sum of their sizes (saturating); sets
// filePassError when they could not be listed.
static uint64_t processFiles(const char *lsPath, size_t dirLength) {
    filePassError = 0;
    FindHandle handle = findFirstFile(lsPath, &fileEntry, shortNamesWanted());
    if (handle == invalidFindHandle) {
        uint32_t code = getLastError();
        if (!walkOutOfResources(lsPath) && code != errorFileNotFound) filePassError = code;
        return 0;
    }
    uint64_t bytes = 0;
    bool once = rs.hardLinks == HardLinks::once;
    do {
        if ((fileEntry.attributes & fileAttributeDirectory) || isOwnNewFile(lsPath, fileEntry.cFileName)) continue;
        if (once) learnLinks(lsPath, dirLength, &fileEntry);
        deliverFileListed(fileEntry);
        if (once && !firstNameOf(fileEntry)) continue;  // another name of a file counted before
        rs.fileCount += 1;
        uint64_t size = ((uint64_t)fileEntry.nFileSizeHigh << 32) | fileEntry.nFileSizeLow;
        bytes = addSaturating(bytes, size);
        if (rs.largestFiles > 0) noteLargestFile(lsPath, dirLength, fileEntry, size);
    } while (findNextFile(handle, &fileEntry));
    findClose(handle);
    return bytes;
}

// The directory in rs.curPath (`length` bytes, final backslash included) has
// its files counted: a file pass that failed is noted as not read; then its
// line goes to the roll-up, or with no directory lines its bytes go straight
// to the drive total. Then the sinks hear of it.
static void handLineOn(size_t length, uint64_t bytes, uint32_t errorCode) {
    if (errorCode != 0) noteNotRead(errorCode, rs.curPath, length > 3 ? length - 1 : length, nullptr);
    if (rs.showDirs != Listing::none)
        rollUpFirstLevel(rs.curPath, bytes);
    else
        addDirToTotal(rs.curPath, bytes);
    deliverDirFilesDone(errorCode);
}

bool walkStopped() { return rs.runAborted || rs.stdoutFailed; }

static bool loopsBack(int depth);

// The directory of levels[depth], now open (rs.curPath is its path), was
// listed as a plain directory but is a reparse point as it is entered (a
// folder swapped for a link) that leads back up its own branch: it is
// closed and noted as not read. What was opened counts, not what was listed.
static bool swappedIntoLoop(int depth) {
    Level &level = levels[depth];
    if (depth == 0 || level.loopChecked || !isReparsePoint(rs.curPath) || !loopsBack(depth)) return false;
    findClose(level.handle);
    notRead(errorCantResolveFilename, rs.curPath, level.length - 1, nullptr);
    return true;
}

// Opens the directory pass of the directory in rs.curPath (its path of
// levels[depth].length bytes, final backslash included), runs its file pass
// and hands its line on. False when it cannot be enumerated, or leads back
// up its branch: it gets no line. Below the start, the parent's directory
// pass, which delivered it last, is the platform's hint.
static bool openLevel(int depth) {
    Level &level = levels[depth];
    progressTick();
    level.figures = DirFigures{0, 0, 0, 0, 0, true};
    std::memcpy(rs.curPath + level.length, searchPattern, sizeof searchPattern);
    FindHandle parent = depth == 0 ? invalidFindHandle : levels[depth - 1].handle;
    level.handle = findFirstFile(rs.curPath, &entry, shortNamesWanted(), parent);
    if (level.handle == invalidFindHandle) {
        enumerationFailed(depth);
        rs.curPath[level.length] = '\0';
        return false;
    }
    rs.curPath[level.length] = '\0';
    if (swappedIntoLoop(depth)) return false;
    std::memcpy(rs.curPath + level.length, searchPattern, sizeof searchPattern);
    deliverDirEntered(rs.curPath, level.length, depth == 0 ? nullptr : enteredName);
    uint32_t filesBefore = rs.fileCount;
    uint64_t bytes = processFiles(rs.curPath, level.length);
    rs.curPath[level.length] = '\0';
    DirFigures &own = level.figures;
    own.files = own.allFiles = rs.fileCount - filesBefore;
    own.bytes = own.allBytes = bytes;
    own.read = filePassError == 0;
    if (!walkStopped()) handLineOn(level.length, bytes, filePassError);  // a stopped file pass gives no line
    level.firstPending = true;
    return true;
}

// The directory of levels[depth] is done with its whole subtree: its
// figures go to the sinks and into its parent's.
static void finishLevel(int depth) {
    const DirFigures &done = levels[depth].figures;
    if (!walkStopped()) deliverDirFinished(rs.curPath, levels[depth].length, done);
    if (depth == 0) return;
    DirFigures &parent = levels[depth - 1].figures;
    parent.subdirs += done.subdirs;
    parent.allFiles += done.allFiles;
    parent.allBytes = addSaturating(parent.allBytes, done.allBytes);
}

// Reads the level's entries on to its next subdirectory, passing over the
// "." and ".." entries (a name that only begins with '.' is a real
// directory); false when there is none left.
static bool nextSubdirectory(Level &level) {
    for (;;) {
        if (level.firstPending)
            level.firstPending = false;
        else if (!findNextFile(level.handle, &entry))
            return false;
        const char *name = entry.cFileName;
        bool dots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
        if ((entry.attributes & fileAttributeDirectory) && !dots) return true;
    }
}

// The identity of the directory of levels[depth], asked once.
static bool identityOf(int depth) {
    Level &level = levels[depth];
    if (level.identityState == identityUnknown) {
        char kept = rs.curPath[level.length];
        rs.curPath[level.length] = '\0';
        bool known = getDirectoryIdentity(rs.curPath, &level.identity);
        rs.curPath[level.length] = kept;
        level.identityState = known ? identityKnown : identityUnavailable;
    }
    return level.identityState == identityKnown;
}

// The directory of levels[depth] is the same directory as one of the
// levels above it: a link that leads back into its own branch.
static bool loopsBack(int depth) {
    if (!identityOf(depth)) return false;
    const FileIdentity &self = levels[depth].identity;
    for (int up = 0; up < depth; ++up) {
        if (!identityOf(up)) continue;
        if (levels[up].identity.volume == self.volume && levels[up].identity.index == self.index) return true;
    }
    return false;
}

// The name a child's path is built from: its short name when paths are
// built from short names (or long names may be look-alikes) and it has one.
static const char *walkName(const FindData &found) {
    bool useShort = rs.showDirs != Listing::longNames || enterByShortNames();
    return useShort && found.cAlternateFileName[0] != '\0' ? found.cAlternateFileName : found.cFileName;
}

// The subdirectory in `entry` of the level `depth` is left out by a
// pattern: not counted, noted for the list at the end of the run, and told
// to the sinks.
static bool leftOut(int depth) {
    size_t length = levels[depth].length;
    const char *pattern = excludingPattern(rs.curPath, length, entry.cFileName, entry.cAlternateFileName);
    if (pattern == nullptr) return false;
    noteExcluded(rs.curPath, length, walkName(entry), pattern);
    deliverDirExcluded(rs.curPath, length, entry.cFileName);
    return true;
}

// What the platform may read ahead: never a directory a pattern leaves out.
static bool excludedByPattern(const char *parentPath, size_t parentLength, const char *name, const char *shortName) {
    return excludingPattern(parentPath, parentLength, name, shortName) != nullptr;
}

void useExclusions() { setExclusionTest(rs.excludePatternCount > 0 ? excludedByPattern : nullptr, rs.excludeByPath); }

// Sets rs.curPath to the path of the subdirectory in `entry` of the level
// `depth`, with its final backslash, as the path of levels[depth + 1].
// False when it is not to be entered (noted as not read): its path would be
// longer than the walk's limit (rs.curPath is then left as it was), or it is
// a reparse point that leads back to a directory of its own branch.
static bool enterChild(int depth) {
    const Level &parent = levels[depth];
    const char *name = walkName(entry);
    size_t nameLength = std::strlen(name);
    size_t chars = parent.chars + utf8Chars(name) + 1;
    if (chars > walkPathChars || depth + 1 >= maxDepth) {
        notRead(errorFilenameExcedRange, rs.curPath, parent.length, name);
        return false;
    }
    Level &child = levels[depth + 1];
    child.length = parent.length + nameLength + 1;
    child.chars = chars;
    child.identityState = identityUnknown;
    std::memcpy(rs.curPath + parent.length, name, nameLength);
    rs.curPath[child.length - 1] = '\\';
    rs.curPath[child.length] = '\0';
    child.loopChecked = (entry.attributes & fileAttributeReparsePoint) != 0;
    if (child.loopChecked && loopsBack(depth + 1)) {
        notRead(errorCantResolveFilename, rs.curPath, child.length - 1, nullptr);
        return false;
    }
    std::memcpy(enteredName, entry.cFileName, std::strlen(entry.cFileName) + 1);
    return true;
}

void processDirs() {
    size_t length = std::strlen(rs.curPath);
    size_t chars = utf8Chars(rs.curPath);
    if (length == 0 || rs.curPath[length - 1] != '\\') {
        if (chars + 1 > walkPathChars) return;  // no room for the backslash
        rs.curPath[length++] = '\\';
        rs.curPath[length] = '\0';
        chars += 1;
    }
    levels[0].length = length;
    levels[0].chars = chars;
    levels[0].identityState = identityUnknown;
    levels[0].loopChecked = false;
    rs.walkBegun = true;
    if (!openLevel(0)) return;
    for (int depth = 0; depth >= 0;) {
        Level &level = levels[depth];
        if (walkStopped() || !nextSubdirectory(level)) {
            findClose(level.handle);
            finishLevel(depth);
            --depth;
            continue;
        }
        if (rs.excludePatternCount > 0 && leftOut(depth)) continue;
        countDirectories(1);
        level.figures.subdirs += 1;
        if (enterChild(depth) && openLevel(depth + 1)) ++depth;
    }
}
