// The read-ahead of the POSIX enumeration: what it reads ahead when a
// directory's enumeration opens, how far (the window), and what later
// enumerations see when the tree changed in between: a directory gone,
// renamed, replaced by a file, given a new entry or a new mode is read
// afresh; a file that changed size counts with the size read ahead.
#include "tests/posix/machine.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/posix/dirs.h"

namespace {

typedef std::map<std::string, Listing> Tree;

// Each directory below `path`, entered as the walker enters them: in the
// order its parent's enumeration gives them, while that stays open.
void readTree(const std::string &path, Tree *tree) {
    FindData data;
    FindHandle handle = findFirstFile((path + "\\*.*").c_str(), &data, true);
    if (handle == invalidFindHandle) return;
    (*tree)[path] = list(path + "\\*.*");
    do {
        if ((data.attributes & fileAttributeDirectory) && std::string(data.cFileName) != ".")
            readTree(path + "\\" + data.cFileName, tree);
    } while (findNextFile(handle, &data));
    findClose(handle);
}

uint64_t readSoFar() { return posix::readAheadCounts().read; }

// Directories read ahead while `parent`'s enumeration is open; closing it
// drops them.
uint64_t heldAhead(const std::string &parent) {
    uint64_t before = readSoFar();
    FindData data;
    FindHandle handle = findFirstFile((parent + "\\*.*").c_str(), &data, true);
    EXPECT_NE(handle, invalidFindHandle) << parent;
    posix::readAheadSettle();
    uint64_t held = readSoFar() - before;
    findClose(handle);
    return held;
}

}  // namespace

TEST(ReadAhead, WalkTakesWhatWasReadAheadUnchanged) {
    ASSERT_TRUE(posix::readAheadOn());
    makeDir("same");
    Tree expected = {{"C:\\same", {".:0/"}}};
    for (int d = 0; d < 6; ++d) {
        std::string dir = "same/d" + std::to_string(d), path = "C:\\same\\d" + std::to_string(d);
        makeDir(dir);
        makeDir(dir + "/inner");
        makeFile(dir + "/f", 100 + d);
        makeFile(dir + "/inner/g", 1000 * d);
        expected["C:\\same"].insert("d" + std::to_string(d) + ":0/");
        expected[path] = {".:0/", "inner:0/", "f:" + std::to_string(100 + d)};
        expected[path + "\\inner"] = {".:0/", "g:" + std::to_string(1000 * d)};
    }
    posix::ReadAheadCounts before = posix::readAheadCounts();
    FindData data;
    FindHandle same = findFirstFile("C:\\same\\*.*", &data, true);
    posix::readAheadSettle();  // everything below is read ahead now
    EXPECT_EQ(readSoFar() - before.read, 12u);
    Tree tree;
    readTree("C:\\same", &tree);
    findClose(same);
    posix::ReadAheadCounts after = posix::readAheadCounts();
    EXPECT_EQ(tree, expected);
    EXPECT_EQ(after.taken - before.taken, 12u);
    EXPECT_EQ(after.rejected, before.rejected);
    removeTree("same");
}

TEST(ReadAhead, DirectoryChangedBetweenReadAheadAndWalkIsReadAfresh) {
    makeDir("chg");
    for (const char *dir : {"gone", "gone/inner", "renamed", "replaced", "changed", "resized", "moded"})
        makeDir(std::string("chg/") + dir);
    const char *files[][2] = {{"gone/g", "10"}, {"gone/inner/i", "11"}, {"renamed/r", "20"},
                              {"replaced/x", "30"}, {"changed/c", "40"}, {"resized/s", "50"}, {"moded/m", "60"}};
    for (auto &f : files) makeFile(std::string("chg/") + f[0], std::atoi(f[1]));
    posix::ReadAheadCounts before = posix::readAheadCounts();
    FindData data;
    FindHandle parent = findFirstFile("C:\\chg\\*.*", &data, true);
    ASSERT_NE(parent, invalidFindHandle);
    posix::readAheadSettle();
    ASSERT_EQ(readSoFar() - before.read, 7u);  // the six below chg and gone\inner
    removeTree("chg/gone");
    ASSERT_EQ(rename(native("chg/renamed").c_str(), native("chg/renamed2").c_str()), 0);
    removeTree("chg/replaced");
    makeFile("chg/replaced", 77);
    makeFile("chg/changed/new", 41);
    ASSERT_EQ(truncate(native("chg/resized/s").c_str(), 55), 0);
    ASSERT_EQ(chmod(native("chg/moded").c_str(), 0700), 0);
    Tree tree;  // the subdirectories as chg's enumeration, read before the change, gives them
    do {
        std::string name = data.cFileName;
        if ((data.attributes & fileAttributeDirectory) && name != ".") tree[name] = list("C:\\chg\\" + name + "\\*.*");
    } while (findNextFile(parent, &data));
    findClose(parent);
    posix::ReadAheadCounts after = posix::readAheadCounts();
    EXPECT_EQ(tree, (Tree{{"gone", {}}, {"renamed", {}}, {"replaced", {}},
                          {"changed", {".:0/", "c:40", "new:41"}}, {"resized", {".:0/", "s:50"}},
                          {"moded", {".:0/", "m:60"}}}));
    EXPECT_EQ(after.rejected - before.rejected, 5u);
    EXPECT_EQ(after.taken - before.taken, 1u);
    removeTree("chg");
}

