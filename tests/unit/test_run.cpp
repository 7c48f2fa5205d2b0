// The start-up of the program in process, on the fake machine: help, the
// system level, the nothing-to-do stop, the line width, and a complete
// single-path report.
#include <vector>

#include "tests/unit/fixture.h"
#include "app/app.h"

namespace {

class RunTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        fakeAddDrive('C', driveFixed);
        fakeSetCurrentDirectory("C:\\");
    }
    int run(std::vector<std::string> args) {
        CommandLine line(std::move(args));
        return folmarMain(line.argc(), line.argv());
    }
};

TEST_F(RunTest, HelpScreenWaitsAndEndsWithExitCodeOne) {
    fakeSetConsole(true);
    fakeTypeKey('x');
    EXPECT_EQ(run({"/?"}), 1);
    std::string text = out();
    EXPECT_EQ(text.rfind("Folmar==>  Ver. 5.1b of 18 January, 2008 \n\nFolmar (Ver. 5.1b) Usage:", 0), 0u);
    EXPECT_NE(text.find("      /C       Condensed Output (shows first level suddirectories only) \n"),
              std::string::npos);
    EXPECT_NE(text.find("Folmar==>  Press Enter to continue \n"), std::string::npos);
    EXPECT_EQ(fakeKeysRead(), 1);
    EXPECT_EQ(text.find("Directory Drive"), std::string::npos);
}

TEST_F(RunTest, FailedVersionQueryStopsWithExitCodeZero) {
    fakeFailVersion();
    fakeAddFile("C:\\f", 1);
    EXPECT_EQ(run({"C:\\"}), 0);
    std::string text = out();
    EXPECT_NE(text.find("Folmar==> GetVersionEx() failed in main() \nFolmar==> Program will abort \n"
                        "Folmar==>  Press Enter to continue \n"),
              std::string::npos);
    EXPECT_EQ(text.find("Directory Drive"), std::string::npos);
}

TEST_F(RunTest, BuildNumberChoosesTheDiskQuery) {
    fakeSetBuild(1000);
    run({"C:\\"});
    EXPECT_EQ(rs.osLevel, 'O');
    fakeReset();
    fakeAddDrive('C', driveFixed);
    fakeSetBuild(1001);
    run({"C:\\"});
    EXPECT_EQ(rs.osLevel, 'N');
    fakeReset();
    fakeAddDrive('C', driveFixed);
    fakeSetBuild(0x040003B6);  // Windows 95: only the low 16 bits count (950)
    run({"C:\\"});
    EXPECT_EQ(rs.osLevel, 'O');
}

TEST_F(RunTest, ConsoleIsSeventyEightWideWhateverTheSettingsSay) {
    fakePutFile("Folmar.ini", "[Folmar settings]\nlineWidthPrint=112\n");
    fakeSetStdoutCharDevice(true);
    run({"C:\\"});
    EXPECT_EQ(rs.lineWidth, 78);
    EXPECT_EQ(rs.pathColumn, 64);
    EXPECT_EQ(rs.wrapFloor, 32u);
    EXPECT_EQ(rs.cpi, 12);
}

TEST_F(RunTest, RedirectedWidthComesFromTheSettingsOrFallsBackTo125) {
    run({"C:\\"});  // no settings file: the defaults
    EXPECT_EQ(rs.lineWidth, 125);
    EXPECT_EQ(rs.cpi, 17);
    fakeReset();
    fakeAddDrive('C', driveFixed);
    fakePutFile("Folmar.ini", "[Folmar settings]\nlineWidthPrint=90\n");
    run({"C:\\"});
    EXPECT_EQ(rs.lineWidth, 90);
    EXPECT_EQ(rs.cpi, 12);
    fakeReset();
    fakeAddDrive('C', driveFixed);
    fakePutFile("Folmar.ini", "[Folmar settings]\nshowFiles=N\n");  // no width given
    run({"C:\\"});
    EXPECT_EQ(rs.lineWidth, 125);
}

TEST_F(RunTest, BothDriveKindsOffIsNothingToDoEvenForOnePath) {
    fakePutFile("Folmar.ini",
                "[Folmar settings]\nprocessLocalDrives=N\nprocessRemoteDrives=N\n");
    fakeAddFile("C:\\data\\f", 1);
    EXPECT_EQ(run({"C:\\data"}), 0);
    std::string text = out();
    EXPECT_NE(text.find("Folmar==>  Nothing to do \n"
                        "Folmar==>  processLocalDrives and processRemoteDrives \n"
                        "Folmar==   ..are both set to (N)o in C:\\Orvan\\Folmar.ini\n"
                        "Folmar==>  Press Enter to continue \n"),
              std::string::npos);
    EXPECT_EQ(text.find("Directory Drive"), std::string::npos);
}

// A whole single-path report, redirected at width 90, written out in full.
TEST_F(RunTest, SinglePathReportIsExactToTheColumn) {
    fakePutFile("Folmar.ini", "[Folmar settings]\nlineWidthPrint=90\n");
    fakeAddFile("C:\\Data\\report.txt", 1234);
    fakeAddFile("C:\\Data\\Sub\\a.bin", 5368709120ull);
    fakeAddDir("C:\\Data\\Empty");
    fakeSetDiskSpaceEx('C', 39000000000ull, 80000000000ull, 40000000000ull);
    EXPECT_EQ(run({"/L", "C:\\Data"}), 0);
    std::string expected =
        "Folmar==>  Ver. 5.1b   18 January, 2008 \n"
        "Folmar==>  Directory Summary Report Generator \n"
        "Folmar==>  from Orvan Software \n"
        "Folmar==>  email: sales@orvan.example \n"
        "\n"
        "Directory Drive C   Page  1" + std::string(21 + 12 + 23, ' ') + "Bytes \n"
        "---------" + std::string(25 + 32 + 12, ' ') + "---------- \n"
        "C:\\Data" + std::string(76 - 7, '.') + std::string(8, '.') + " 1,234\n"
        "C:\\Data\\Sub" + std::string(76 - 11, '.') + " 5,368,709,120\n"
        "C:\\Data\\Empty" + std::string(76 - 13, '.') + std::string(12, '.') + " 0\n"
        "\n"
        "   Number of Dirs.     =               3\n"
        "   Number of Files     =               2\n"
        "   Allocation          =   5,368,710,354  (File Sizes) \n"
        "\n"
        "   Free Space          =  40,000,000,000  (Sectors) \n"
        "   Free space Avail.   =  39,000,000,000  (Free Space) \n"
        "   Capacity            =  80,000,000,000  (Bytes) \n"
        "\n";
    std::string text = out();
    size_t start = text.find("Folmar==>  Ver.");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(text.substr(start), expected);
}

}  // namespace
