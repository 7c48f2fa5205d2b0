// The command line: help test, switches and the normalisation of the target
// against the current directory.
#include "tests/unit/fixture.h"

namespace {

class CommandLineTest : public FolmarTest {
protected:
    // Runs the help test (as main does), the argument scan and the
    // normalisation over `args`; the result of the normalisation.
    int parse(std::vector<std::string> args) {
        CommandLine line(std::move(args));
        isHelpRequest(line.argc(), line.argv());
        scanArguments(line.argc(), line.argv());
        return normaliseTarget();
    }
};

}  // namespace

TEST_F(CommandLineTest, HelpOnlyForALoneQuestionMarkOrH) {
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{"/?"}, true}, {{"/h"}, true}, {{"/Help"}, true}, {{"/?", "C:\\"}, false}, {{}, false}, {{"/C"}, false}};
    for (const auto &c : cases) {
        CommandLine line(c.first);
        EXPECT_EQ(isHelpRequest(line.argc(), line.argv()), c.second) << c.first.size() << " arguments";
    }
}

// Relative targets start at the root of the current drive. A target given
// alone has been upper-cased by the help test; with another argument it keeps
// its case. The last target wins; switches act in their order ('/S /C' leaves
// long names), unknown ones are ignored.
TEST_F(CommandLineTest, TargetsAndSwitches) {
    struct Case {
        const char *cwd;
        std::vector<std::string> args;
        const char *curPath;
        char driveLetter, showDirs;
        bool condensed, pause;
    };
    const Case cases[] = {
        {"C:\\WORK", {}, "C:\\WORK", 'C', 'L', false, false},
        {"C:\\", {}, "C:\\", 'C', 'L', false, false},
        {"C:\\", {"c:\\work"}, "C:\\WORK", 'C', 'L', false, false},
        {"C:\\WORK", {"/L", "D:"}, "D:", 'D', 'L', false, false},
        {"C:\\WORK", {"/L", "D:temp"}, "D:\\temp", 'D', 'L', false, false},
        {"E:\\x\\y", {"/L", "temp"}, "E:\\temp", 'E', 'L', false, false},
        {"C:\\WORK", {"/L", "C:\\data\\*.*"}, "C:\\data", 'C', 'L', false, false},
        {"C:\\WORK", {"/L", "C:\\work\\"}, "C:\\work", 'C', 'L', false, false},
        {"C:\\WORK", {"/L", "C:\\"}, "C:", 'C', 'L', false, false},
        {"C:\\WORK", {"/L", "D"}, "C:\\D", 'C', 'L', false, false},
        {"C:\\WORK", {"/L", "\\work"}, "C:\\\\work", 'C', 'L', false, false},
        {"C:\\WORK", {"/L", "d:\\Mixed"}, "d:\\Mixed", 'd', 'L', false, false},
        {"C:\\WORK", {"C:\\one", "/S", "/C", "C:\\two"}, "C:\\two", 'C', 'L', true, false},
        {"C:\\WORK", {"/C", "/S"}, "C:\\WORK", 'C', 'S', true, false},
        {"C:\\WORK", {"/Short", "/p", "/X", "/H"}, "C:\\WORK", 'C', 'S', false, true},
    };
    for (const Case &c : cases) {
        std::string trace;
        for (const std::string &arg : c.args) trace += arg + " ";
        SCOPED_TRACE(trace);
        fresh();
        fakeSetCurrentDirectory(c.cwd);
        EXPECT_EQ(parse(c.args), 0);
        EXPECT_STREQ(rs.curPath, c.curPath);
        EXPECT_EQ(rs.driveLetter, c.driveLetter);
        EXPECT_EQ(rs.showDirs, c.showDirs);
        EXPECT_EQ(rs.condensed, c.condensed);
        EXPECT_EQ(rs.pausePerScreen, c.pause);
        EXPECT_EQ(rs.runMode, ' ');
    }
}

TEST_F(CommandLineTest, AllDrivesRequestsEmptyTheDriveList) {
    for (const char *request : {"/ALL", "/all", "/AllDrives", "/~", "~", "/AL"}) {
        fresh();
        setDriveList("CD");
        parse({"/L", request});
        bool all = std::strcmp(request, "/AL") != 0;
        EXPECT_EQ(rs.runMode, all ? '~' : ' ') << request;
        EXPECT_EQ(rs.driveList[0], all ? '\0' : 'C') << request;
    }
}

TEST_F(CommandLineTest, OverlongTargetsAreRefusedWithoutOverrun) {
    EXPECT_EQ(parse({"/L", std::string(2100, 'x')}), 1);
    EXPECT_EQ(out(), "Folmar==>  Target path too long: " + std::string(60, 'x') + "...\n");
    fresh();
    EXPECT_EQ(parse({"/L", "C:\\" + std::string(300, 'y')}), 1);
    EXPECT_TRUE(contains(out(), "Target path too long: C:\\yyy"));
    fresh();
    EXPECT_EQ(parse({"/L", "C:\\" + std::string(256, 'z')}), 0);
    EXPECT_EQ(std::strlen(rs.curPath), 259u);
}
