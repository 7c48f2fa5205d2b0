// The POSIX emulation over a real temporary tree: enumeration served from
// what was read, children opened through their open parent, look-ups without
// regard to case, pseudo file systems, drive strings and types, disk space,
// the current directory and openFile(). FOLMAR_DRIVES is set before the first
// call of the process: C is a fresh directory, D a directory that does not
// exist, R the same as C but remote by its mapping, P is /proc and X is /.
#include "tests/posix/machine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

std::string root;

class PosixMachine : public ::testing::Environment {
public:
    void SetUp() override {
        const char *tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/folmar-posix-XXXXXX";
        ASSERT_NE(mkdtemp(&name[0]), nullptr);
        root = name;
        std::string mapping = "C=" + root + ";D=" + root + "/missing;R=" + root + ",remote;P=/proc;X=/";
        setenv("FOLMAR_DRIVES", mapping.c_str(), 1);
        struct rlimit limit;  // as the program does at start: the read-ahead's window needs room
        if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_NOFILE, &limit);
        }
    }
    void TearDown() override { removeTree(""); }
};
static ::testing::Environment *const machine = ::testing::AddGlobalTestEnvironment(new PosixMachine);

std::string native(const std::string &relative) { return root + "/" + relative; }

void makeDir(const std::string &relative) {
    ASSERT_EQ(mkdir(native(relative).c_str(), 0755), 0) << relative;
}

