// The machine-free rules of the POSIX emulation: the FOLMAR_DRIVES text, the
// one spelling of a Windows path, names, the Windows form of a working
// directory, mountinfo lines, drive types of file systems, the user's
// settings file, the integer read from standard input, and the read-ahead's
// pace: from one look at the machine to the threads that may read.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/posix/pace.h"
#include "platform/posix/posix.h"

using namespace posix;

TEST(DriveMapping, LettersAnyCaseTypesAndMalformedEntriesNamedOnce) {
    DriveMap map = {};
    std::vector<std::string> malformed;
    parseDriveMapping("c=/srv/c/; D=/mnt/nas,remote ;E=/media/cd,CDROM;;junk;CC=/x;G=relative;"
                      "H=/x,floppy;=/y;F=/f;f=/again;I=", &map, &malformed);
    EXPECT_EQ(malformed, (std::vector<std::string>{"junk", "CC=/x", "G=relative", "H=/x,floppy", "=/y",
                                                    "f=/again", "I="}));
    const struct { int index; const char *dir; uint32_t type; } mapped[] = {
        {2, "/srv/c", 0}, {3, "/mnt/nas", driveRemote}, {4, "/media/cd", driveCdrom}, {5, "/f", 0}};
    for (const auto &m : mapped)
        EXPECT_TRUE(map.mapped[m.index] && map.dir[m.index] == m.dir && map.type[m.index] == m.type) << m.dir;
    EXPECT_FALSE(map.mapped[6] || map.mapped[7] || map.mapped[8]);
}

// ".." stops at the drive's root (off drives, at the working directory); "1:" or a control character: none.
TEST(PathKey, OneSpellingAndDotDotNeverLeavesTheDrive) {
    const struct { const char *path, *currentDir, *key; bool onDrive; } cases[] = {
        {"c:\\", "", "C:", true},                    {"C:\\\\Home\\\\ann\\", "", "C:\\Home\\ann", true},
        {"C:/a/./b/../c", "", "C:\\a\\c", true},     {"C:\\..\\..\\x", "", "C:\\x", true},
        {"\\work", "D:\\x\\y", "D:\\work", true},    {"C:sub", "C:\\x", "C:\\x\\sub", true},
        {"C:sub", "D:\\x", "C:\\sub", true},         {"a\\..\\..\\..\\b", "C:\\x", "C:\\b", true},
        {"..\\..\\b", "", "b", false},               {"\\work", "", "<none>", true},
        {"1:\\..\\etc", "C:\\x", "<none>", true},    {"C:\\a\x01" "b", "", "<none>", true},
        {"a\nb", "", "<none>", true},               {"C:\\x\\a.\\.", "", "C:\\x\\a.", true},
        {"C:sub", "C:\\x\x01", "<none>", true}};
    for (const auto &c : cases) {
        PathKey key;
        bool made = makePathKey(c.path, c.currentDir, &key);
        EXPECT_EQ(made ? key.text : "<none>", c.key) << c.path;
        EXPECT_TRUE(!made || key.onDrive == c.onDrive) << c.path;
    }
}

TEST(Names, TrailingDotsAndBlanksAndRootPaths) {
    const struct { const char *name, *trimmed; } trims[] = {
        {"a. .", "a"}, {"a.b", "-"}, {"a", "-"}, {"...", "-"}};
    for (const auto &t : trims) {
        std::string trimmed = "-";
        EXPECT_EQ(trimmedWindowsName(t.name, &trimmed), std::string(t.trimmed) != "-") << t.name;
        EXPECT_EQ(trimmed, t.trimmed) << t.name;
    }
    const struct { const char *path; char letter; } roots[] = {
        {"d:\\", 'D'}, {"C:", 'C'}, {"C:/", 'C'}, {"a:\\", 'A'}, {"z:", 'Z'}, {"D:\\x", 0}, {"C:x", 0}, {"1:\\", 0}};
    for (const auto &r : roots) EXPECT_EQ(rootPathLetter(r.path), r.letter) << r.path;
}

