// The settings file reader: the settings section, key lines and their values,
// what each key accepts, and how damaged or unusual files are read.
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
};

// What the settings set, as text, for the table below.
std::string showDirs() { return std::string(1, rs.showDirs); }
std::string showFiles() { return std::string(1, rs.showFiles); }
std::string drives() { return std::string(1, rs.processLocalDrives) + rs.processRemoteDrives; }
std::string pageSize() { return std::to_string(rs.pageSize); }
std::string width() { return std::to_string(rs.lineWidthPrint) + "/" + std::to_string(rs.lineWidth); }
std::string outputFile() { return rs.outputFile; }
// The run mode, then the drive list's roots; "!" when bytes follow the list's end.
std::string driveList() {
    std::string text(1, rs.runMode);
    const std::string bytes(rs.driveList, sizeof rs.driveList);
    size_t at = 0;
    for (; at + 4 <= bytes.size() && bytes[at] != 0; at += 4) text += " " + bytes.substr(at, 3);
    if (bytes.find_first_not_of('\0', at) != std::string::npos) text += "!";
    return text;
}
// Every setting, then the number of lines read.
std::string summary() {
    return showDirs() + showFiles() + drives() + " " + pageSize() + " " + width() + " " +
           outputFile() + " [" + driveList() + "] #" + std::to_string(rs.settingsLineNumber);
}

}  // namespace

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
    EXPECT_EQ(summary(), "LNYN 60 125/125 C:\\FolmarAll.txt [ ] #0");
    EXPECT_EQ(rs.settingsFile, nullptr);
}

// Each row: the lines of one settings section, what is read back, and its
// value after the file. Without a file key the values are L, N, Y, N, 55,
// 0/0, C:\FolmarAll.txt and no drive list.
TEST_F(SettingsTest, KeyLinesAndTheValuesEachKeyAccepts) {
    struct Case { const char *lines; std::string (*field)(); const char *expected; };
    const Case cases[] = {
        // Key names: any case, compared over their own length.
        {"SHOWDIRS=S", showDirs, "S"}, {"showDirsMode=S", showDirs, "S"}, {"pagesize and more = 57", pageSize, "57"},
        {"showFile=S", showFiles, "N"}, {"colour=blue", outputFile, "C:\\FolmarAll.txt"},
        // Letter keys: the first character of an accepted value; Y counts as L; refused keeps the earlier value.
        {"showDirs=S\nshowDirs = yes", showDirs, "L"}, {"showDirs = short", showDirs, "S"},
        {"showDirs = n", showDirs, "N"}, {"showDirs=S\nshowDirs = X", showDirs, "S"},
        {"showFiles = Long", showFiles, "L"}, {"showFiles = s", showFiles, "S"}, {"showFiles = Y", showFiles, "N"},
        {"processLocalDrives = no", drives, "NN"}, {"processLocalDrives = L", drives, "YN"},
        {"processRemoteDrives = Yes", drives, "YY"}, {"processRemoteDrives = 1", drives, "YN"},
        // Number keys: a decimal integer within the key's range; the last accepted wins.
        {"lineWidthPrint = 74", width, "0/0"}, {"lineWidthPrint = 75", width, "75/75"},
        {"lineWidthPrint = 125", width, "125/125"}, {"lineWidthPrint = 126", width, "0/0"},
        {"lineWidthPrint = +90", width, "90/90"}, {"lineWidthPrint = -100", width, "0/0"},
        {"lineWidthPrint = abc", width, "0/0"}, {"lineWidthPrint = 4294967396", width, "0/0"},
        {"pageSize = 54", pageSize, "55"}, {"pageSize = 56", pageSize, "56"}, {"pageSize = 60", pageSize, "60"},
        {"pageSize = 61", pageSize, "55"}, {"pageSize = 58lines", pageSize, "58"}, {"pageSize = 0058", pageSize, "58"},
        {"pageSize=56\npageSize=59\npageSize=99", pageSize, "59"},
        // The value: after the first '=', from its first non-blank to the next blank.
        {"outputFile = C:\\My Reports\\x.txt", outputFile, "C:\\My"},
        {"outputFile=\t \ta\tb=c d", outputFile, "a\tb=c"},
        {"outputFile =   ", outputFile, "C:\\FolmarAll.txt"}, {"outputFile = ; no value", outputFile, ";"},
        // Drive lists: rebuilt as roots when the first letter is C to Z; a second list replaces the first.
        {"driveList = cde", driveList, "~ C:\\ D:\\ E:\\"}, {"driveList = ca", driveList, "~ C:\\ A:\\"},
        {"driveList = ab", driveList, " "}, {"driveList = 1c", driveList, " "}, {"driveList = [c", driveList, " "},
        {"driveList=cdefgh\ndriveList=z", driveList, "~ Z:\\"},
        {"driveList=CDEFGHIJKLMNOPQRSTUVWXYZCDEFGHIJ", driveList,  // 32 letters: the first 27
         "~ C:\\ D:\\ E:\\ F:\\ G:\\ H:\\ I:\\ J:\\ K:\\ L:\\ M:\\ N:\\ O:\\ P:\\ Q:\\ R:\\ S:\\ T:\\ U:\\ V:\\ "
         "W:\\ X:\\ Y:\\ Z:\\ C:\\ D:\\ E:\\"},
    };
    for (const Case &c : cases) {
        fresh();
        readFile(std::string("[Folmar options]\n") + c.lines + "\n");
        EXPECT_EQ(c.field(), c.expected) << c.lines;
        EXPECT_EQ(out(), "") << c.lines;
    }
}

