// The export: the whole walk in ncdu's JSON format or as CSV, whatever the
// report shows, the report and standard output as they are without it; the
// path from /X: or the settings, refused before the walk, or failed.
#include "tests/unit/fixture.h"

class ExportTest : public FolmarTest {
protected:
    // C:\T: two files, one named with a quote and a control character, S,"1"
    // with a file and an empty E, D that cannot be read, a dot directory .h.
    void prepare() override {
        fakeAddDrive('C', driveFixed);
        fakeAddFile("C:\\T\\a", 10);
        fakeAddFile("C:\\T\\q\"b\x01", 5000);
        fakeAddFile("C:\\T\\S,\"1\"\\x", 1);
        fakeAddDir("C:\\T\\S,\"1\"\\E");
        fakeAddFile("C:\\T\\D\\y", 7);
        fakeFailDir("C:\\T\\D");
        fakeAddFile("C:\\T\\.h\\z", 9);
    }
};

static const std::string json = "[1,2,{\"progname\":\"folmar\",\"progver\":\"5.1b\"},\n"
                                 "[{\"name\":\"C:\\\\T\"},\n"
                                 "{\"name\":\"a\",\"asize\":10,\"dsize\":4096},\n"
                                 "{\"name\":\"q\\\"b\\u0001\",\"asize\":5000,\"dsize\":8192},\n"
                                 "[{\"name\":\"S,\\\"1\\\"\"},\n"
                                 "{\"name\":\"x\",\"asize\":1,\"dsize\":4096},\n"
                                 "[{\"name\":\"E\"}]],\n"
                                 "[{\"name\":\"D\",\"read_error\":true}],\n"
                                 "[{\"name\":\".h\"},\n"
                                 "{\"name\":\"z\",\"asize\":9,\"dsize\":4096}]]]\n";
static const std::string csv = "\xEF\xBB\xBFPath,Bytes,Files,Subdirectories,Subtree Files,Subtree Bytes,Read\r\n"
                               "\"C:\\T\\S,\"\"1\"\"\\E\",0,0,0,0,0,yes\r\n"
                               "\"C:\\T\\S,\"\"1\"\"\",1,1,1,1,1,yes\r\n"
                               "C:\\T\\D,,,,,,no\r\n"
                               "C:\\T\\.h,9,1,0,1,9,yes\r\n"
                               "C:\\T,5010,2,4,4,5020,yes\r\n";

// A folder left out by a pattern: marked as ncdu marks one, in no figure,
// without a CSV row.
static const std::string jsonExcluded = json.substr(0, json.find("[{\"name\":\"S")) +
                                        "{\"name\":\"S,\\\"1\\\"\",\"excluded\":\"pattern\"},\n" +
                                        json.substr(json.find("[{\"name\":\"D"));
static const std::string csvExcluded = csv.substr(0, csv.find("\"C:")) + "C:\\T\\D,,,,,,no\r\n"
                                                                  "C:\\T\\.h,9,1,0,1,9,yes\r\nC:\\T,5010,2,2,3,5019,yes\r\n";

// The same export with and without /C and with showDirs=N, from /X: or the
// settings (the command line wins), and the report of a run without it.
TEST_F(ExportTest, ExportHoldsTheWholeWalkAndLeavesTheReportAsItIs) {
    struct Case { std::vector<std::string> args; std::string settings, exportSetting, file, expected; };
    const Case cases[] = {
        {{"C:\\T", "/X:C:\\e.json"}, "", "", "C:\\e.json", json},
        {{"C:\\T", "/C", "/X:C:\\e.json"}, "", "", "C:\\e.json", json},
        {{"C:\\T"}, "showDirs=N\n", "exportFile=C:\\e.json\n", "C:\\e.json", json},
        {{"C:\\T", "/x:C:\\e.CSV"}, "", "exportFile=C:\\other.json\n", "C:\\e.CSV", csv},
        {{"C:\\T", "/I:s*", "/X:C:\\e.json"}, "", "", "C:\\e.json", jsonExcluded},
        {{"C:\\T", "/X:C:\\e.csv"}, "exclude=s*\n", "", "C:\\e.csv", csvExcluded},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.back() + " " + c.exportSetting);
        std::string without;
        for (bool exported : {false, true}) {
            fresh();
            fakePutFile("Folmar.ini", "[Folmar x]\n" + c.settings + (exported ? c.exportSetting : ""));
            std::vector<std::string> args;
            for (const std::string &arg : c.args)
                if (exported || (arg[1] != 'X' && arg[1] != 'x')) args.push_back(arg);  // no /X: without
            EXPECT_EQ(run(args), 0);
            if (!exported) without = out();
        }
        EXPECT_EQ(out(), without);
        EXPECT_EQ(fakeFileText(c.file.c_str()), c.expected);
        EXPECT_FALSE(fakeFileExists("C:\\other.json"));
    }
}

