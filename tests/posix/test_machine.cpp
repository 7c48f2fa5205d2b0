// The POSIX emulation over a real temporary tree: enumeration, look-ups, pseudo file systems, disk space,
// openFile() and the read-ahead. FOLMAR_DRIVES is set before the first call of the process: C is a fresh
// directory, D one that does not exist, P is /proc and X is /.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/dirs.h"
#include "platform/posix/readahead.h"
#include "platform/posix/posix.h"
#include "platform/posix/syscalls.h"

namespace {

std::string root;  // drive C
typedef std::set<std::string> Listing;  // "name:size", "name:size/" for a directory
typedef std::map<std::string, Listing> Tree;

std::string native(const std::string &relative) { return root + "/" + relative; }
void removeTree(const std::string &relative) { std::filesystem::remove_all(native(relative)); }
// Makes each "dir/" (and its parents) and "file=size" (sparse) below drive C.
void make(std::initializer_list<std::string> items) {
    for (const std::string &item : items) {
        size_t equals = item.rfind('=');
        std::filesystem::path path = native(item.substr(0, equals));
        std::filesystem::create_directories(equals == std::string::npos ? path : path.parent_path());
        if (equals == std::string::npos) continue;
        std::ofstream(path).close();
        std::filesystem::resize_file(path, std::stoull(item.substr(equals + 1)));
    }
}

class PosixMachine : public ::testing::Environment {
    void SetUp() override {
        root = (std::filesystem::temp_directory_path() / "folmar-posix-XXXXXX").string();
        ASSERT_NE(mkdtemp(&root[0]), nullptr);
        std::string drives = "C=" + root + ";D=" + root + "/missing;P=/proc;X=/";
        setenv("FOLMAR_DRIVES", drives.c_str(), 1);
        setenv("FOLMAR_READAHEAD", "many", 1);  // no number: the default number of threads
        platformStartUp(nullptr, nullptr);  // as the program starts: the read-ahead's window needs open files
        posix::readAheadIgnoreLoad();
    }
    void TearDown() override { removeTree(""); }
};
::testing::Environment *const machine = ::testing::AddGlobalTestEnvironment(new PosixMachine);

// Every entry of the enumeration open as `handle`, which is closed.
Listing drain(FindHandle handle, FindData *data) {
    Listing names;
    if (handle == invalidFindHandle) return names;
    do {
        uint64_t size = ((uint64_t)data->nFileSizeHigh << 32) | data->nFileSizeLow;
        bool dir = data->attributes & fileAttributeDirectory;
        names.insert(std::string(data->cFileName) + ":" + std::to_string(size) + (dir ? "/" : ""));
        EXPECT_STREQ(data->cAlternateFileName, "");
    } while (findNextFile(handle, data));
    findClose(handle);
    return names;
}

Listing list(const std::string &searchPath) {
    FindData data;
    return drain(findFirstFile(searchPath.c_str(), &data, true), &data);
}

// Each directory below `path`, entered as the walker does: while its parent's enumeration is open, named
// as its hint.
void readTree(const std::string &path, Tree *tree, FindHandle parent = invalidFindHandle) {
    FindData data;
    FindHandle handle = findFirstFile((path + "\\*.*").c_str(), &data, true, parent);
    if (handle == invalidFindHandle) return;
    (*tree)[path] = list(path + "\\*.*");
    do {
        if ((data.attributes & fileAttributeDirectory) && std::string(data.cFileName) != ".")
            readTree(path + "\\" + data.cFileName, tree, handle);
    } while (findNextFile(handle, &data));
    findClose(handle);
}

// Directories read ahead while `parent`'s enumeration is open; closing it drops them.
uint64_t heldAhead(const std::string &parent) {
    uint64_t before = posix::readAheadCounts().read;
    FindData data;
    FindHandle handle = findFirstFile((parent + "\\*.*").c_str(), &data, true);
    posix::readAheadSettle();
    findClose(handle);
    return posix::readAheadCounts().read - before;
}

// `count` empty files of long names in the directory `relative`: records
// past the size that is mapped rather than allocated.
void makeMany(const std::string &relative, int count) {
    std::filesystem::create_directories(native(relative));
    const std::string stem = native(relative + "/" + std::string(200, 'f'));
    for (int i = 0; i < count; ++i) std::ofstream(stem + std::to_string(100000 + i)).close();
}
const int manyFiles = 1400;

// Whether openFile() opens `path` ("r"), or a replacement of it can be made and put in place ("w").
bool opens(const std::string &path, const char *mode) {
    FILE *file = mode[0] == 'r' ? openFile(path.c_str(), mode) : createReplacement(path.c_str());
    return file != nullptr && (mode[0] == 'r' ? std::fclose(file) == 0 : commitReplacement(file));
}

bool between(uint64_t x, uint64_t a, uint64_t b) { return (a <= x && x <= b) || (b <= x && x <= a); }

}  // namespace