// Only what the walk enters: no dot-directory, no name Windows cannot hold,
// no link, no child whose path with its backslash passes 259 characters.
TEST(ReadAhead, NeverReadsWhatTheWalkWouldNotEnter) {
    for (const char *dir : {"skip", "skip/plain", "skip/.hidden", "skip/.hidden/below", "skip/ctl\x01name",
                            "skip/back\\slash"})
        makeDir(dir);
    ASSERT_EQ(symlink("plain", native("skip/link").c_str()), 0);
    // C:\skip\ is 8 characters: a child of 250 fits 259 with its backslash,
    // one of 251 does not.
    makeDir("skip/" + std::string(250, 'f'));
    makeDir("skip/" + std::string(251, 'o'));
    EXPECT_EQ(heldAhead("C:\\skip"), 2u);  // "plain" and the one that fits
    removeTree("skip");
}

TEST(ReadAhead, WindowHoldsAtMostItsDirectoriesAndEntries) {
    struct rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 64 + 256)
        GTEST_SKIP() << "the limit of open files leaves no room for a window of 256";
    makeDir("win");
    makeDir("win/many");
    for (int d = 0; d < 400; ++d) makeDir("win/many/d" + std::to_string(d));
    makeDir("win/big");
    makeFile("win/one", 1);
    for (int d = 0; d < 40; ++d) {
        std::string dir = "win/big/d" + std::to_string(d);
        makeDir(dir);
        for (int f = 0; f < 1000; ++f)
            ASSERT_EQ(link(native("win/one").c_str(), native(dir + "/f" + std::to_string(f)).c_str()), 0);
    }
    EXPECT_EQ(heldAhead("C:\\win\\many"), 256u);
    // 32,768 entries are 33 directories of 1,001; threads that started
    // before the window filled may add theirs.
    uint64_t held = heldAhead("C:\\win\\big");
    EXPECT_TRUE(held >= 33 && held < 40) << held;
    removeTree("win");
}

// Another thread swaps two directories and makes and removes a third while
// the tree is read again and again. Each directory is seen whole, as it was
// at one moment: its files and its subdirectory's come from the same one.
TEST(ReadAhead, ChangesDuringTheWalkNeverMixTwoDirectories) {
    for (const char *dir : {"swap", "swap/A", "swap/A/inner", "swap/B", "swap/B/inner"}) makeDir(dir);
    makeFile("swap/A/a", 100);
    makeFile("swap/A/inner/one", 1);
    makeFile("swap/B/b", 200);
    makeFile("swap/B/inner/two", 2);
    for (int d = 0; d < 20; ++d) makeDir("swap/pad" + std::to_string(d));
    const Listing a = {".:0/", "inner:0/", "a:100"}, aInner = {".:0/", "one:1"};
    const Listing b = {".:0/", "inner:0/", "b:200"}, bInner = {".:0/", "two:2"};
    std::atomic<bool> stop(false);
    std::atomic<int> swaps(0);
    std::thread changer([&] {
        std::string pathA = native("swap/A"), pathB = native("swap/B"), pathC = native("swap/C");
        while (!stop) {
            if (renameat2(AT_FDCWD, pathA.c_str(), AT_FDCWD, pathB.c_str(), RENAME_EXCHANGE) == 0) ++swaps;
            if (mkdir(pathC.c_str(), 0755) == 0) {
                std::fclose(std::fopen((pathC + "/five").c_str(), "w"));
                unlink((pathC + "/five").c_str());
                rmdir(pathC.c_str());
            }
        }
    });
    const int rounds = 300;
    int whole = 0;
    for (int round = 0; round < rounds; ++round) {
        Tree tree;
        readTree("C:\\swap", &tree);
        for (const char *name : {"A", "B"}) {
            std::string dir = std::string("C:\\swap\\") + name;
            const Listing &own = tree[dir], &inner = tree[dir + "\\inner"];
            EXPECT_TRUE((own == a && inner == aInner) || (own == b && inner == bInner)) << name << " round " << round;
            whole += !own.empty() && !inner.empty();
        }
        if (tree.count("C:\\swap\\C") != 0) {
            EXPECT_TRUE(tree["C:\\swap\\C"] == (Listing{".:0/"}) || tree["C:\\swap\\C"] == (Listing{".:0/", "five:0"}));
        }
    }
    stop = true;
    changer.join();
    EXPECT_EQ(whole, 2 * rounds);  // A and B always exist, so every round saw both
    EXPECT_GT(swaps.load(), 0);
    removeTree("swap");
}
