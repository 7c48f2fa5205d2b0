// The machine-free rules of the POSIX emulation: the FOLMAR_DRIVES text, the
// one spelling of a Windows path, Windows names, the Windows form of a
// working directory, mountinfo lines, drive types from file systems, and the
// integer read from standard input.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/posix/posix.h"

using namespace posix;

static std::string keyOf(const char *path, const char *currentDir, bool *onDrive = nullptr) {
    PathKey key;
    if (!makePathKey(path, currentDir, &key)) return "<invalid>";
    if (onDrive != nullptr) *onDrive = key.onDrive;
    return key.text;
}

TEST(DriveMapping, LettersAnyCaseTypesAndTrailingSlashes) {
    DriveMap map = {};
    std::vector<std::string> malformed;
    parseDriveMapping("c=/srv/c/; D=/mnt/nas,remote ;E=/media/cd,CDROM;;", &map, &malformed);
    EXPECT_TRUE(malformed.empty());
    EXPECT_EQ(map.dir[2], "/srv/c");
    EXPECT_EQ(map.type[2], 0u);
    EXPECT_EQ(map.dir[3], "/mnt/nas");
    EXPECT_EQ(map.type[3], (uint32_t)driveRemote);
    EXPECT_EQ(map.type[4], (uint32_t)driveCdrom);
    EXPECT_FALSE(map.mapped[5]);
}

TEST(DriveMapping, MalformedEntriesAreNamedAndTheRestKept) {
    DriveMap map = {};
    std::vector<std::string> malformed;
    parseDriveMapping("junk;CC=/x;D=relative;E=/x,floppy;=/y;F=/f;f=/again;G=", &map, &malformed);
    EXPECT_EQ(malformed, (std::vector<std::string>{"junk", "CC=/x", "D=relative", "E=/x,floppy",
                                                    "=/y", "f=/again", "G="}));
    EXPECT_EQ(map.dir[5], "/f");
    for (int i : {2, 3, 4, 6}) EXPECT_FALSE(map.mapped[i]) << i;
}

TEST(PathKey, DrivePathsHaveOneSpellingAndDotDotStopsAtTheRoot) {
    EXPECT_EQ(keyOf("c:\\", ""), "C:");
    EXPECT_EQ(keyOf("C:\\\\Home\\\\ann\\", ""), "C:\\Home\\ann");
    EXPECT_EQ(keyOf("C:/a/./b/../c", ""), "C:\\a\\c");
    EXPECT_EQ(keyOf("C:\\..\\..\\x", ""), "C:\\x");
    EXPECT_EQ(keyOf("1:\\..\\etc", "C:\\x"), "<invalid>");  // no drive at all
    EXPECT_EQ(keyOf("C:\\a\x01" "b", ""), "<invalid>");
    EXPECT_EQ(keyOf("a\nb", ""), "<invalid>");
}

TEST(PathKey, PathsPlacedByTheCurrentDirectory) {
    EXPECT_EQ(keyOf("\\work", "D:\\x\\y"), "D:\\work");
    EXPECT_EQ(keyOf("C:sub", "C:\\x"), "C:\\x\\sub");
    EXPECT_EQ(keyOf("C:sub", "D:\\x"), "C:\\sub");
    EXPECT_EQ(keyOf("\\work", ""), "<invalid>");
    // A relative path is placed on the working directory's drive, and ".."
    // climbs no higher than its root; off every drive, no higher than the
    // working directory itself.
    bool onDrive = false;
    EXPECT_EQ(keyOf("a\\..\\..\\..\\b", "C:\\x", &onDrive), "C:\\b");
    EXPECT_TRUE(onDrive);
    EXPECT_EQ(keyOf("..\\..\\b", "", &onDrive), "b");
    EXPECT_FALSE(onDrive);
}

TEST(PathKey, ComponentsAreWalkedInOrder) {
    PathKey key;
    ASSERT_TRUE(makePathKey("C:\\one\\two", "", &key));
    size_t first = firstComponent(key);
    EXPECT_EQ(key.text.substr(first, 3), "one");
    EXPECT_EQ(key.text.substr(nextComponent(key, first)), "two");
    ASSERT_TRUE(makePathKey("C:\\", "", &key));
    EXPECT_EQ(firstComponent(key), key.text.size());
}

TEST(Names, TrailingDotsAndBlanksAreDroppedAsOnWindows) {
    const struct { const char *name, *trimmed; } cases[] = {
        {"a.", "a"}, {"a ", "a"}, {"a. .", "a"}, {"a.b", nullptr}, {"a", nullptr}, {"...", nullptr}};
    for (const auto &c : cases) {
        std::string trimmed = "unset";
        EXPECT_EQ(trimmedWindowsName(c.name, &trimmed), c.trimmed != nullptr) << c.name;
        EXPECT_EQ(trimmed, c.trimmed != nullptr ? c.trimmed : "unset") << c.name;
    }
}