TEST(Enumeration, DotFirstDirectoriesByBitLinksByTheirOwnSize) {
    make({"e/sub/", "e/five=5", "e/.#=2"});  // ".#": two characters, the first a dot, like any other
    ASSERT_EQ(symlink("sub", native("e/link").c_str()), 0);
    FindData data;
    FindHandle handle = findFirstFile("C:\\e\\*.*", &data, true);
    EXPECT_STREQ(data.cFileName, ".");
    EXPECT_EQ(drain(handle, &data), (Listing{".:0/", "sub:0/", "five:5", ".#:2", "link:3"}));
    EXPECT_EQ(list("C:\\e\\link\\*.*"), (Listing{".:0/"}));  // named in the path itself: followed
    EXPECT_TRUE(list("C:\\e\\five\\*.*").empty());
}

// By UTF-16 units upper-cased, "." first: a byte that is no UTF-8 reads as U+FFFD, an encoded lone surrogate
// as itself, a character past U+FFFF as its pair; names equal so by their bytes; dotless i is no I; a
// lower-case letter sorts as its capital past eight equal characters and in Latin Extended-A and -B.
TEST(Enumeration, EntriesInTheOrderAnNtfsVolumeListsThem) {
    const std::vector<std::string> order = {".", "12345678a", "12345678B", "A", "a", "B", "I", "_", "\xc3\x84",
                                            "\xc3\xa4", "\xc4\xb1", "\xc5\x8b" "a", "\xc5\x8a" "z", "\xc8\xa5" "a",
                                            "\xc8\xa4" "z", "\xed\xa0\x80", "\xf0\x9f\x98\x80", "\xef\xbf\xa6", "\xef\xbf\xbd", "\xff"};
    for (size_t i = order.size(); i-- > 1;) make({"ord/" + order[i] + (i % 2 ? "=1" : "/")});
    FindData data;
    FindHandle handle = findFirstFile("C:\\ord\\*.*", &data, true);
    std::vector<std::string> names;
    do names.push_back(data.cFileName);
    while (findNextFile(handle, &data));
    findClose(handle);
    EXPECT_EQ(names, order);
}

// Even when its path no longer leads there; once it is closed, it is read afresh.
TEST(Enumeration, OpenDirectoryIsServedFromWhatWasReadAndOpensItsChildren) {
    make({"p/kept=1", "p/gone=2", "p/child/f=4"});
    FindData data;
    FindHandle parent = findFirstFile("C:\\p\\*.*", &data, true);
    ASSERT_EQ(unlink(native("p/gone").c_str()), 0);
    make({"p/new=3"});
    EXPECT_EQ(list("C:\\p\\*.*"), (Listing{".:0/", "kept:1", "gone:2", "child:0/"}));  // as read
    ASSERT_EQ(rename(native("p").c_str(), native("q").c_str()), 0);
    EXPECT_EQ(list("C:\\p\\child\\*.*"), (Listing{".:0/", "f:4"}));
    findClose(parent);
    EXPECT_TRUE(list("C:\\p\\child\\*.*").empty());
    EXPECT_EQ(list("C:\\q\\*.*"), (Listing{".:0/", "kept:1", "new:3", "child:0/"}));
}

