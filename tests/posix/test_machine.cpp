// The POSIX emulation over a real temporary tree: enumeration served from
// what was read, children opened through their open parent, look-ups without
// regard to case, drive strings and types, disk space, the current directory
// and openFile(). FOLMAR_DRIVES is set before the first call of the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/platform.h"

static std::string root;  // drive C

static void makeFile(const std::string &path, size_t size) {
    std::ofstream(root + "/" + path) << std::string(size, 'x');
}

// C is a fresh directory, D is mapped to a directory that does not exist, R is
// a remote drive by its mapping.
class PosixMachine : public ::testing::Environment {
public:
    void SetUp() override {
        char name[] = "/tmp/folmar-posix-XXXXXX";
        root = mkdtemp(name);
        std::string mapping = "C=" + root + ";D=" + root + "/missing;R=" + root + ",remote";
        setenv("FOLMAR_DRIVES", mapping.c_str(), 1);
    }
    void TearDown() override {
        std::string command = "rm -rf '" + root + "'";
        if (std::system(command.c_str()) != 0) std::perror("cleanup");
    }
};
static ::testing::Environment *const machine = ::testing::AddGlobalTestEnvironment(new PosixMachine);

// Every entry of an enumeration that is open as `handle`, "name:size/" for
// directories and "name:size" for the rest; the handle is closed.
static std::set<std::string> drain(FindHandle handle, FindData *data) {
    std::set<std::string> names;
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

static std::set<std::string> list(const char *searchPath) {
    FindData data;
    return drain(findFirstFile(searchPath, &data, true), &data);
}

TEST(Enumeration, DotFirstDirectoriesByBitLinksByTheirOwnSize) {
    mkdir((root + "/e").c_str(), 0755);
    mkdir((root + "/e/sub").c_str(), 0755);
    makeFile("e/five", 5);
    symlink("sub", (root + "/e/link").c_str());
    FindData data;
    FindHandle handle = findFirstFile("C:\\e\\*.*", &data, true);
    ASSERT_NE(handle, invalidFindHandle);
    EXPECT_STREQ(data.cFileName, ".");
    EXPECT_TRUE(data.attributes & fileAttributeDirectory);
    EXPECT_EQ(drain(handle, &data), (std::set<std::string>{".:0/", "sub:0/", "five:5", "link:3"}));
    EXPECT_EQ(list("C:\\e\\sub\\*.*"), (std::set<std::string>{".:0/"}));
    // A link named in the path itself is followed: the user asked for it.
    EXPECT_EQ(list("C:\\e\\link\\*.*"), (std::set<std::string>{".:0/"}));
    EXPECT_TRUE(list("C:\\e\\five\\*.*").empty());
}

TEST(Enumeration, SecondEnumerationWhileOpenIsServedFromWhatWasRead) {
    mkdir((root + "/once").c_str(), 0755);
    makeFile("once/kept", 1);
    makeFile("once/gone", 2);
    FindData first, second;
    FindHandle outer = findFirstFile("C:\\once\\*.*", &first, true);
    ASSERT_NE(outer, invalidFindHandle);
    unlink((root + "/once/gone").c_str());
    makeFile("once/new", 3);
    // Listed as read, sizes too: "gone" is there, "new" is not.
    std::set<std::string> inner = drain(findFirstFile("C:\\once\\*.*", &second, true), &second);
    EXPECT_EQ(inner.count("kept:1"), 1u);
    EXPECT_EQ(inner.count("gone:2"), 1u);
    EXPECT_EQ(inner.count("new:3"), 0u);
    findClose(outer);
    EXPECT_EQ(list("C:\\once\\*.*"), (std::set<std::string>{".:0/", "kept:1", "new:3"}));
}

TEST(Enumeration, ChildIsOpenedThroughItsOpenParent) {
    mkdir((root + "/p").c_str(), 0755);
    mkdir((root + "/p/child").c_str(), 0755);
    makeFile("p/child/f", 4);
    FindData data;
    FindHandle parent = findFirstFile("C:\\p\\*.*", &data, true);
    ASSERT_NE(parent, invalidFindHandle);
    // The parent's path no longer leads there, its descriptor still does.
    ASSERT_EQ(rename((root + "/p").c_str(), (root + "/q").c_str()), 0);
    EXPECT_EQ(list("C:\\p\\child\\*.*"), (std::set<std::string>{".:0/", "f:4"}));
    findClose(parent);
    EXPECT_TRUE(list("C:\\p\\child\\*.*").empty());
}

TEST(Enumeration, NamesMatchExactlyFirstThenFirstInByteOrder) {
    mkdir((root + "/ci").c_str(), 0755);
    for (const char *dir : {"ci/sub", "ci/Sub", "ci/SUb"}) mkdir((root + "/" + dir).c_str(), 0755);
    makeFile("ci/SUb/one", 1);
    makeFile("ci/Sub/two", 2);
    makeFile("ci/sub/three", 3);
    for (bool parentOpen : {false, true}) {
        FindData data;
        FindHandle parent = parentOpen ? findFirstFile("C:\\ci\\*.*", &data, true) : invalidFindHandle;
        EXPECT_EQ(list("C:\\ci\\SUB\\*.*").count("one:1"), 1u) << parentOpen;
        EXPECT_EQ(list("C:\\CI\\sUB\\*.*").count("one:1"), 1u) << parentOpen;
        EXPECT_EQ(list("C:\\ci\\Sub\\*.*").count("two:2"), 1u) << parentOpen;
        if (parentOpen) findClose(parent);
    }
}

TEST(Enumeration, SearchPathWithoutPatternGivesThatEntry) {
    mkdir((root + "/one").c_str(), 0755);
    makeFile("one/File.txt", 7);
    EXPECT_EQ(list("C:\\ONE\\file.TXT"), (std::set<std::string>{"File.txt:7"}));
    EXPECT_TRUE(list("C:\\one\\absent").empty());
}

TEST(Enumeration, BadHandlesAndOverlongPathsFailCleanly) {
    FindData data;
    EXPECT_FALSE(findNextFile(invalidFindHandle, &data));
    EXPECT_FALSE(findNextFile(12345, &data));
    findClose(12345);
    std::string longPath = "C:\\" + std::string(600, 'a') + "\\*.*";
    EXPECT_EQ(findFirstFile(longPath.c_str(), &data, true), invalidFindHandle);
    EXPECT_EQ(findFirstFile("Q:\\*.*", &data, true), invalidFindHandle);
    EXPECT_EQ(findFirstFile("C:\\trailing\\", &data, true), invalidFindHandle);
}

TEST(Drives, StringsInLetterOrderWithTheTooSmallRule) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(getLogicalDriveStrings(12, buffer), 13u);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(getLogicalDriveStrings(13, buffer), 12u);
    EXPECT_EQ(std::string(buffer, 13), std::string("C:\\\0D:\\\0R:\\\0\0", 13));
}

