// The read-ahead of the POSIX enumeration, driven the way the walker drives
// it: what it reads ahead, how far (the window), and what the walk sees when
// the tree changes between read-ahead and walk: a directory gone, renamed,
// replaced by a file, given a new entry or a new mode is read afresh; a file
// that changed size counts once, with the size read ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/dirs.h"
#include "platform/posix/posix.h"

namespace {

std::string native(const std::string &relative) {
    return std::string(posix::driveDirectory('C')) + "/" + relative;
}

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

// What a walk found: each directory's bytes, by Windows path, and counts.
struct Walk {
    std::map<std::string, uint64_t> lines;
    uint32_t dirs = 0;
    uint32_t files = 0;
    std::function<void(const std::string &)> entered;  // after a directory's first enumeration opened
};

// Walks `path` as the program's walker does: the directory pass opened
// first and kept open, a second enumeration for the files, the line, then
// each subdirectory not beginning with '.', in order, if its path fits.
void walk(std::string path, Walk *w) {
    if (path.back() != '\\') path += '\\';
    if (path.size() > 259) return;
    std::string search = path + "*.*";
    FindData entry, file;
    FindHandle dirs = findFirstFile(search.c_str(), &entry, true);
    if (dirs == invalidFindHandle) return;
    if (w->entered) w->entered(path);
    uint64_t bytes = 0;
    FindHandle files = findFirstFile(search.c_str(), &file, true);
    if (files != invalidFindHandle) {
        do {
            if (file.attributes & fileAttributeDirectory) continue;
            w->files += 1;
            bytes += ((uint64_t)file.nFileSizeHigh << 32) | file.nFileSizeLow;
        } while (findNextFile(files, &file));
        findClose(files);
    }
    w->lines[path] = bytes;
    do {
        if (!(entry.attributes & fileAttributeDirectory) || entry.cFileName[0] == '.') continue;
        w->dirs += 1;
        if (path.size() + std::strlen(entry.cFileName) < 260) walk(path + entry.cFileName, w);
    } while (findNextFile(dirs, &entry));
    findClose(dirs);
}

uint64_t readAheadNow() { return posix::readAheadCounts().read; }

}  // namespace

TEST(ReadAhead, WalkTakesWhatWasReadAheadAndFindsTheSameFigures) {
    ASSERT_TRUE(posix::readAheadOn());
    makeDir("same");
    std::map<std::string, uint64_t> expected = {{"C:\\same\\", 0}};
    for (int d = 0; d < 6; ++d) {
        std::string dir = "same/d" + std::to_string(d);
        makeDir(dir);
        makeDir(dir + "/inner");
        makeFile(dir + "/f", 100 + d);
        makeFile(dir + "/inner/g", 1000 * d);
        expected["C:\\same\\d" + std::to_string(d) + "\\"] = 100 + d;
        expected["C:\\same\\d" + std::to_string(d) + "\\inner\\"] = 1000 * d;
    }
    posix::ReadAheadCounts before = posix::readAheadCounts();
    Walk w;
    w.entered = [](const std::string &path) {
        if (path == "C:\\same\\") posix::readAheadSettle();  // everything below is read ahead now
    };
    walk("C:\\same", &w);
    posix::ReadAheadCounts after = posix::readAheadCounts();
    EXPECT_EQ(w.lines, expected);
    EXPECT_EQ(w.dirs, 12u);
    EXPECT_EQ(w.files, 12u);
    EXPECT_EQ(after.read - before.read, 12u);
    EXPECT_EQ(after.taken - before.taken, 12u);
    EXPECT_EQ(after.rejected, before.rejected);
    removeTree("same");
}

TEST(ReadAhead, DirectoryChangedBetweenReadAheadAndWalkIsReadAfresh) {
    makeDir("chg");
    makeDir("chg/P");
    makeFile("chg/P/keep", 1);
    for (const char *dir : {"gone", "gone/inner", "renamed", "replaced", "changed", "resized", "locked"})
        makeDir(std::string("chg/P/") + dir);
    makeFile("chg/P/gone/g", 10);
    makeFile("chg/P/gone/inner/i", 11);
    makeFile("chg/P/renamed/r", 20);
    makeFile("chg/P/replaced/x", 30);
    makeFile("chg/P/changed/c", 40);
    makeFile("chg/P/resized/s", 50);
    makeFile("chg/P/locked/l", 60);
    posix::ReadAheadCounts before = posix::readAheadCounts();
    Walk w;
    w.entered = [&](const std::string &path) {
        if (path != "C:\\chg\\P\\") return;
        posix::readAheadSettle();
        ASSERT_EQ(readAheadNow() - before.read, 7u);  // the six below P and gone\inner
        removeTree("chg/P/gone");
        ASSERT_EQ(rename(native("chg/P/renamed").c_str(), native("chg/P/renamed2").c_str()), 0);
        removeTree("chg/P/replaced");
        makeFile("chg/P/replaced", 77);
        makeFile("chg/P/changed/new", 41);
        ASSERT_EQ(truncate(native("chg/P/resized/s").c_str(), 55), 0);
        ASSERT_EQ(chmod(native("chg/P/locked").c_str(), 0), 0);
    };
    walk("C:\\chg\\P", &w);
    posix::ReadAheadCounts after = posix::readAheadCounts();
    // P was listed before the change: its six subdirectories count, those
    // gone, renamed or replaced cannot be opened; "changed" and "locked" are
    // read afresh; "resized" is the directory read ahead, its file counted
    // once with the size it had then.
    std::map<std::string, uint64_t> expected = {
        {"C:\\chg\\P\\", 1}, {"C:\\chg\\P\\changed\\", 81}, {"C:\\chg\\P\\resized\\", 50},
        {"C:\\chg\\P\\locked\\", 60}};
    EXPECT_EQ(w.lines, expected);
    EXPECT_EQ(w.dirs, 6u);
    EXPECT_EQ(w.files, 5u);
    EXPECT_EQ(after.rejected - before.rejected, 5u);
    EXPECT_EQ(after.taken - before.taken, 1u);
    removeTree("chg");
}