// Without regard to case, then without trailing dots and blanks; by path and through an open parent.
// Nothing found is error 3: an absent name, a drive not mapped, a path past the walk's, a path without a pattern.
TEST(Enumeration, NamesMatchExactlyFirstThenFirstInByteOrder) {
    const std::string e100 = [] { std::string e; while (e.size() < 200) e += "\xc3\xa9"; return e; }();
    make({"ci/SUb/one=1", "ci/Sub/two=2", "ci/sub/three=3", "ci/one/File.txt=7", "ci/" + e100 + "/" + e100 + "/x=5"});
    const struct { std::string path; Listing found; } cases[] = {
        {"C:\\ci\\SUB\\*.*", {".:0/", "one:1"}},  {"C:\\CI\\sUB\\*.*", {".:0/", "one:1"}},
        {"C:\\ci\\Sub\\*.*", {".:0/", "two:2"}},  {"C:\\ci\\sub. \\*.*", {".:0/", "three:3"}},
        {"C:\\ci.\\SUB.\\*.*", {".:0/", "one:1"}}, {"C:\\ci\\ONE\\file.TXT", {"File.txt:7"}},
        {"C:\\ci\\" + e100 + "\\" + e100 + "\\*.*", {".:0/", "x:5"}},  // 207 characters, 407 bytes
        {"C:\\ci\\one\\absent", {}}, {"Q:\\*.*", {}}, {"C:\\ci\\", {}},
        {"C:\\" + std::string(140000, 'a') + "\\*.*", {}}};
    for (bool parentOpen : {false, true}) {
        FindData data;
        FindHandle parent = parentOpen ? findFirstFile("C:\\ci\\*.*", &data, true) : invalidFindHandle;
        for (const auto &c : cases) {
            EXPECT_EQ(list(c.path), c.found) << c.path << " " << parentOpen;
            EXPECT_TRUE(!c.found.empty() || getLastError() == 3u) << c.path;
        }
        findClose(parent);
    }
    FindData data;  // handles of no enumeration
    EXPECT_FALSE(findNextFile(invalidFindHandle, &data) || findNextFile(12345, &data));
    findClose(12345);
}

// /proc as a drive's root (P) and as a mount point in / (X), by path and through its open parent.
TEST(Enumeration, PseudoFileSystemsCannotBeOpened) {
    struct statfs fs;
    if (statfs("/proc", &fs) != 0 || fs.f_type != 0x9fa0) GTEST_SKIP() << "/proc is no proc mount here";
    FindData data;
    for (bool parentOpen : {false, true}) {
        FindHandle slash = parentOpen ? findFirstFile("X:\\*.*", &data, true) : invalidFindHandle;
        ASSERT_TRUE(!parentOpen || slash != invalidFindHandle);
        for (const char *path : {"P:\\*.*", "P:\\self\\*.*", "X:\\proc\\*.*"}) {
            EXPECT_EQ(findFirstFile(path, &data, true), invalidFindHandle) << path << " " << parentOpen;
            EXPECT_EQ(getLastError(), 5u) << path;
        }
        findClose(slash);
    }
}

