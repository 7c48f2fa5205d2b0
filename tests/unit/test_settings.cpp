// The settings file reader: which file is read, where the settings section
// begins and ends, how a key line is recognised and its value cut out, what
// each key accepts, and how damaged or unusual files are read.
#include <cstring>
#include <string>

#include "settings/settings.h"
#include "tests/unit/fixture.h"

namespace {

const char *const exampleFile =
    "; report settings\n"
    "[Folmar settings]\n"
    "showDirs = long\n"
    "showFiles=S    ; list files by short name\n"
    "lineWidthPrint = 112\n"
    "pageSize = 58\n"
    "processRemoteDrives = y\n"
    "outputFile = D:\\reports\\sizes.txt\n"
    "[Other]\n";

class SettingsTest : public FolmarTest {
protected:
    // Reads `text` as "Folmar.ini" of the current directory.
    void readFile(const std::string &text) {
        fakePutFile("Folmar.ini", text);
        readSettings();
    }
    // A fresh machine and RunState, for one more case within a test.
    void fresh() {
        fakeReset();
        resetRunState();
    }
    // A fresh start, then a file of one settings section holding `keyLine`.
    void readKeyLine(const std::string &keyLine) {
        fresh();
        readFile("[Folmar options]\n" + keyLine + "\n");
    }
    // The bytes of rs.driveList.
    std::string driveListBytes() { return std::string(rs.driveList, sizeof rs.driveList); }
    // The 109 bytes of a drive list holding an entry per letter.
    std::string driveListOf(const std::string &letters) {
        std::string bytes;
        for (char c : letters) bytes += std::string(1, c) + ":\\" + std::string(1, '\0');
        return bytes + std::string(sizeof rs.driveList - bytes.size(), '\0');
    }
};

TEST_F(SettingsTest, ExampleFileSetsEachKeyItNamesAndClosesTheFile) {
    readFile(exampleFile);
    EXPECT_EQ(rs.showDirs, 'L');
    EXPECT_EQ(rs.showFiles, 'S');
    EXPECT_EQ(rs.lineWidthPrint, 112);
    EXPECT_EQ(rs.lineWidth, 112);
    EXPECT_EQ(rs.pageSize, 58);
    EXPECT_EQ(rs.processLocalDrives, 'Y');
    EXPECT_EQ(rs.processRemoteDrives, 'Y');
    EXPECT_STREQ(rs.outputFile, "D:\\reports\\sizes.txt");
    EXPECT_EQ(rs.driveList[0], '\0');
    EXPECT_EQ(rs.runMode, ' ');
    EXPECT_EQ(rs.settingsLineNumber, 9);
    EXPECT_EQ(rs.settingsFile, nullptr);
    EXPECT_EQ(out(), "");
}

TEST_F(SettingsTest, FileOfTheCurrentDirectoryWinsOverTheSharedOne) {
    fakePutFile("C:\\Orvan\\Folmar.ini", "[Folmar x]\npageSize=60\nshowFiles=L\n");
    readFile("[Folmar x]\npageSize=57\n");
    EXPECT_EQ(rs.pageSize, 57);
    EXPECT_EQ(rs.showFiles, 'N');
}

TEST_F(SettingsTest, SharedFileIsReadWhenTheCurrentDirectoryHasNone) {
    fakePutFile("C:\\Orvan\\Folmar.ini", "[Folmar x]\npageSize=56\n");
    readSettings();
    EXPECT_EQ(rs.pageSize, 56);
    EXPECT_EQ(out(), "");
}

TEST_F(SettingsTest, WithoutAFileTheDefaultsAreAnnouncedAndAKeyIsAwaited) {
    fakeSetConsole(true);
    fakePressLater('x');
    readSettings();
    EXPECT_EQ(out(),
              "\n"
              "Folmar==>  C:\\Orvan\\Folmar.ini File Not Found \n"
              "Folmar==>  Default Parameters will be used \n"
              "Folmar==>  Press Enter to continue \n");
    EXPECT_EQ(fakeBlockedReads(), 1);
    EXPECT_EQ(fakeKeysRead(), 1);
    EXPECT_EQ(rs.showDirs, 'L');
    EXPECT_EQ(rs.showFiles, 'N');
    EXPECT_EQ(rs.lineWidth, 125);
    EXPECT_EQ(rs.lineWidthPrint, 125);
    EXPECT_EQ(rs.pageSize, 60);
    EXPECT_EQ(rs.processLocalDrives, 'Y');
    EXPECT_EQ(rs.processRemoteDrives, 'N');
    EXPECT_STREQ(rs.outputFile, "C:\\FolmarAll.txt");
    EXPECT_EQ(rs.settingsFile, nullptr);
}

TEST_F(SettingsTest, FileWithoutASettingsSectionChangesNothing) {
    readFile("showFiles=S\npageSize=58\nlineWidthPrint=100\n[Other]\nshowDirs=N\n");
    EXPECT_EQ(rs.showFiles, 'N');
    EXPECT_EQ(rs.showDirs, 'L');
    EXPECT_EQ(rs.pageSize, 55);
    EXPECT_EQ(rs.lineWidthPrint, 0);
    EXPECT_EQ(rs.lineWidth, 0);
    EXPECT_EQ(rs.settingsFile, nullptr);
    EXPECT_EQ(out(), "");
}

TEST_F(SettingsTest, SectionLineIsABracketInColumnOneThenFolmarAndABlank) {
    struct Case {
        const char *sectionLine;
        bool opens;
    } cases[] = {
        {"[Folmar settings]", true}, {"[folmar options]", true}, {"[FOLMAR ", true},
        {"[Folmar]", false},         {" [Folmar x]", false},     {"\t[Folmar x]", false},
        {"[Folmar\tx]", false},      {"[Folmarx]", false},       {"Folmar x", false},
    };
    for (const Case &c : cases) {
        fresh();
        readFile(std::string(c.sectionLine) + "\nshowFiles=S\n");
        EXPECT_EQ(rs.showFiles, c.opens ? 'S' : 'N') << c.sectionLine;
    }
}

TEST_F(SettingsTest, CommentsBlankLinesAndUnknownKeysAreSkippedSilently) {
    readFile("[Folmar x]\n"
             ";showFiles=S\n"
             "'showFiles=S\n"
             "\\showFiles=S\n"
             "  \t ; indented comment\n"
             "\n"
             "   \t\n"
             "colour=blue\n"
             "showFile=S\n"
             "\t  showDirs = N\n");
    EXPECT_EQ(rs.showFiles, 'N');
    EXPECT_EQ(rs.showDirs, 'N');
    EXPECT_EQ(out(), "");
}

TEST_F(SettingsTest, KeyNameMatchesInAnyCaseWithAnyTextBeforeTheEquals) {
    readKeyLine("SHOWDIRS=S");
    EXPECT_EQ(rs.showDirs, 'S');
    readKeyLine("showDirsMode=S");
    EXPECT_EQ(rs.showDirs, 'S');
    readKeyLine("pagesize and more = 57");
    EXPECT_EQ(rs.pageSize, 57);
}

TEST_F(SettingsTest, LetterKeysTakeTheFirstCharacterOfAnAcceptedValue) {
    struct Case {
        const char *line;
        char RunState::*field;
        char expected;
    } cases[] = {
        {"showDirs = yes", &RunState::showDirs, 'L'},
        {"showDirs = short", &RunState::showDirs, 'S'},
        {"showDirs = n", &RunState::showDirs, 'N'},
        {"showDirs = X", &RunState::showDirs, 'L'},
        {"showFiles = Long", &RunState::showFiles, 'L'},
        {"showFiles = s", &RunState::showFiles, 'S'},
        {"showFiles = Y", &RunState::showFiles, 'N'},
        {"processLocalDrives = no", &RunState::processLocalDrives, 'N'},
        {"processLocalDrives = L", &RunState::processLocalDrives, 'Y'},
        {"processRemoteDrives = Yes", &RunState::processRemoteDrives, 'Y'},
        {"processRemoteDrives = 1", &RunState::processRemoteDrives, 'N'},
    };
    for (const Case &c : cases) {
        readKeyLine(c.line);
        EXPECT_EQ(rs.*c.field, c.expected) << c.line;
    }
}

TEST_F(SettingsTest, NumberKeysTakeOnlyTheirRange) {
    struct Case {
        const char *value;
        int lineWidthPrint;  // after "lineWidthPrint = value"
    } widths[] = {{"74", 0},  {"75", 75},  {"125", 125}, {"126", 0},
                  {"+90", 90}, {"-100", 0}, {"abc", 0},  {"4294967396", 0}};
    for (const auto &c : widths) {
        readKeyLine(std::string("lineWidthPrint = ") + c.value);
        EXPECT_EQ(rs.lineWidthPrint, c.lineWidthPrint) << c.value;
        EXPECT_EQ(rs.lineWidth, c.lineWidthPrint) << c.value;
    }
    struct {
        const char *value;
        int pageSize;
    } pages[] = {{"54", 55}, {"55", 55}, {"56", 56}, {"60", 60}, {"61", 55}, {"58lines", 58},
                 {"0058", 58}};
    for (const auto &c : pages) {
        readKeyLine(std::string("pageSize = ") + c.value);
        EXPECT_EQ(rs.pageSize, c.pageSize) << c.value;
    }
}

TEST_F(SettingsTest, ValueStartsAfterTheFirstEqualsAndEndsAtTheFirstBlank) {
    readKeyLine("outputFile = C:\\My Reports\\x.txt");
    EXPECT_STREQ(rs.outputFile, "C:\\My");
    readKeyLine("outputFile=\t \ta\tb=c d");
    EXPECT_STREQ(rs.outputFile, "a\tb=c");
    readKeyLine("outputFile =   ");
    EXPECT_STREQ(rs.outputFile, "C:\\FolmarAll.txt");
    readKeyLine("outputFile = ; no value");
    EXPECT_STREQ(rs.outputFile, ";");
}

TEST_F(SettingsTest, LaterLinesOverrideEarlierOnesAndRefusedValuesKeepThem) {
    readFile("[Folmar x]\npageSize=56\npageSize=59\npageSize=99\nshowDirs=S\nshowDirs=?\n");
    EXPECT_EQ(rs.pageSize, 59);
    EXPECT_EQ(rs.showDirs, 'S');
}

TEST_F(SettingsTest, KeyLineWithoutEqualsIsReportedWithItsRecordNumber) {
    fakeSetConsole(true);
    fakePressLater('\r');
    readFile("; first\n"
             "\n"
             "[Folmar x]\n"
             "showFiles=L\n"
             "pageSize 57\n"
             "showDirs=S\n");
    EXPECT_EQ(out(),
              "Folmar==>  Invalid User Parameter Record \n"
              "Folmar==>  At record Number 5\n"
              "Folmar==>  Press Enter to continue \n");
    EXPECT_EQ(fakeBlockedReads(), 1);
    EXPECT_EQ(rs.pageSize, 55);
    EXPECT_EQ(rs.showFiles, 'L');
    EXPECT_EQ(rs.showDirs, 'S');
}

TEST_F(SettingsTest, DriveListIsRebuiltAsDriveRootsWhenItStartsWithCToZ) {
    readKeyLine("driveList = cde");
    EXPECT_EQ(driveListBytes(), driveListOf("CDE"));
    EXPECT_EQ(rs.runMode, '~');

    readKeyLine("driveList = ca");
    EXPECT_EQ(driveListBytes(), driveListOf("CA"));

    for (const char *refused : {"driveList = ab", "driveList = 1c", "driveList = [c"}) {
        readKeyLine(refused);
        EXPECT_EQ(driveListBytes(), driveListOf("")) << refused;
        EXPECT_EQ(rs.runMode, ' ') << refused;
    }
}

TEST_F(SettingsTest, SecondDriveListReplacesTheFirstCompletely) {
    readFile("[Folmar x]\ndriveList=cdefgh\ndriveList=z\n");
    EXPECT_EQ(driveListBytes(), driveListOf("Z"));
}

TEST_F(SettingsTest, DriveListOfMoreThan27LettersKeepsTheFirst27) {
    const std::string letters = "CDEFGHIJKLMNOPQRSTUVWXYZCDEFGHIJ";  // 32
    readKeyLine("driveList=" + letters);
    EXPECT_EQ(driveListBytes(), driveListOf(letters.substr(0, 27)));
    EXPECT_EQ(rs.runMode, '~');
}

TEST_F(SettingsTest, LineOf100CharactersIsReadAsTwoPiecesOf80And20) {
    const std::string first = "showDirs=S" + std::string(70, 'x');
    const std::string second = "pageSize=57" + std::string(9, ' ');
    readFile("[Folmar x]\n" + first + second + "\npageSize 56\n");
    EXPECT_EQ(rs.showDirs, 'S');
    EXPECT_EQ(rs.pageSize, 57);
    EXPECT_NE(out().find("At record Number 4\n"), std::string::npos) << out();
}

TEST_F(SettingsTest, SectionEndsAtABracketLineWhichIsNotASectionLineItself) {
    readFile("[Folmar one]\nshowFiles=S\n  [Folmar two]\npageSize=57\n");
    EXPECT_EQ(rs.showFiles, 'S');
    EXPECT_EQ(rs.pageSize, 55);

    fresh();
    readFile("[Folmar one]\nshowFiles=S\n[Other]\nshowDirs=N\n[Folmar two]\npageSize=57\n");
    EXPECT_EQ(rs.showFiles, 'S');
    EXPECT_EQ(rs.showDirs, 'L');
    EXPECT_EQ(rs.pageSize, 57);
}

TEST_F(SettingsTest, CarriageReturnsOfCrLfLineEndsNeverReachAValue) {
    std::string crlf;
    for (const char *p = exampleFile; *p; ++p) crlf += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    readFile(crlf);
    EXPECT_STREQ(rs.outputFile, "D:\\reports\\sizes.txt");
    EXPECT_EQ(rs.pageSize, 58);
    EXPECT_EQ(rs.settingsLineNumber, 9);

    // 79 characters and CR LF are one piece, as the line break counts once.
    fresh();
    readFile("[Folmar x]\r\noutputFile=" + std::string(68, 'a') + "\r\npageSize=57\r\n");
    EXPECT_EQ(std::string(rs.outputFile), std::string(68, 'a'));
    EXPECT_EQ(rs.pageSize, 57);
    EXPECT_EQ(rs.settingsLineNumber, 3);

    fresh();
    readFile("[Folmar x]\r\noutputFile=a.txt\r");
    EXPECT_STREQ(rs.outputFile, "a.txt");
}

TEST_F(SettingsTest, NulBytesEndTheTextOfTheirPieceOnly) {
    const char raw[] = "[Folmar x]\nshowFiles=S\0pageSize=60\n\0pageSize=58\npageSize=57";
    readFile(std::string(raw, sizeof raw - 1));
    EXPECT_EQ(rs.showFiles, 'S');
    EXPECT_EQ(rs.pageSize, 57);
    EXPECT_EQ(rs.settingsLineNumber, 4);
}

TEST_F(SettingsTest, BinaryGarbageAndThousandsOfLinesAreReadToTheEnd) {
    const char rawGarbage[] = "\x01\xff\r\x7f\0\x1b[A\xe0=\x80\t\f\v;=\n";
    const std::string garbage(rawGarbage, sizeof rawGarbage - 1);
    std::string text = "[Folmar x]\n";
    for (int i = 0; i < 5000; ++i) text += "showFiles=L\n" + garbage;
    text += "pageSize=59";
    readFile(text);
    EXPECT_EQ(rs.pageSize, 59);
    EXPECT_EQ(rs.showFiles, 'L');
    EXPECT_EQ(rs.settingsLineNumber, 10002);
}

}  // namespace
