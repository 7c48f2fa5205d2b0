// The program in process on the fake machine: the stops before a report, the
// system level and line width, and a complete single-path report.
#include "tests/unit/fixture.h"

namespace {

class RunTest : public FolmarTest {
protected:
    void prepare() override {
        fakeAddDrive('C', driveFixed);
        fakeSetCurrentDirectory("C:\\");
    }
    int run(std::vector<std::string> args) {
        CommandLine line(std::move(args));
        return folmarMain(line.argc(), line.argv());
    }
};

}  // namespace

// Each stops before any report, after its messages and a wait for a key.
TEST_F(RunTest, HelpFailedVersionQueryAndNothingToDoStopTheRun) {
    struct Case { const char *name; void (*setUp)(); const char *arg; int exitCode; const char *text; };
    const Case cases[] = {
        {"help", [] {}, "/?", 1,
         "Folmar==>  Ver. 5.1b of 18 January, 2008 \n\nFolmar (Ver. 5.1b) Usage:  Folmar  parm \n"},
        {"version query fails", [] { fakePutFile("Folmar.ini", "[Folmar settings]\n"), fakeFailVersion(); }, "C:\\", 0,
         "Folmar==> GetVersionEx() failed in main() \nFolmar==> Program will abort \n"},
        {"both drive kinds off",
         [] { fakePutFile("Folmar.ini", "[Folmar settings]\nprocessLocalDrives=N\nprocessRemoteDrives=N\n"); },
         "C:\\", 0,
         "Folmar==>  Nothing to do \n"
         "Folmar==>  processLocalDrives and processRemoteDrives \n"
         "Folmar==   ..are both set to (N)o in C:\\Orvan\\Folmar.ini\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        c.setUp();
        fakeSetConsole(true);
        fakePressLater('x');
        EXPECT_EQ(run({c.arg}), c.exitCode);
        EXPECT_TRUE(contains(out(), c.text));
        EXPECT_TRUE(endsWith(out(), "Folmar==>  Press Enter to continue \n"));
        EXPECT_EQ(fakeBlockedReads(), 1);
        EXPECT_FALSE(contains(out(), "Directory Drive"));
    }
}

// The disk query follows the build number, of which only the low 16 bits
// count (Windows 95 reports 0x040003B6: 950). The console is 78 wide whatever
// the settings say; redirected output takes the settings' width, or 125.
TEST_F(RunTest, StartUpFixesTheDiskQueryAndTheLineWidth) {
    struct Case { const char *settings; bool console; uint32_t build; char osLevel; int lineWidth, cpi; };
    const Case cases[] = {
        {"[Folmar settings]\nlineWidthPrint=112\n", true, 1000, 'O', 78, 12},
        {nullptr, false, 1001, 'N', 125, 17},
        {"[Folmar settings]\nlineWidthPrint=90\n", false, 0x040003B6, 'O', 90, 12},
        {"[Folmar settings]\nshowFiles=N\n", false, 1001, 'N', 125, 17},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.settings ? c.settings : "no settings file");
        fresh();
        if (c.settings) fakePutFile("Folmar.ini", c.settings);
        fakeSetStdoutCharDevice(c.console);
        fakeSetBuild(c.build);
        run({"C:\\"});
        EXPECT_EQ(rs.osLevel, c.osLevel);
        EXPECT_EQ(rs.lineWidth, c.lineWidth);
        EXPECT_EQ(rs.pathColumn, c.lineWidth - 14);
        EXPECT_EQ(rs.wrapFloor, (unsigned)(c.lineWidth - 14) / 2);
        EXPECT_EQ(rs.cpi, c.cpi);
    }
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
    EXPECT_EQ(out(), expected);
}