// The free figures move while others write: they lie between statvfs readings before and after.
TEST(DiskSpace, FiguresFromStatvfsAndWindowsErrorCodes) {
    struct statvfs before, after;
    uint32_t sectors = 0, bytes = 0, freeClusters = 0, total = 0, error = 0;
    uint64_t toCaller = 0, capacity = 0, totalFree = 0;
    DiskFreeSpaceExFn extended = lookupDiskFreeSpaceEx();
    ASSERT_EQ(statvfs(root.c_str(), &before), 0);
    ASSERT_TRUE(getDiskFreeSpace("C:\\", &sectors, &bytes, &freeClusters, &total, &error));
    ASSERT_TRUE(extended != nullptr && extended("C:\\", &toCaller, &capacity, &totalFree, &error));
    ASSERT_EQ(statvfs(root.c_str(), &after), 0);
    ASSERT_LT(before.f_blocks, 0xFFFFFFFFu) << "a file system too large for the classic figures";
    uint64_t unit = before.f_frsize;
    EXPECT_EQ(std::vector<uint64_t>({bytes, sectors, total, capacity}),
              std::vector<uint64_t>({512, unit / 512, before.f_blocks, before.f_blocks * unit}));
    EXPECT_TRUE(between(freeClusters, before.f_bfree, after.f_bfree)) << freeClusters;
    EXPECT_TRUE(between(totalFree, before.f_bfree * unit, after.f_bfree * unit)) << totalFree;
    EXPECT_TRUE(between(toCaller, before.f_bavail * unit, after.f_bavail * unit)) << toCaller;
    EXPECT_FALSE(getDiskFreeSpace("Z:\\", &sectors, &bytes, &freeClusters, &total, &error) || error != 3u);
    error = 0;
    EXPECT_FALSE(extended("D:\\", &toCaller, &capacity, &totalFree, &error) || error != 3u);
}

// Found as directories are: an existing file is replaced, never a second spelling of it. A FIFO, a device,
// a directory, a kernel pseudo file or a link is as if no file were there, but for a link read that stays on
// its drive; a link in a folder of a path is followed only so, and never for a file written. Nothing blocks.
TEST(Files, OpenedThroughTheSameTranslationAndOnlyWhenRegular) {
    make({"Orvan/Folmar.ini=3", "odd/dir/", "victim=8"});
    ASSERT_EQ(mkfifo(native("odd/fifo").c_str(), 0644), 0);
    ASSERT_EQ(link(native("victim").c_str(), native("hard").c_str()), 0);
    const std::pair<const char *, std::string> links[] = {{"odd/link", native("victim")}, {"odd/zero", "/dev/zero"},
        {"odd/in", ".."}, {"odd/up", "./../victim"}, {"odd/tmp", "/tmp"}, {"odd/version", "/proc/version"}};
    for (const auto &l : links) ASSERT_EQ(symlink(l.second.c_str(), native(l.first).c_str()), 0);
    std::string viaTmp = "C:\\odd\\tmp" + root.substr(root.rfind('/')).replace(0, 1, "\\");  // off C, back in
    std::string onX = "X:" + root;
    std::replace(onX.begin(), onX.end(), '/', '\\');
    const struct { std::string path; const char *mode; bool opens; } cases[] = {
        {"c:\\ORVAN\\folmar.INI", "r", true}, {"C:\\orvan\\absent.ini", "r", false}, {"C:\\", "w", false},
        {"C:\\orvan.\\FOLMAR.INI ", "w", true}, {"C:\\orvan\\New.txt", "w", true}, {"C:\\orvan\\#x", "w", true},
        {"C:\\odd\\fifo", "r", false}, {"C:\\odd\\fifo", "w", false}, {"C:\\odd\\dir", "r", false},
        {"C:\\odd\\dir", "w", false}, {"C:\\odd\\link", "r", true}, {"C:\\odd\\link", "w", false},
        {"C:\\odd\\zero", "r", false}, {"C:\\odd\\zero", "w", false}, {"C:\\odd\\in\\victim", "r", true},
        {"C:\\odd\\up", "r", true}, {"C:\\odd\\in\\new.txt", "w", false}, {viaTmp + "\\victim", "r", false},
        {viaTmp + "\\new.txt", "w", false}, {"X:\\proc\\version", "r", false}, {onX + "\\odd\\version", "r", false},
        {"X:\\proc\\new.txt", "w", false}};
    alarm(20);  // a blocking open ends the test program instead of hanging it
    for (const auto &c : cases) EXPECT_EQ(opens(c.path, c.mode), c.opens) << c.path << " " << c.mode;
    alarm(0);
    EXPECT_EQ(list("C:\\Orvan\\*.*"), (Listing{".:0/", "Folmar.ini:0", "New.txt:0", "#x:0"}));  // no new file left
    EXPECT_EQ(list("C:\\victim"), (Listing{"victim:8"}));
    EXPECT_TRUE(isSameFile("C:\\hard", "c:\\odd\\in\\VICTIM") && !isSameFile("C:\\odd\\link", "C:\\victim"));
    // A report file and an export are made side by side. Where the file system makes no file without a name,
    // the report's new file has one in its folder, which the walk knows as its own there and nowhere else.
    posix::failSyscall(posix::sysOpenUnnamed, 1, EOPNOTSUPP);
    FILE *report = createReplacement("C:\\odd\\r.txt"), *exported = createReplacement("C:\\odd\\e.json");
    std::string named;
    for (const std::string &entry : list("C:\\odd\\*.*"))
        if (entry.rfind(".folmar-", 0) == 0) named += entry.substr(0, entry.find(':'));
    ASSERT_EQ(named.size(), 16u) << named;
    make({"odd/dir/" + named + "=1"});
    EXPECT_TRUE(isOwnNewFile("C:\\odd\\*.*", named.c_str()));
    EXPECT_FALSE(isOwnNewFile("C:\\odd\\dir\\*.*", named.c_str()) || isOwnNewFile("C:\\odd\\*.*", "r.txt"));
    EXPECT_TRUE(report && exported && commitReplacement(report) && commitReplacement(exported));
    EXPECT_EQ(list("C:\\odd\\*.*").count(named + ":0"), 0u);
}