TEST(ReadAhead, NeverReadsWhatTheWalkWouldNotEnter) {
    makeDir("skip");
    makeDir("skip/plain");
    makeDir("skip/.hidden");
    makeDir("skip/.hidden/below");
    makeDir("skip/ctl\x01name");
    makeDir("skip/back\\slash");
    ASSERT_EQ(symlink("plain", native("skip/link").c_str()), 0);
    // C:\skip\ is 8 characters: a child of 250 fits 259 with its backslash,
    // one of 251 does not.
    std::string fits(250, 'f'), over(251, 'o');
    makeDir("skip/" + fits);
    makeDir("skip/" + over);
    uint64_t before = readAheadNow();
    FindData data;
    FindHandle handle = findFirstFile("C:\\skip\\*.*", &data, true);
    ASSERT_NE(handle, invalidFindHandle);
    posix::readAheadSettle();
    EXPECT_EQ(readAheadNow() - before, 2u);  // "plain" and the one that fits
    findClose(handle);
    Walk w;
    walk("C:\\skip", &w);
    EXPECT_EQ(w.lines.size(), 3u);
    EXPECT_EQ(w.lines.count("C:\\skip\\" + fits + "\\"), 1u);
    EXPECT_EQ(w.dirs, 5u);
    removeTree("skip");
}

// Directories read ahead while the walker stays at `parent`'s first
// enumeration; the enumeration is then closed, which drops them.
static uint64_t heldAhead(const char *parent) {
    uint64_t before = readAheadNow();
    FindData data;
    FindHandle handle = findFirstFile(parent, &data, true);
    EXPECT_NE(handle, invalidFindHandle) << parent;
    posix::readAheadSettle();
    uint64_t held = readAheadNow() - before;
    findClose(handle);
    return held;
}

TEST(ReadAhead, WindowHoldsAtMostItsDirectoriesAndEntries) {
    makeDir("win");
    makeDir("win/many");
    for (int d = 0; d < 400; ++d) makeDir("win/many/d" + std::to_string(d));
    makeDir("win/big");
    makeFile("win/one", 1);
    for (int d = 0; d < 60; ++d) {
        std::string dir = "win/big/d" + std::to_string(d);
        makeDir(dir);
        for (int f = 0; f < 1000; ++f)
            ASSERT_EQ(link(native("win/one").c_str(), native(dir + "/f" + std::to_string(f)).c_str()), 0);
    }
    // 256 directories, fewer when few descriptors are allowed.
    struct rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    uint64_t window = limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= 512 ? 256 : limit.rlim_cur - 256;
    EXPECT_EQ(heldAhead("C:\\win\\many\\*.*"), window);
    // 32,768 entries are 33 directories of 1,001; a thread that started
    // before the window filled may add its one.
    uint64_t held = heldAhead("C:\\win\\big\\*.*");
    EXPECT_TRUE(held >= std::min<uint64_t>(33, window) && held < 40) << held;
    Walk w;
    walk("C:\\win", &w);
    EXPECT_EQ(w.dirs, 462u);
    EXPECT_EQ(w.files, 60001u);
    EXPECT_EQ(w.lines["C:\\win\\big\\d59\\"], 1000u);
    removeTree("win");
}

// Another thread swaps two directories, and removes and makes a third,
// while the tree is walked again and again. Each directory is seen whole,
// as it was at one moment: its files and its subdirectory's come from the
// same directory, never a mix.
TEST(ReadAhead, ChangesDuringTheWalkNeverMixTwoDirectories) {
    makeDir("swap");
    makeDir("swap/A");
    makeDir("swap/A/inner");
    makeFile("swap/A/a1", 60);
    makeFile("swap/A/a2", 40);
    makeFile("swap/A/inner/one", 1);
    makeDir("swap/B");
    makeDir("swap/B/inner");
    makeFile("swap/B/b1", 200);
    makeFile("swap/B/inner/two", 2);
    for (int d = 0; d < 20; ++d) makeDir("swap/pad" + std::to_string(d));
    std::atomic<bool> stop(false);
    std::thread changer([&] {
        std::string a = native("swap/A"), b = native("swap/B"), c = native("swap/C");
        while (!stop) {
            renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
            if (mkdir(c.c_str(), 0755) == 0) {
                makeFile("swap/C/five", 5);
                unlink((c + "/five").c_str());
                rmdir(c.c_str());
            }
        }
    });
    for (int round = 0; round < 300; ++round) {
        Walk w;
        walk("C:\\swap", &w);
        for (const char *name : {"A", "B"}) {
            std::string dir = std::string("C:\\swap\\") + name + "\\";
            if (w.lines.count(dir) == 0 || w.lines.count(dir + "inner\\") == 0) continue;
            uint64_t own = w.lines[dir], inner = w.lines[dir + "inner\\"];
            EXPECT_TRUE((own == 100 && inner == 1) || (own == 200 && inner == 2))
                << name << ": " << own << " with inner " << inner;
        }
        if (w.lines.count("C:\\swap\\C\\") != 0) {
            EXPECT_LE(w.lines["C:\\swap\\C\\"], 5u);
        }
    }
    stop = true;
    changer.join();
    removeTree("swap");
}