TEST(Drives, TypesFromMappingFileSystemOrAbsence) {
    EXPECT_EQ(getDriveType("R:\\"), (uint32_t)driveRemote);
    EXPECT_EQ(getDriveType("d:\\"), (uint32_t)driveNoRootDir);
    EXPECT_EQ(getDriveType("Z:\\"), (uint32_t)driveNoRootDir);
    EXPECT_EQ(getDriveType("nonsense"), (uint32_t)driveNoRootDir);
    uint32_t c = getDriveType("C:\\");
    EXPECT_TRUE(c == driveFixed || c == driveRemote) << c;
}

TEST(DiskSpace, FiguresFromStatvfsAndWindowsErrorCodes) {
    struct statvfs fs;
    ASSERT_EQ(statvfs(root.c_str(), &fs), 0);
    uint32_t sectors = 0, bytes = 0, freeClusters = 0, total = 0, error = 0;
    ASSERT_TRUE(getDiskFreeSpace("C:\\", &sectors, &bytes, &freeClusters, &total, &error));
    EXPECT_EQ(bytes, 512u);
    EXPECT_EQ(sectors, fs.f_frsize / 512);
    EXPECT_EQ(total, fs.f_blocks > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)fs.f_blocks);
    DiskFreeSpaceExFn extended = lookupDiskFreeSpaceEx();
    ASSERT_NE(extended, nullptr);
    uint64_t toCaller = 0, totalBytes = 0, totalFree = 0;
    ASSERT_TRUE(extended("C:\\", &toCaller, &totalBytes, &totalFree, &error));
    EXPECT_EQ(totalBytes, (uint64_t)fs.f_blocks * fs.f_frsize);
    EXPECT_FALSE(getDiskFreeSpace("Z:\\", &sectors, &bytes, &freeClusters, &total, &error));
    EXPECT_EQ(error, 3u);
    EXPECT_FALSE(extended("D:\\", &toCaller, &totalBytes, &totalFree, &error));
    EXPECT_EQ(error, 3u);
}

TEST(CurrentDirectory, WindowsFormOrTheNativeTextOffAnyDrive) {
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    mkdir((root + "/Work").c_str(), 0755);
    char buffer[260];
    ASSERT_EQ(chdir((root + "/Work").c_str()), 0);
    EXPECT_TRUE(getCurrentDirectory(sizeof buffer, buffer));
    EXPECT_STREQ(buffer, "C:\\Work");
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_FALSE(getCurrentDirectory(sizeof buffer, buffer));
    EXPECT_STREQ(buffer, "/");
    ASSERT_EQ(chdir(saved), 0);
}

TEST(Files, OpenedThroughTheSameTranslation) {
    mkdir((root + "/Orvan").c_str(), 0755);
    makeFile("Orvan/Folmar.ini", 3);
    FILE *file = openFile("c:\\ORVAN\\folmar.INI", "r");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(openFile("C:\\orvan\\absent.ini", "r"), nullptr);
    file = openFile("C:\\orvan\\FOLMAR.INI", "w+");  // the existing file, not a second one
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    file = openFile("C:\\orvan\\New.txt", "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    struct stat st;
    EXPECT_EQ(stat((root + "/Orvan/Folmar.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(stat((root + "/Orvan/FOLMAR.INI").c_str(), &st), -1);
    EXPECT_EQ(stat((root + "/Orvan/New.txt").c_str(), &st), 0);
    EXPECT_EQ(openFile("C:\\", "w"), nullptr);
}