// The shared settings file: the user's, else the system's, else the drive path; the first regular file, so a
// folder or a FIFO of that name is passed over without blocking. Sizes tell them apart.
TEST(Files, SharedSettingsFromTheUsersThenTheSystemsThenTheDrivePath) {
    make({"Orvan/Folmar.ini=4", "set/user.ini=1", "set/system.ini=2", "set/dir/"});
    ASSERT_EQ(mkfifo(native("set/fifo").c_str(), 0644), 0);
    const struct { const char *user, *system; uintmax_t size; } cases[] = {  // "": no place known
        {"set/none", "set/none", 4}, {"set/none", "set/system.ini", 2}, {"set/user.ini", "set/system.ini", 1},
        {"", "set/system.ini", 2}, {"set/fifo", "set/system.ini", 2}, {"set/dir", "set/fifo", 4}};
    alarm(20);  // a blocking open ends the test program instead of hanging it
    for (const auto &c : cases) {
        const std::vector<std::string> places = {c.user[0] ? native(c.user) : "", native(c.system)};
        FILE *file = posix::openSharedSettingsFrom(places, "C:\\orvan\\FOLMAR.ini", "r");
        ASSERT_NE(file, nullptr) << c.user;
        EXPECT_EQ(std::filesystem::file_size("/proc/self/fd/" + std::to_string(fileno(file))), c.size) << c.user;
        std::fclose(file);
    }
    alarm(0);
}