void makeFile(const std::string &relative, off_t size) {
    int fd = open(native(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << relative;
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
}

void removeTree(const std::string &relative) {
    std::string command = "rm -rf '" + native(relative) + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

Listing drain(FindHandle handle, FindData *data) {
    Listing names;
    if (handle == invalidFindHandle) return names;
    do {
        uint64_t size = ((uint64_t)data->nFileSizeHigh << 32) | data->nFileSizeLow;
        names.insert(std::string(data->cFileName) + ":" + std::to_string(size) +
                     ((data->attributes & fileAttributeDirectory) ? "/" : ""));
        EXPECT_STREQ(data->cAlternateFileName, "");
    } while (findNextFile(handle, data));
    findClose(handle);
    return names;
}

Listing list(const std::string &searchPath) {
    FindData data;
    return drain(findFirstFile(searchPath.c_str(), &data, true), &data);
}

TEST(Enumeration, DotFirstDirectoriesByBitLinksByTheirOwnSize) {
    makeDir("e");
    makeDir("e/sub");
    makeFile("e/five", 5);
    makeFile("e/.#", 2);  // two characters, the first a dot: an entry like any other
    ASSERT_EQ(symlink("sub", native("e/link").c_str()), 0);
    FindData data;
    FindHandle handle = findFirstFile("C:\\e\\*.*", &data, true);
    ASSERT_NE(handle, invalidFindHandle);
    EXPECT_STREQ(data.cFileName, ".");
    EXPECT_TRUE(data.attributes & fileAttributeDirectory);
    EXPECT_EQ(drain(handle, &data), (Listing{".:0/", "sub:0/", "five:5", ".#:2", "link:3"}));
    EXPECT_EQ(list("C:\\e\\sub\\*.*"), (Listing{".:0/"}));
    // A link named in the path itself is followed: the user asked for it.
    EXPECT_EQ(list("C:\\e\\link\\*.*"), (Listing{".:0/"}));
    EXPECT_TRUE(list("C:\\e\\five\\*.*").empty());
}

TEST(Enumeration, SecondEnumerationWhileOpenIsServedFromWhatWasRead) {
    makeDir("once");
    makeFile("once/kept", 1);
    makeFile("once/gone", 2);
    FindData first;
    FindHandle outer = findFirstFile("C:\\once\\*.*", &first, true);
    ASSERT_NE(outer, invalidFindHandle);
    ASSERT_EQ(unlink(native("once/gone").c_str()), 0);
    makeFile("once/new", 3);
    EXPECT_EQ(list("C:\\once\\*.*"), (Listing{".:0/", "kept:1", "gone:2"}));  // as read
    findClose(outer);
    EXPECT_EQ(list("C:\\once\\*.*"), (Listing{".:0/", "kept:1", "new:3"}));
}

TEST(Enumeration, ChildIsOpenedThroughItsOpenParent) {
    makeDir("p");
    makeDir("p/child");
    makeFile("p/child/f", 4);
    FindData data;
    FindHandle parent = findFirstFile("C:\\p\\*.*", &data, true);
    ASSERT_NE(parent, invalidFindHandle);
    // The parent's path no longer leads there, its descriptor still does.
    ASSERT_EQ(rename(native("p").c_str(), native("q").c_str()), 0);
    EXPECT_EQ(list("C:\\p\\child\\*.*"), (Listing{".:0/", "f:4"}));
    findClose(parent);
    EXPECT_TRUE(list("C:\\p\\child\\*.*").empty());
}

// The exact name first, else the first in byte order that matches without
// regard to case, else the name without its trailing dots and blanks; by
// path and through an open parent alike.
TEST(Enumeration, NamesMatchExactlyFirstThenFirstInByteOrder) {
    makeDir("ci");
    for (const char *dir : {"ci/sub", "ci/Sub", "ci/SUb"}) makeDir(dir);
    makeFile("ci/SUb/one", 1);
    makeFile("ci/Sub/two", 2);
    makeFile("ci/sub/three", 3);
    const struct { const char *path, *found; } cases[] = {
        {"C:\\ci\\SUB\\*.*", "one:1"}, {"C:\\CI\\sUB\\*.*", "one:1"}, {"C:\\ci\\Sub\\*.*", "two:2"},
        {"C:\\ci\\sub. \\*.*", "three:3"}, {"C:\\ci.\\SUB.\\*.*", "one:1"}};
    for (bool parentOpen : {false, true}) {
        FindData data;
        FindHandle parent = parentOpen ? findFirstFile("C:\\ci\\*.*", &data, true) : invalidFindHandle;
        for (const auto &c : cases) EXPECT_EQ(list(c.path).count(c.found), 1u) << c.path << parentOpen;
        if (parentOpen) findClose(parent);
    }
}

TEST(Enumeration, SearchPathWithoutPatternGivesThatEntry) {
    makeDir("one");
    makeFile("one/File.txt", 7);
    EXPECT_EQ(list("C:\\ONE\\file.TXT"), (Listing{"File.txt:7"}));
    EXPECT_TRUE(list("C:\\one\\absent").empty());
}

TEST(Enumeration, BadHandlesAndOverlongPathsFailCleanly) {
    FindData data;
    EXPECT_FALSE(findNextFile(invalidFindHandle, &data));
    EXPECT_FALSE(findNextFile(12345, &data));
    findClose(12345);
    for (std::string path : {"C:\\" + std::string(600, 'a') + "\\*.*", std::string("Q:\\*.*"),
                             std::string("C:\\trailing\\")}) {
        EXPECT_EQ(findFirstFile(path.c_str(), &data, true), invalidFindHandle) << path;
        EXPECT_EQ(getLastError(), 3u) << path;
    }
}

// /proc is a drive's root (P) and a mount point inside a real directory (X
// is /): denied either way, also while / is open and its subdirectories are
// being read ahead.
TEST(Enumeration, PseudoFileSystemsCannotBeOpened) {
    struct statfs fs;
    if (statfs("/proc", &fs) != 0 || fs.f_type != 0x9fa0) GTEST_SKIP() << "/proc is no proc mount here";
    FindData data;
    for (const char *path : {"P:\\*.*", "P:\\self\\*.*", "X:\\proc\\*.*"}) {
        EXPECT_EQ(findFirstFile(path, &data, true), invalidFindHandle) << path;
        EXPECT_EQ(getLastError(), 5u) << path;
    }
    FindHandle slash = findFirstFile("X:\\*.*", &data, true);
    ASSERT_NE(slash, invalidFindHandle);
    EXPECT_EQ(findFirstFile("X:\\proc\\*.*", &data, true), invalidFindHandle);
    EXPECT_EQ(getLastError(), 5u);
    findClose(slash);
}

TEST(Drives, StringsInLetterOrderWithTheTooSmallRule) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(getLogicalDriveStrings(20, buffer), 21u);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(getLogicalDriveStrings(21, buffer), 20u);
    EXPECT_EQ(std::string(buffer, 21), std::string("C:\\\0D:\\\0P:\\\0R:\\\0X:\\\0\0", 21));
}

TEST(Drives, TypesFromMappingFileSystemOrAbsence) {
    const struct { const char *root; uint32_t type; } cases[] = {
        {"R:\\", driveRemote}, {"d:\\", driveNoRootDir}, {"Z:\\", driveNoRootDir},
        {"nonsense", driveNoRootDir}, {"C:\\", driveFixed}, {"P:\\", driveFixed}};
    for (const auto &c : cases) EXPECT_EQ(getDriveType(c.root), c.type) << c.root;
}

// The figures are statvfs's of the drive's directory; the free ones move
// while others write, so they are checked against readings before and after.
TEST(DiskSpace, FiguresFromStatvfsAndWindowsErrorCodes) {
    struct statvfs before, after;
    uint32_t sectors = 0, bytes = 0, freeClusters = 0, total = 0, error = 0;
    uint64_t toCaller = 0, capacity = 0, totalFree = 0;
    DiskFreeSpaceExFn extended = lookupDiskFreeSpaceEx();
    ASSERT_NE(extended, nullptr);
    ASSERT_EQ(statvfs(root.c_str(), &before), 0);
    ASSERT_TRUE(getDiskFreeSpace("C:\\", &sectors, &bytes, &freeClusters, &total, &error));
    ASSERT_TRUE(extended("C:\\", &toCaller, &capacity, &totalFree, &error));
    ASSERT_EQ(statvfs(root.c_str(), &after), 0);
    ASSERT_LT(before.f_blocks, 0xFFFFFFFFu) << "a file system too large for the classic figures";
    uint64_t unit = before.f_frsize;
    EXPECT_EQ(bytes, 512u);
    EXPECT_EQ(sectors, unit / 512);
    EXPECT_EQ(total, before.f_blocks);
    EXPECT_EQ(capacity, before.f_blocks * unit);
    auto between = [](uint64_t got, uint64_t a, uint64_t b) { return got >= std::min(a, b) && got <= std::max(a, b); };
    EXPECT_TRUE(between(freeClusters, before.f_bfree, after.f_bfree)) << freeClusters;
    EXPECT_TRUE(between(totalFree, before.f_bfree * unit, after.f_bfree * unit)) << totalFree;
    EXPECT_TRUE(between(toCaller, before.f_bavail * unit, after.f_bavail * unit)) << toCaller;
    EXPECT_FALSE(getDiskFreeSpace("Z:\\", &sectors, &bytes, &freeClusters, &total, &error));
    EXPECT_EQ(error, 3u);
    error = 0;
    EXPECT_FALSE(extended("D:\\", &toCaller, &capacity, &totalFree, &error));
    EXPECT_EQ(error, 3u);
}

// The longest drive directory names the drive; a buffer too small gets the
// size it needs and the text cut at a character.
TEST(CurrentDirectory, WindowsFormOnTheLongestDriveDirectory) {
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    makeDir("W\xc3\xa9rk");
    char buffer[260];
    ASSERT_EQ(chdir(native("W\xc3\xa9rk").c_str()), 0);
    EXPECT_EQ(getCurrentDirectory(sizeof buffer, buffer), 8u);
    EXPECT_STREQ(buffer, "C:\\W\xc3\xa9rk");
    EXPECT_EQ(getCurrentDirectory(6, buffer), 9u);
    EXPECT_STREQ(buffer, "C:\\W");
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(getCurrentDirectory(sizeof buffer, buffer), 3u);
    EXPECT_STREQ(buffer, "X:\\");
    ASSERT_EQ(chdir(saved), 0);
}

TEST(Files, OpenedThroughTheSameTranslation) {
    makeDir("Orvan");
    makeFile("Orvan/Folmar.ini", 3);
    FILE *file = openFile("c:\\ORVAN\\folmar.INI", "r");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(openFile("C:\\orvan\\absent.ini", "r"), nullptr);
    for (const char *path : {"C:\\orvan.\\FOLMAR.INI ", "C:\\orvan\\New.txt", "C:\\orvan\\#x"}) {
        file = openFile(path, "w");  // an existing file is the one written, not a second one
        ASSERT_NE(file, nullptr) << path;
        std::fclose(file);
    }
    struct stat st;
    EXPECT_EQ(stat(native("Orvan/Folmar.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    for (const char *name : {"New.txt", "#x"}) EXPECT_EQ(stat(native(std::string("Orvan/") + name).c_str(), &st), 0) << name;
    EXPECT_EQ(stat(native("Orvan/FOLMAR.INI").c_str(), &st), -1);
    EXPECT_EQ(openFile("C:\\", "w"), nullptr);
}

// Settings and report files are regular files: a FIFO, a device or a
// directory of that name is as if none were there, opening never blocks,
// and nothing is written through a link.
TEST(Files, OnlyRegularFilesAreOpenedAndNeverThroughALink) {
    makeDir("odd");
    makeFile("victim", 8);
    ASSERT_EQ(mkfifo(native("odd/fifo").c_str(), 0644), 0);
    makeDir("odd/dir");
    ASSERT_EQ(symlink(native("victim").c_str(), native("odd/link").c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", native("odd/zero").c_str()), 0);
    alarm(20);  // a blocking open ends the test program instead of hanging it
    for (const char *name : {"fifo", "dir", "link", "zero"}) {
        std::string path = std::string("C:\\odd\\") + name;
        EXPECT_EQ(openFile(path.c_str(), "w"), nullptr) << name;
        if (std::strcmp(name, "link") != 0) {  // reading through a link is allowed
            EXPECT_EQ(openFile(path.c_str(), "r"), nullptr) << name;
        }
    }
    alarm(0);
    struct stat st;
    EXPECT_EQ(stat(native("victim").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 8);
}
