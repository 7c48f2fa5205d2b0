// The command line: help test, switches and the normalisation of the target
// against the current directory.
#include <cstring>
#include <memory>
#include <vector>

#include "tests/unit/fixture.h"
#include "app/app.h"

namespace {

class CommandLineTest : public FolmarTest {
protected:
    // Runs the argument scan and the normalisation over `args`.
    int parse(std::vector<std::string> args) {
        line.reset(new CommandLine(std::move(args)));
        scanArguments(line->argc(), line->argv());
        return normaliseTarget();
    }
    bool help(std::vector<std::string> args) {
        line.reset(new CommandLine(std::move(args)));
        return isHelpRequest(line->argc(), line->argv());
    }
    std::unique_ptr<CommandLine> line;
};

TEST_F(CommandLineTest, HelpOnlyForALoneQuestionMarkOrH) {
    EXPECT_TRUE(help({"/?"}));
    EXPECT_TRUE(help({"/h"}));
    EXPECT_TRUE(help({"/Help"}));
    EXPECT_FALSE(help({"/?", "C:\\"}));
    EXPECT_FALSE(help({}));
    EXPECT_FALSE(help({"/C"}));
}

TEST_F(CommandLineTest, LoneTargetIsUpperCasedByTheHelpTest) {
    fakeSetCurrentDirectory("C:\\");
    help({"c:\\work"});
    scanArguments(line->argc(), line->argv());
    ASSERT_EQ(normaliseTarget(), 0);
    EXPECT_STREQ(rs.curPath, "C:\\WORK");
    EXPECT_EQ(rs.driveLetter, 'C');
}

struct TargetCase {
    const char *cwd;
    const char *target;
    const char *curPath;
    char driveLetter;
};

TEST_F(CommandLineTest, TargetsAreNormalisedAgainstTheCurrentDrive) {
    const TargetCase cases[] = {
        {"C:\\WORK", "", "C:\\WORK", 'C'},
        {"C:\\", "", "C:\\", 'C'},
        {"C:\\WORK", "D:", "D:", 'D'},
        {"C:\\WORK", "D:temp", "D:\\temp", 'D'},
        {"E:\\x\\y", "temp", "E:\\temp", 'E'},
        {"C:\\WORK", "C:\\data\\*.*", "C:\\data", 'C'},
        {"C:\\WORK", "C:\\work\\", "C:\\work", 'C'},
        {"C:\\WORK", "C:\\", "C:", 'C'},
        {"C:\\WORK", "D", "C:\\D", 'C'},
        {"C:\\WORK", "\\work", "C:\\\\work", 'C'},
        {"C:\\WORK", "d:\\Mixed", "d:\\Mixed", 'd'},
    };
    for (const TargetCase &c : cases) {
        resetRunState();
        fakeSetCurrentDirectory(c.cwd);
        EXPECT_EQ(parse({"/L", c.target}), 0) << c.target;
        EXPECT_STREQ(rs.curPath, c.curPath) << "target '" << c.target << "'";
        EXPECT_EQ(rs.driveLetter, c.driveLetter) << c.target;
        EXPECT_EQ(rs.runMode, ' ');
    }
}

TEST_F(CommandLineTest, LastTargetWinsAndSwitchesActInOrder) {
    parse({"C:\\one", "/S", "/C", "C:\\two"});
    EXPECT_STREQ(rs.curPath, "C:\\two");
    EXPECT_EQ(rs.showDirs, 'L');
    EXPECT_TRUE(rs.condensed);
    resetRunState();
    parse({"/C", "/S"});
    EXPECT_EQ(rs.showDirs, 'S');
    EXPECT_TRUE(rs.condensed);
    resetRunState();
    parse({"/Short", "/p", "/X", "/H"});
    EXPECT_EQ(rs.showDirs, 'S');
    EXPECT_TRUE(rs.pausePerScreen);
    EXPECT_FALSE(rs.condensed);
}

TEST_F(CommandLineTest, AllDrivesRequestsEmptyTheDriveList) {
    const char *requests[] = {"/ALL", "/all", "/AllDrives", "/~", "~"};
    for (const char *request : requests) {
        resetRunState();
        std::memcpy(rs.driveList, "C:\\\0D:\\\0", 9);
        parse({request});
        EXPECT_EQ(rs.runMode, '~') << request;
        EXPECT_EQ(rs.driveList[0], '\0') << request;
    }
    resetRunState();
    parse({"/AL"});
    EXPECT_EQ(rs.runMode, ' ');
}

TEST_F(CommandLineTest, OverlongTargetsAreRefusedWithoutOverrun) {
    std::string huge(600, 'x');
    EXPECT_EQ(parse({"/L", huge}), 1);
    EXPECT_EQ(out(), "Folmar==>  Target path too long: " + std::string(60, 'x') + "...\n");
    resetRunState();
    fakeReset();
    std::string tooDeep = "C:\\" + std::string(300, 'y');
    EXPECT_EQ(parse({"/L", tooDeep}), 1);
    EXPECT_NE(out().find("Target path too long: C:\\yyy"), std::string::npos);
    resetRunState();
    std::string fits = "C:\\" + std::string(256, 'z');
    EXPECT_EQ(parse({"/L", fits}), 0);
    EXPECT_EQ(std::strlen(rs.curPath), 259u);
}

TEST_F(CommandLineTest, CurrentDirectoryOnNoDriveStopsASinglePathRun) {
    fakeSetCurrentDirectoryOffDrive("/opt/elsewhere");
    EXPECT_EQ(parse({}), 1);
    EXPECT_EQ(out(), "Folmar==>  The current directory is on no drive: /opt/elsewhere\n");
    resetRunState();
    EXPECT_EQ(parse({"D:\\x"}), 0);
    resetRunState();
    EXPECT_EQ(parse({"/ALL"}), 0);
}

}  // namespace