// To any depth while unchanged under its name (a grown file shows it); otherwise read afresh.
TEST(ReadAhead, WalkTakesWhatWasReadAheadUnlessItChanged) {
    make({"chg/gone/inner/g=5", "chg/replaced/x=5", "chg/changed/c=5", "chg/same/s=5", "chg/same/inner/t=5",
          "chg/one/a=1", "chg/one/inner/a=1", "chg/two/b=2", "chg/two/inner/b=2"});
    posix::ReadAheadCounts before = posix::readAheadCounts();
    FindData data;
    FindHandle chg = findFirstFile("C:\\chg\\*.*", &data, true);
    posix::readAheadSettle();
    ASSERT_EQ(posix::readAheadCounts().read - before.read, 10u);  // the six below chg and the four inner ones
    removeTree("chg/gone");
    removeTree("chg/replaced");
    make({"chg/replaced=77", "chg/changed/new=41"});
    for (const char *grown : {"chg/same/s", "chg/same/inner/t"})
        ASSERT_EQ(truncate(native(grown).c_str(), 55), 0);
    std::string one = native("chg/one"), two = native("chg/two");
    ASSERT_EQ(renameat2(AT_FDCWD, one.c_str(), AT_FDCWD, two.c_str(), RENAME_EXCHANGE), 0);
    Tree tree;  // chg as it was read, before the change, and each subdirectory as the walk enters it
    readTree("C:\\chg", &tree);
    findClose(chg);
    EXPECT_EQ(tree, (Tree{
        {"C:\\chg", {".:0/", "gone:0/", "replaced:0/", "changed:0/", "same:0/", "one:0/", "two:0/"}},
        {"C:\\chg\\changed", {".:0/", "c:5", "new:41"}},
        {"C:\\chg\\same", {".:0/", "inner:0/", "s:5"}}, {"C:\\chg\\same\\inner", {".:0/", "t:5"}},
        {"C:\\chg\\one", {".:0/", "inner:0/", "b:2"}}, {"C:\\chg\\one\\inner", {".:0/", "b:2"}},
        {"C:\\chg\\two", {".:0/", "inner:0/", "a:1"}}, {"C:\\chg\\two\\inner", {".:0/", "a:1"}}}));
    EXPECT_EQ(posix::readAheadCounts().rejected - before.rejected, 5u);  // gone, replaced, changed, one, two
}

// Dot-directories and names with a control character are read ahead; a name with a backslash or a link is
// not; paths past 259 characters are read ahead as the walk enters them.
TEST(ReadAhead, NeverReadsWhatTheWalkWouldNotEnter) {
    std::string d = "skip/" + std::string(125, 'd') + "/";
    make({"skip/plain/", "skip/.hidden/b/", "skip/c\x01/", "skip/b\\s/"});
    make({"skip/" + std::string(250, 'f') + "/", "skip/" + std::string(251, 'o') + "/"});
    make({d + std::string(124, 'e') + "/", d + std::string(125, 'x') + "/"});
    ASSERT_EQ(symlink("plain", native("skip/link").c_str()), 0);
    EXPECT_EQ(heldAhead("C:\\skip"), 9u);  // plain, .hidden, b, c\x01, the 250, the 251, the 125 and both below it
}

TEST(ReadAhead, WindowHoldsAtMostItsDirectoriesAndEntries) {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 64 + 16 + 256)
        GTEST_SKIP() << "the limit of open files leaves no room for a window of 256";
    make({"win/one=1"});
    for (int d = 0; d < 400; ++d) make({"win/many/d" + std::to_string(d) + "/"});
    for (int d = 0; d < 40; ++d) {
        std::string dir = "win/big/d" + std::to_string(d);
        make({dir + "/"});
        for (int f = 0; f < 1000; ++f)
            ASSERT_EQ(link(native("win/one").c_str(), native(dir + "/f" + std::to_string(f)).c_str()), 0);
    }
    EXPECT_EQ(heldAhead("C:\\win\\many"), 256u);
    // 32,768 entries are 33 directories of 1,001; threads that began before it filled may add theirs.
    uint64_t held = heldAhead("C:\\win\\big");
    EXPECT_TRUE(held >= 33 && held < 40) << held;
}

// The failures below end the read-ahead for the rest of the process: ctest
// runs each test in a process of its own.

// No thread can be started: nothing is read ahead, and the walk finds the tree itself.
TEST(Failures, ReadAheadWithoutAThreadReadsNothingAndTheWalkFindsTheSame) {
    make({"ts/a/x=1", "ts/b/y=2", "ts/b/c/z=3"});
    uint64_t before = posix::readAheadCounts().read;
    posix::failSyscall(posix::sysThreadStart, 1, EAGAIN);
    Tree tree;
    readTree("C:\\ts", &tree);
    posix::failSyscall(posix::sysThreadStart, 0, 0);
    EXPECT_EQ(tree, (Tree{{"C:\\ts", {".:0/", "a:0/", "b:0/"}}, {"C:\\ts\\a", {".:0/", "x:1"}},
                          {"C:\\ts\\b", {".:0/", "c:0/", "y:2"}}, {"C:\\ts\\b\\c", {".:0/", "z:3"}}}));
    EXPECT_EQ(posix::readAheadCounts().read - before, 0u);
    EXPECT_TRUE(posix::readAheadCounts().stopped);
}