TEST(Names, BackslashAndControlCharactersAreUnsafe) {
    EXPECT_FALSE(isUnsafeName("plain name.txt"));
    EXPECT_FALSE(isUnsafeName("caf\xe9?*"));
    EXPECT_TRUE(isUnsafeName("a\\b"));
    EXPECT_TRUE(isUnsafeName("a\x7f"));
    EXPECT_TRUE(isUnsafeName("\x1b[2J"));
    EXPECT_EQ(safeNameByte('\t'), '?');
    EXPECT_TRUE(equalNoCase("FoLMar.INI", "folmar.ini"));
    EXPECT_FALSE(equalNoCase("folmar.ini", "folmar.in"));
}

TEST(Names, RootPathsNameOneDriveOrNone) {
    const struct { const char *path; char letter; } cases[] = {
        {"d:\\", 'D'}, {"C:", 'C'}, {"C:/", 'C'}, {"D:\\x", 0}, {"C:x", 0}, {"1:\\", 0}};
    for (const auto &c : cases) EXPECT_EQ(rootPathLetter(c.path), c.letter) << c.path;
}

TEST(WindowsForm, LongestDriveDirectoryWins) {
    DriveMap map = {};
    for (int i : {0, 2, 3}) map.mapped[i] = true;
    map.dir[0] = "/srv/a";
    map.dir[2] = "/";
    map.dir[3] = "/srv/d";
    const struct { const char *native, *windows; } cases[] = {
        {"/srv/d/x/y", "D:\\x\\y"}, {"/srv/d", "D:\\"}, {"/srv/dd", "C:\\srv\\dd"},
        {"/", "C:\\"}, {"/srv/a/caf\xc3\xa9", "A:\\caf\xc3\xa9"}};
    for (const auto &c : cases) {
        std::string text;
        EXPECT_TRUE(windowsFormOf(c.native, map, &text)) << c.native;
        EXPECT_EQ(text, c.windows);
    }
}

TEST(WindowsForm, NoDriveOrAnUnsafeNameIsNoWindowsPath) {
    DriveMap map = {};
    map.mapped[2] = true;
    map.dir[2] = "/srv/c";
    std::string text;
    EXPECT_FALSE(windowsFormOf("/srv", map, &text));
    EXPECT_FALSE(windowsFormOf("/srv/c/a\\b", map, &text));
    EXPECT_FALSE(windowsFormOf("/srv/c/tab\there", map, &text));
}

TEST(MountInfo, FieldsAfterOptionalOnesAndEscapes) {
    Mount mount;
    ASSERT_TRUE(parseMountInfoLine(
        "36 35 98:0 / /mnt/my\\040disk\\134x rw,noatime master:1 shared:2 - fuse.sshfs host:/x rw\n",
        &mount));
    EXPECT_EQ(mount.path, "/mnt/my disk\\x");
    EXPECT_EQ(mount.type, "fuse.sshfs");
    ASSERT_TRUE(parseMountInfoLine("21 26 0:20 / /mnt/end\\040 rw,relatime - proc proc rw", &mount));
    EXPECT_EQ(mount.path, "/mnt/end ");
    EXPECT_EQ(mount.type, "proc");
    EXPECT_FALSE(parseMountInfoLine("garbage line", &mount));
}

TEST(FileSystems, PseudoRemoteAndCdrom) {
    for (const char *type : {"proc", "cgroup2", "devtmpfs", "binfmt_misc"})
        EXPECT_TRUE(isPseudoFileSystem(type)) << type;
    for (const char *type : {"tmpfs", "ext4", "overlay"}) EXPECT_FALSE(isPseudoFileSystem(type)) << type;
    const struct { uint64_t magic; const char *mountType; uint32_t type; } cases[] = {
        {0x6969, "nfs4", driveRemote},           {0xFF534D42, "cifs", driveRemote},
        {0x564C, "ncpfs", driveRemote},          {0x65735546, "fuse.sshfs", driveRemote},
        {0x65735546, "fuse.ntfs-3g", driveFixed}, {0x9660, "iso9660", driveCdrom},
        {0x15013346, "udf", driveCdrom},         {0xEF53, "ext4", driveFixed}};
    for (const auto &c : cases)
        EXPECT_EQ(driveTypeOfFileSystem(c.magic, c.mountType), c.type) << c.mountType;
}

// As scanf("%d"): blanks skipped, a sign, digits; what follows stays unread,
// and no number leaves the value as it was.
TEST(StandardInput, IntegersAsScanfReadsThem) {
    FILE *input = std::tmpfile();
    ASSERT_NE(input, nullptr);
    std::fputs("  +3\n-17x 99999999999", input);
    std::rewind(input);
    FILE *saved = stdin;
    stdin = input;
    int value = 5;
    readIntegerFromStdin(&value);
    EXPECT_EQ(value, 3);
    readIntegerFromStdin(&value);
    EXPECT_EQ(value, -17);
    readIntegerFromStdin(&value);
    EXPECT_EQ(value, -17);  // "x" is no number
    EXPECT_EQ(std::getchar(), 'x');
    readIntegerFromStdin(&value);
    EXPECT_EQ(value, 2147483647);
    stdin = saved;
    std::fclose(input);
}