// The longest drive directory at a component boundary; none, or an unsafe name: no Windows path ("").
TEST(WindowsForm, LongestDriveDirectoryWins) {
    DriveMap map = {};
    for (int i : {0, 2, 3}) map.mapped[i] = true;
    map.dir[0] = "/srv/a", map.dir[2] = "/srv/c", map.dir[3] = "/srv/c/d";
    const struct { const char *native, *windows; } cases[] = {
        {"/srv/c/d/x/y", "D:\\x\\y"}, {"/srv/c/d", "D:\\"}, {"/srv/c/dd", "C:\\dd"}, {"/srv/c", "C:\\"},
        {"/srv/a/caf\xc3\xa9", "A:\\caf\xc3\xa9"}, {"/srv", ""}, {"/srv/c/a\\b", ""}, {"/srv/c/t\tb", ""},
        {"/srv/c/d\x7f", ""}};
    for (const auto &c : cases) {
        std::string text;
        EXPECT_EQ(windowsFormOf(c.native, map, &text) ? text : "", c.windows) << c.native;
    }
    map.dir[2] = "/";
    std::string text;
    EXPECT_TRUE(windowsFormOf("/", map, &text) && text == "C:\\") << text;
}

TEST(MountInfo, FieldsAfterOptionalOnesAndEscapes) {
    Mount mount;
    ASSERT_TRUE(parseMountInfoLine(
        "36 35 98:0 / /mnt/my\\040disk\\134x rw master:1 shared:2 - fuse.sshfs h:/x rw\n", &mount));
    EXPECT_EQ(mount.path + " " + mount.type, "/mnt/my disk\\x fuse.sshfs");
    ASSERT_TRUE(parseMountInfoLine("21 26 0:20 / /mnt/end\\040 rw,relatime - proc proc rw", &mount));
    EXPECT_EQ(mount.path + " " + mount.type, "/mnt/end  proc");
    EXPECT_FALSE(parseMountInfoLine("garbage line", &mount));
}

TEST(FileSystems, PseudoRemoteAndCdrom) {
    for (const char *type : {"proc", "cgroup2", "devtmpfs", "mqueue"}) EXPECT_TRUE(isPseudoFileSystem(type));
    for (const char *type : {"tmpfs", "ext4", "overlay"}) EXPECT_FALSE(isPseudoFileSystem(type)) << type;
    const struct { uint64_t magic; const char *mountType; uint32_t type; } cases[] = {
        {0x6969, "nfs4", driveRemote},            {0xFF534D42, "cifs", driveRemote},
        {0x517B, "smbfs", driveRemote},           {0x564C, "ncpfs", driveRemote},
        {0x65735546, "fuse.sshfs", driveRemote},  {0x65735546, "fuse.ntfs-3g", driveFixed},
        {0x9660, "iso9660", driveCdrom},          {0x15013346, "udf", driveCdrom},
        {0x01021997, "9p", driveRemote},          {0x00C36400, "ceph", driveRemote},
        {0x0BD00BD0, "lustre", driveRemote},      {0x73757245, "coda", driveRemote},
        {0x5346414F, "afs", driveRemote},         {0x6B414653, "afs", driveRemote},
        {0xFE534D42, "smb3", driveRemote},        {0xEF53, "ext4", driveFixed}};
    for (const auto &c : cases) EXPECT_EQ(driveTypeOfFileSystem(c.magic, c.mountType), c.type) << c.mountType;
}

// The XDG base directories: a relative or empty XDG_CONFIG_HOME counts as unset; no absolute HOME, no user's file.
TEST(SharedSettings, UsersFileFromXdgConfigHomeElseHome) {
    const struct { const char *xdg, *home, *path; } cases[] = {
        {"/x/cfg", "/home/ann", "/x/cfg/folmar/Folmar.ini"}, {"/x/cfg/", nullptr, "/x/cfg/folmar/Folmar.ini"},
        {nullptr, "/home/ann", "/home/ann/.config/folmar/Folmar.ini"},
        {"", "/home/ann/", "/home/ann/.config/folmar/Folmar.ini"},
        {"cfg", "/home/ann", "/home/ann/.config/folmar/Folmar.ini"},
        {nullptr, nullptr, ""}, {"cfg", "", ""}, {nullptr, "ann", ""}};
    for (const auto &c : cases)
        EXPECT_EQ(userSettingsPath(c.xdg, c.home), c.path) << (c.xdg ? c.xdg : "-") << " " << (c.home ? c.home : "-");
}