// All drives: a folder of the drives, an empty one among them; the report
// file as it is without the export.
TEST_F(ExportTest, AllDrivesExportHasAFolderOfTheDrives) {
    std::string report;
    for (bool exported : {false, true}) {
        fresh();
        fakeAddDrive('D', driveFixed);
        std::vector<std::string> args = {"/ALL"};
        if (exported) args.push_back("/X:D:\\all.json");
        EXPECT_EQ(run(args), 0);
        if (!exported) report = fakeFileText("C:\\FolmarAll.txt");
    }
    EXPECT_EQ(fakeFileText("C:\\FolmarAll.txt"), report);
    const std::string text = fakeFileText("D:\\all.json");
    EXPECT_EQ(text.substr(0, text.find("[{\"name\":\"T\"}")), json.substr(0, json.find('\n') + 1) +
                                                                 "[{\"name\":\"All drives\"},\n[{\"name\":\"C:\\\\\"},\n");
    EXPECT_TRUE(endsWith(text, "\"asize\":9,\"dsize\":4096}]]],\n[{\"name\":\"D:\\\\\"}]]]\n"));
}

// Each refused before anything is walked, or failed after the walk; exit
// code 1 and the file that was there left as it was.
TEST_F(ExportTest, AnExportRefusedOrNotWrittenEndsWithExitCodeOne) {
    struct Case { std::vector<std::string> args; void (*fault)(); std::string messages; bool walked; };
    const Case cases[] = {
        {{"C:\\T", "/X:C:\\e_json"}, nullptr, "Folmar==>  Unable to export to C:\\e_json \n"
                                             "Folmar==>  The name of an export file ends in .json or .csv \n", false},
        {{"C:\\T", "/X:C:\\" + std::string(300, 'e') + ".json"}, nullptr,
         "Folmar==>  Export path too long: C:\\" + std::string(57, 'e') + "...\n", false},
        {{"C:\\T", "/X:C:\\e.json"}, [] { fakeFailOpen("C:\\e.json"); },
         "Folmar==>  Unable to open the export file C:\\e.json \n"
         "Folmar==>  Program will terminate \n", false},
        {{"/ALL", "/X:.\\Sub\\..\\folmarall.JSON"},  // a name not there yet, spelled another way
         [] { fakePutFile("Folmar.ini", "[Folmar x]\nlineWidthPrint=90\noutputFile=C:\\FolmarAll.json\n"); },
         "Folmar==>  Unable to use the export file .\\Sub\\..\\folmarall.JSON \n"
         "Folmar==>  It is the output file of this run \n", false},
        {{"C:\\T", "/X:C:\\e.json"}, [] { fakeFullDisk("C:\\e.json"); },
         "Folmar==>  Unable to write the export file C:\\e.json \n"
         "Folmar==>  Most likely the disk drive is full \n", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.messages);
        fresh();
        fakePutFile("C:\\e.json", "the previous export\n");
        if (c.fault) c.fault();
        EXPECT_EQ(run(c.args), 1);
        EXPECT_TRUE(endsWith(out(), c.messages));
        EXPECT_EQ(contains(out(), "Directory Drive") || contains(out(), "Processing Drive"), c.walked);
        EXPECT_EQ(fakeFileText("C:\\e.json"), "the previous export\n");
        EXPECT_EQ(fakeAbandonedReplacements(), c.walked ? 1 : 0);  // the export begun, then given up
    }
}
