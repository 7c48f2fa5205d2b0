// The condensed roll-up: one line for the root and one per first-level
// directory carrying its whole subtree, flushed at the end of the drive.
#include "report/report.h"
#include "scan/scan.h"
#include "tests/unit/fixture.h"

namespace {

// A console directory line (width 78) of `path` holding `size`.
std::string dirLine(const std::string &path, const std::string &size) {
    return path + std::string(64 - path.size(), '.') + std::string(13 - size.size(), '.') + " " + size;
}

uint64_t digitsOf(const std::string &grouped) {
    uint64_t value = 0;
    for (char c : grouped)
        if (c >= '0' && c <= '9') value = value * 10 + (uint64_t)(c - '0');
    return value;
}

// The lines of a condensed walk of `target` at width 78, flushed as the
// totals block would.
std::vector<std::string> condensedWalk(const char *target) {
    rs.condensed = true;
    rs.lineWidth = 78;
    deriveLayout();
    std::strcpy(rs.curPath, target);
    processDirs();
    rs.rollUpFlush = true;
    rollUpFirstLevel(rs.curPath);
    std::fflush(rs.con);
    return splitLines(fakeStdoutText());
}

}  // namespace

// Each row: the files in the order they are made, which is the order the
// walk finds them, and the lines of a condensed walk of the target.
// The sizes on the lines always add up to the drive's total.
TEST_F(FolmarTest, CondensedWalkGivesOneLinePerFirstLevelSubtree) {
    struct Case {
        const char *name;
        std::vector<std::pair<const char *, uint64_t>> files;
        const char *unopenable;  // a directory that cannot be opened
        char showFiles;
        const char *target;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"drive root",
         {{"C:\\root.txt", 1}, {"C:\\A\\a", 10}, {"C:\\A\\X\\x", 100}, {"C:\\A\\X\\Y\\y", 1000}, {"C:\\B\\b", 20000}},
         nullptr, 'N', "C:\\",
         {dirLine("C:\\", "1"), dirLine("C:\\A", "1,110"), dirLine("C:\\B", "20,000")}},
        {"deeper target: one line for the whole tree",
         {{"C:\\Data\\a", 1}, {"C:\\Data\\Sub\\b", 2}, {"C:\\Data\\Sub\\Deeper\\c", 4}}, nullptr, 'N', "C:\\Data",
         {dirLine("C:\\Data", "7")}},
        {"Data before Data2", {{"C:\\Data\\a", 1}, {"C:\\Data2\\b", 2}}, nullptr, 'N', "C:\\",
         {dirLine("C:\\", "0"), dirLine("C:\\Data", "1"), dirLine("C:\\Data2", "2")}},
        {"Data2 before Data", {{"C:\\Data2\\b", 2}, {"C:\\Data\\a", 1}}, nullptr, 'N', "C:\\",
         {dirLine("C:\\", "0"), dirLine("C:\\Data2", "2"), dirLine("C:\\Data", "1")}},
        {"unopenable first-level directory: no line", {{"C:\\A\\a", 1}, {"C:\\B\\b", 2}, {"C:\\C\\c", 4}},
         "C:\\B", 'N', "C:\\",
         {dirLine("C:\\", "0"), dirLine("C:\\A", "1"), dirLine("C:\\C", "4")}},
        {"missing target: the flush prints nothing", {}, nullptr, 'N', "C:\\missing", {}},
        {"file names of a new subtree come before the held-back line", {{"C:\\A\\fa", 1}, {"C:\\B\\fb", 2}},
         nullptr, 'L', "C:\\", {"fa", dirLine("C:\\", "0"), "fb", dirLine("C:\\A", "1"), dirLine("C:\\B", "2")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        fakeAddDrive('C', driveFixed);
        for (const auto &file : c.files) fakeAddFile(file.first, file.second);
        if (c.unopenable) fakeFailDir(c.unopenable);
        rs.showFiles = c.showFiles;
        EXPECT_EQ(condensedWalk(c.target), c.lines);
        uint64_t sum = 0;
        for (const std::string &line : c.lines) sum += line.size() == 78 ? digitsOf(line.substr(64)) : 0;
        EXPECT_EQ(rs.i64TotalAlloc, sum);
        EXPECT_TRUE(rs.rollUpFirst);  // the next drive starts afresh
        EXPECT_FALSE(rs.rollUpFlush);
    }
}