// As scanf("%d"): blanks, a sign, digits; the rest stays unread; no number keeps the value; huge: INT_MAX.
TEST(StandardInput, IntegersAsScanfReadsThem) {
    FILE *saved = stdin;
    stdin = std::tmpfile();
    ASSERT_TRUE(stdin != nullptr && std::fputs(" \t+30\n-17x\t99999999999", stdin) >= 0);
    std::rewind(stdin);
    int value[4] = {0, 0, 5, 0};
    for (int i = 0; i < 3; ++i) readIntegerFromStdin(&value[i]);
    int unread = std::getchar();  // the "x" that stopped the third
    readIntegerFromStdin(&value[3]);
    std::fclose(stdin);
    stdin = saved;
    EXPECT_EQ(std::vector<int>({value[0], value[1], value[2], unread, value[3]}),
              std::vector<int>({30, -17, 5, 'x', 2147483647}));
}

// Sixteen threads in the pool, three while reads keep to the CPU (four
// cores), unless the row's setting fixes the pool. Times in ms, load in
// 1/256 of a core (-1: not looked at this time).
TEST(Pacing, ThreadsThatMayReadFromOneLookAtTheMachine) {
    struct Case {
        const char *name;
        int cores, others, storage, readingMs, sleptMs;
        bool walker;
        int cpuBefore;
        bool waitingBefore, diskBefore, fixed;
        int threads;
    };
    const Case cases[] = {
        {"a quiet machine: one per core besides the walker's", 4, 0, 0, 0, 0, false, 1, false, false, false, 3},
        {"a quiet machine of two cores: one", 2, 0, 0, 0, 0, false, 0, false, false, false, 1},
        {"a busy machine: none", 4, 3 * 256, 0, 0, 0, false, 3, false, false, false, 0},
        {"a tenth of a core free keeps a thread reading", 2, 230, 0, 0, 0, false, 1, false, false, false, 1},
        {"but starts none", 2, 230, 0, 0, 0, false, 0, false, false, false, 0},
        {"three tenths start one", 2, 180, -1, 0, 0, false, 0, false, false, false, 1},
        {"a busy machine whose walk waits on the disk: the pool", 2, 512, 1, 0, 0, false, 0, false, false, false, 16},
        {"a disk quiet again: the free cores", 4, -1, 0, 0, 0, false, 2, false, true, false, 2},
        {"load not looked at: as before", 4, -1, -1, 0, 0, false, 2, false, false, false, 2},
        {"a sleeping walker, reading alone: the pool", 2, 256, 0, 20, 15, true, 0, false, false, false, 16},
        {"a sleeping walker beside reading threads: not counted", 4, 0, 0, 20, 15, true, 3, false, false, false, 3},
        {"threads' reads under half asleep: the free cores", 4, 0, 0, 20, 9, false, 3, false, false, false, 3},
        {"a quarter asleep keeps reads waiting", 2, 256, 0, 20, 6, false, 0, true, false, false, 16},
        {"less than a quarter ends it", 2, 256, 0, 20, 4, false, 0, true, false, false, 0},
        {"a pool set by the user reads whatever the load", 2, 512, 0, 0, 0, false, 0, false, false, true, 16},
    };
    for (const Case &c : cases) {
        PaceLimits limits = {3, 16, c.fixed};
        Pace pace;
        pace.cpuAllowed = c.cpuBefore;
        pace.waiting = c.waitingBefore;
        pace.diskReads = c.diskBefore;
        PaceSample sample = {c.cores, c.others, c.storage, (uint64_t)c.readingMs * 1000000u,
                             (uint64_t)c.sleptMs * 1000000u, c.walker};
        EXPECT_EQ(paceAfter(sample, limits, &pace), c.threads) << c.name;
    }
}
