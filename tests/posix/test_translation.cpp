// The machine-free rules of the POSIX emulation: the FOLMAR_DRIVES text, the
// one spelling of a Windows path, the Windows form of a working directory,
// mountinfo lines, drive types from file systems and unsafe names.
#include <gtest/gtest.h>

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

TEST(PathKey, DrivePathsHaveOneSpelling) {
    EXPECT_EQ(keyOf("c:\\", ""), "C:");
    EXPECT_EQ(keyOf("C:\\\\Home\\\\ann\\", ""), "C:\\Home\\ann");
    EXPECT_EQ(keyOf("C:/a/./b/../c", ""), "C:\\a\\c");
    EXPECT_EQ(keyOf("C:\\..\\..\\x", ""), "C:\\x");
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
    EXPECT_EQ(keyOf("1:\\..\\etc", "C:\\x"), "<invalid>");
}

TEST(PathKey, ControlCharactersNameNothing) {
    EXPECT_EQ(keyOf("C:\\a\x01" "b", ""), "<invalid>");
    EXPECT_EQ(keyOf("a\nb", ""), "<invalid>");
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

TEST(WindowsForm, LongestDriveDirectoryWins) {
    DriveMap map = {};
    map.mapped[2] = true;
    map.dir[2] = "/";
    map.mapped[3] = true;
    map.dir[3] = "/srv/d";
    std::string text;
    ASSERT_TRUE(windowsFormOf("/srv/d/x/y", map, &text));
    EXPECT_EQ(text, "D:\\x\\y");
    ASSERT_TRUE(windowsFormOf("/srv/d", map, &text));
    EXPECT_EQ(text, "D:\\");
    ASSERT_TRUE(windowsFormOf("/srv/dd", map, &text));  // not inside /srv/d
    EXPECT_EQ(text, "C:\\srv\\dd");
    ASSERT_TRUE(windowsFormOf("/", map, &text));
    EXPECT_EQ(text, "C:\\");
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
        "36 35 98:0 / /mnt/my\\040disk rw,noatime master:1 shared:2 - fuse.sshfs host:/x rw\n",
        &mount));
    EXPECT_EQ(mount.path, "/mnt/my disk");
    EXPECT_EQ(mount.type, "fuse.sshfs");
    ASSERT_TRUE(parseMountInfoLine("21 26 0:20 / /proc rw,relatime - proc proc rw", &mount));
    EXPECT_EQ(mount.type, "proc");
    EXPECT_FALSE(parseMountInfoLine("garbage line", &mount));
}

TEST(FileSystems, PseudoRemoteAndCdrom) {
    EXPECT_TRUE(isPseudoFileSystem("cgroup2"));
    EXPECT_TRUE(isPseudoFileSystem("devtmpfs"));
    EXPECT_FALSE(isPseudoFileSystem("tmpfs"));
    EXPECT_EQ(driveTypeOfFileSystem(0x6969, "nfs4"), (uint32_t)driveRemote);
    EXPECT_EQ(driveTypeOfFileSystem(0xFF534D42, "cifs"), (uint32_t)driveRemote);
    EXPECT_EQ(driveTypeOfFileSystem(0x65735546, "fuse.sshfs"), (uint32_t)driveRemote);
    EXPECT_EQ(driveTypeOfFileSystem(0x65735546, "fuse.ntfs-3g"), (uint32_t)driveFixed);
    EXPECT_EQ(driveTypeOfFileSystem(0x9660, "iso9660"), (uint32_t)driveCdrom);
    EXPECT_EQ(driveTypeOfFileSystem(0xEF53, "ext4"), (uint32_t)driveFixed);
}

TEST(Names, BackslashAndControlCharactersAreUnsafe) {
    EXPECT_FALSE(isUnsafeName("plain name.txt"));
    EXPECT_FALSE(isUnsafeName("caf\xe9?*"));
    EXPECT_TRUE(isUnsafeName("a\\b"));
    EXPECT_TRUE(isUnsafeName("a\x7f"));
    EXPECT_TRUE(isUnsafeName("\x1b[2J"));
    EXPECT_EQ(safeNameByte('\t'), '?');
    EXPECT_EQ(rootPathLetter("d:\\"), 'D');
    EXPECT_EQ(rootPathLetter("D:\\x"), 0);
    EXPECT_TRUE(equalNoCase("FoLMar.INI", "folmar.ini"));
    EXPECT_FALSE(equalNoCase("folmar.ini", "folmar.in"));
}