// Each row: a whole settings file, every setting after it (see summary()),
// and the record number of an invalid record reported, if any.
TEST_F(SettingsTest, WholeFilesAreReadPieceByPieceToTheirEnd) {
    std::string crlf;
    for (const char *p = exampleFile; *p; ++p) crlf += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    const char nul[] = "[Folmar x]\nshowFiles=S\0pageSize=60\n\0pageSize=58\npageSize=57";
    const char rawGarbage[] = "\x01\xff\r\x7f\0\x1b[A\xe0=\x80\t\f\v;=\n";
    std::string garbage = "[Folmar x]\n";
    for (int i = 0; i < 5000; ++i) garbage += "showFiles=L\n" + std::string(rawGarbage, sizeof rawGarbage - 1);
    struct Case { const char *name; std::string file, summary; int invalidRecord; };
    const Case cases[] = {
        {"the example", exampleFile, "LSYY 58 112/112 D:\\reports\\sizes.txt [ ] #9", 0},
        {"the example with CR LF", crlf, "LSYY 58 112/112 D:\\reports\\sizes.txt [ ] #9", 0},
        {"79 characters and CR LF are one piece",
         "[Folmar x]\r\noutputFile=" + std::string(68, 'a') + "\r\npageSize=57\r\n",
         "LNYN 57 0/0 " + std::string(68, 'a') + " [ ] #3", 0},
        {"a CR that ends the file", "[Folmar x]\r\noutputFile=a.txt\r", "LNYN 55 0/0 a.txt [ ] #2", 0},
        {"no settings section", "showFiles=S\npageSize=58\nlineWidthPrint=100\n[Other]\nshowDirs=N\n",
         "LNYN 55 0/0 C:\\FolmarAll.txt [ ] #5", 0},
        {"a section line in any case", "[folmar options]\nshowFiles=S\n", "LSYN 55 0/0 C:\\FolmarAll.txt [ ] #2", 0},
        {"a section line of eight characters", "[FOLMAR \nshowDirs=S\n", "SNYN 55 0/0 C:\\FolmarAll.txt [ ] #2", 0},
        {"no blank after the name", "[Folmar]\nshowFiles=S\n[Folmarx]\nshowDirs=S\n[Folmar\tx]\npageSize=56\n",
         "LNYN 55 0/0 C:\\FolmarAll.txt [ ] #6", 0},
        {"blank or tab before the bracket",
         " [Folmar x]\nshowFiles=S\n\t[Folmar x]\nshowDirs=S\nFolmar x\npageSize=56\n",
         "LNYN 55 0/0 C:\\FolmarAll.txt [ ] #6", 0},
        {"comments, blank lines and indented key lines",
         "[Folmar x]\n;showFiles=S\n'showFiles=S\n\\showFiles=S\n  \t ; indented comment\n\n   \t\n\t  showDirs = N\n",
         "NNYN 55 0/0 C:\\FolmarAll.txt [ ] #8", 0},
        {"a key line without '='", "; first\n\n[Folmar x]\nshowFiles=L\npageSize 57\nshowDirs=S\n",
         "SLYN 55 0/0 C:\\FolmarAll.txt [ ] #6", 5},
        {"a line of 100 characters is two pieces",
         "[Folmar x]\nshowDirs=S" + std::string(70, 'x') + "pageSize=57" + std::string(9, ' ') + "\npageSize 56\n",
         "SNYN 57 0/0 C:\\FolmarAll.txt [ ] #4", 4},
        {"a bracket line ends the section and opens none",
         "[Folmar one]\nshowFiles=S\n  [Folmar two]\npageSize=57\n", "LSYN 55 0/0 C:\\FolmarAll.txt [ ] #4", 0},
        {"a second section after another section",
         "[Folmar one]\nshowFiles=S\n[Other]\nshowDirs=N\n[Folmar two]\npageSize=57\n",
         "LSYN 57 0/0 C:\\FolmarAll.txt [ ] #6", 0},
        {"NUL bytes end the text of their piece only", std::string(nul, sizeof nul - 1),
         "LSYN 57 0/0 C:\\FolmarAll.txt [ ] #4", 0},
        {"binary garbage and thousands of lines", garbage + "pageSize=59",
         "LLYN 59 0/0 C:\\FolmarAll.txt [ ] #10002", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        fakeSetConsole(true);
        fakePressLater('\r');
        readFile(c.file);
        EXPECT_EQ(summary(), c.summary);
        EXPECT_EQ(out(), c.invalidRecord == 0 ? ""
                                              : "Folmar==>  Invalid User Parameter Record \n"
                                                "Folmar==>  At record Number " + std::to_string(c.invalidRecord) +
                                                    "\nFolmar==>  Press Enter to continue \n");
        EXPECT_EQ(fakeBlockedReads(), c.invalidRecord == 0 ? 0 : 1);
        EXPECT_EQ(rs.settingsFile, nullptr);
    }
}