// A large directory's memory cannot be mapped: the read-ahead stops for good, the walk reads it itself.
TEST(Failures, ReadAheadStopsWhenItsMemoryCannotBeMappedAndTheWalkReadsItself) {
    makeMany("big/a", manyFiles);
    make({"big/b/c/", "later/d/e/"});
    posix::failSyscall(posix::sysMmap, 1, ENOMEM);
    FindData data;
    FindHandle big = findFirstFile("C:\\big\\*.*", &data, true);
    posix::readAheadSettle();  // a was read ahead, or tried
    posix::failSyscall(posix::sysMmap, 0, 0);
    EXPECT_TRUE(posix::readAheadCounts().stopped);
    Tree tree;
    readTree("C:\\big", &tree);
    findClose(big);
    EXPECT_EQ(tree["C:\\big\\a"].size(), (size_t)manyFiles + 1);
    EXPECT_EQ(tree["C:\\big\\b"], (Listing{".:0/", "c:0/"}));
    EXPECT_EQ(heldAhead("C:\\later"), 0u);
}

// Entries that cannot be read (getdents fails) make no empty directory: the enumeration fails, saying why.
TEST(Failures, DirectoryWhoseEntriesCannotBeReadIsNotDeliveredEmpty) {
    posix::readAheadStop();
    make({"gd/x=1"});
    posix::failSyscall(posix::sysGetdents, 1, EIO);
    FindData data;
    FindHandle handle = findFirstFile("C:\\gd\\*.*", &data, true);
    posix::failSyscall(posix::sysGetdents, 0, 0);
    EXPECT_EQ(handle, invalidFindHandle);
    EXPECT_EQ(list("C:\\gd\\*.*"), (Listing{".:0/", "x:1"}));
}

// The walk's own read of a large directory runs short of memory: the enumeration is tried once more.
TEST(Failures, EnumerationIsTriedAgainWhenMemoryRanShort) {
    makeMany("mem", manyFiles);
    posix::failSyscall(posix::sysMmap, 1, ENOMEM);
    FindData data;
    FindHandle handle = findFirstFile("C:\\mem\\*.*", &data, true);
    posix::failSyscall(posix::sysMmap, 0, 0);
    EXPECT_EQ(drain(handle, &data).size(), (size_t)manyFiles + 1);
}

// Forty deep, the outer directories have given up their descriptors; one replaced under its
// name is not the one the walk comes back to: its subdirectory is not found, not read from the other.
TEST(Failures, OuterDirectoryReplacedWhileTheWalkIsDeepIsNotFoundAgain) {
    posix::readAheadStop();  // every directory the walk's own read
    std::string path = "deep", windows = "C:\\deep";
    for (int level = 0; level < 40; ++level) path += "/l" + std::to_string(level);
    make({path + "/", "deep/l0/l1/l2/s/old=1"});
    std::vector<FindHandle> handles;  // deep, l0, l1, l2, l3, ... as the walk holds them
    FindData data;
    for (int level = -1; level < 40; ++level) {
        if (level >= 0) windows += "\\l" + std::to_string(level);
        handles.push_back(findFirstFile((windows + "\\*.*").c_str(), &data, true));
        ASSERT_NE(handles.back(), invalidFindHandle) << windows;
    }
    ASSERT_EQ(rename(native("deep/l0/l1/l2").c_str(), native("deep/was-l2").c_str()), 0);
    make({"deep/l0/l1/l2/s/new=9"});
    while (handles.size() > 4) {  // back up to l2
        findClose(handles.back());
        handles.pop_back();
    }
    EXPECT_EQ(list("C:\\deep\\l0\\l1\\l2\\s\\*.*"), Listing{});
    EXPECT_EQ(getLastError(), (uint32_t)errorPathNotFound);
    for (FindHandle handle : handles) findClose(handle);
}
