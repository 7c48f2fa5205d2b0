// The settings file reader: the settings section, key lines and their values,
// what each key accepts, and how damaged or unusual files are read.
#include "settings/settings.h"
#include "tests/unit/fixture.h"

class SettingsTest : public FolmarTest {
protected:
    // Reads `file` as the working directory's Folmar.ini on a console (a
    // key is pressed when a wait comes); what it wrote there.
    std::string read(const std::string &file, bool codePage = false) {
        fresh();
        fakeSetConsole(true);
        fakeSetCodePage(codePage);
        fakePressLater('\r');
        fakePutFile("Folmar.ini", file);
        readSettings();
        return out();
    }
};

// The drive list as its roots, each followed by a blank.
static std::string driveListText() {
    std::string text;
    for (const char *entry = rs.driveList; *entry != '\0'; entry += 4) text += std::string(entry) + " ";
    return text;
}

// A file larger than 1 MiB is as if it were not there, after a message; with
// no file at all the built-in settings are announced and a key awaited.
TEST_F(SettingsTest, WithoutASettingsFileTheBuiltInSettingsAreAnnounced) {
    const std::string mib(1 << 20, '\n');
    EXPECT_EQ(read("[Folmar x]\npageSize=57" + mib), "Folmar==>  Folmar.ini is larger than 1 MiB and is not read \n"
                                                     "Folmar==>  Press Enter to continue \n\n"
                                                     "Folmar==>  C:\\Orvan\\Folmar.ini File Not Found \n"
                                                     "Folmar==>  Default Parameters will be used \n"
                                                     "Folmar==>  Press Enter to continue \n");
    EXPECT_EQ(fakeBlockedReads(), 2);
    EXPECT_EQ(rs.pageSize, 60);
    EXPECT_EQ(rs.lineWidthPrint, 125);
    fresh();
    fakePutFile("Folmar.ini", "[Folmar x]\npageSize=57" + mib);
    fakePutFile("C:\\Orvan\\Folmar.ini", "[Folmar x]\npageSize=58" + mib.substr(22));  // 1 MiB: read
    readSettings();
    EXPECT_EQ(rs.pageSize, 58);
    EXPECT_EQ(rs.lineWidthPrint, 0);
}

// Key names in any case, compared over their own length, in a section that
// begins "[Folmar " in any case.
TEST_F(SettingsTest, KeyNamesMatchInAnyCaseOverTheirOwnLength) {
    EXPECT_EQ(read("[FOLMAR \nSHOWDIRS=S\nshowFilesToo=S\npagesize and more = 57\nshowFile=L\n"), "");
    EXPECT_EQ(rs.showDirs, Listing::shortNames);
    EXPECT_EQ(rs.showFiles, Listing::shortNames);
    EXPECT_EQ(rs.pageSize, 57);
}

// The first letter of the value, in any case, when the key accepts it; Y is
// L for showDirs only; any other keeps the setting.
TEST_F(SettingsTest, LettersTakeTheFirstOfAnAcceptedValue) {
    EXPECT_EQ(read("[Folmar x]\nshowDirs = short\nshowFiles = Long\nprocessLocalDrives = no\n"
                   "processRemoteDrives = Yes\nhardLinks = once\n"),
              "");
    EXPECT_EQ(rs.hardLinks, HardLinks::once);
    EXPECT_EQ(rs.showDirs, Listing::shortNames);
    EXPECT_EQ(rs.showFiles, Listing::longNames);
    EXPECT_EQ(rs.processLocalDrives, 'N');
    EXPECT_EQ(rs.processRemoteDrives, 'Y');
    read("[Folmar x]\nshowDirs=S\nshowDirs = yes\nshowFiles=s\nshowFiles = Y\nprocessRemoteDrives=1\n"
         "hardLinks=Once\nhardLinks=Each\nhardLinks=no\n");
    EXPECT_EQ(rs.hardLinks, HardLinks::each);
    EXPECT_EQ(rs.showDirs, Listing::longNames);
    EXPECT_EQ(rs.showFiles, Listing::shortNames);
    EXPECT_EQ(rs.processRemoteDrives, 'N');
}

// Decimal, within the key's range (75 to 125, 55 to 60); the last accepted wins.
TEST_F(SettingsTest, NumbersAreDecimalWithinTheKeysRange) {
    EXPECT_EQ(read("[Folmar x]\nlineWidthPrint = +125\npageSize = 0060lines\nlargestFiles = 1000\n"), "");
    EXPECT_EQ(rs.lineWidthPrint, 125);
    EXPECT_EQ(rs.largestFiles, 1000);
    EXPECT_EQ(rs.pageSize, 60);
    read("[Folmar x]\nlineWidthPrint=75\nlineWidthPrint=74\nlineWidthPrint=126\nlineWidthPrint=-100\n"
         "lineWidthPrint=abc\nlineWidthPrint=4294967396\npageSize=54\npageSize=61\npageSize=#57\n"
         "largestFiles=3\nlargestFiles=0\nlargestFiles=1001\nlargestFiles=-1\n");
    EXPECT_EQ(rs.lineWidthPrint, 75);
    EXPECT_EQ(rs.largestFiles, 0);
    EXPECT_EQ(rs.pageSize, 55);
}

// After the first '=', from the first non-blank to the next blank (a tab or
// a lone CR is text); none keeps the setting; cut between two characters
// where it is longer than its field.
TEST_F(SettingsTest, AValueRunsFromItsFirstNonBlankToTheNextBlank) {
    const std::string smile = "\xf0\x9f\x98\x80";  // U+1F600: 4 bytes
    const std::pair<std::string, std::string> cases[] = {
        {"outputFile = C:\\My Reports\\x.txt\n", "C:\\My"}, {"outputFile=\t \ta\tb=c d\n", "a\tb=c"},
        {"outputFile =   \noutputFile = ; no value\n", ";"}, {"outputFile=a\rb\t", "a\rb\t"},
        {"outputFile=" + times(69, smile), times(64, smile)}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(read("[Folmar x]\n" + c.first), "");
        EXPECT_EQ(rs.outputFile, c.second);
    }
}

// Roots when the first letter is C to Z, at most 27; a later list replaces an
// earlier one whole; a list asks for every drive.
TEST_F(SettingsTest, DriveListsAreRootsFromCToZ) {
    const std::pair<std::string, std::string> cases[] = {
        {"driveList=zCDEFGHIJKLMNOPQRSTUVWXYZCDEFGHIJ\n",
         "Z:\\ C:\\ D:\\ E:\\ F:\\ G:\\ H:\\ I:\\ J:\\ K:\\ L:\\ M:\\ N:\\ O:\\ P:\\ "
         "Q:\\ R:\\ S:\\ T:\\ U:\\ V:\\ W:\\ X:\\ Y:\\ Z:\\ C:\\ D:\\ "},
        {"driveList=cdefgh\ndriveList = ca\n", "C:\\ A:\\ "},
        {"driveList = ab\ndriveList = 1c\ndriveList = [c\n", ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(read("[Folmar x]\n" + c.first), "");
        EXPECT_EQ(driveListText(), c.second);
        EXPECT_EQ(rs.runMode, c.second.empty() ? RunMode::singlePath : RunMode::allDrives);
    }
}

// Keys count only after a line that begins "[Folmar ", until the next line
// that begins with '['.
TEST_F(SettingsTest, KeysCountOnlyInAFolmarSection) {
    read("showFiles=S\n[Folmar]\nshowFiles=S\n[Folmarx]\nshowFiles=S\n[Folmar\tx]\nshowFiles=S\n");
    EXPECT_EQ(rs.showFiles, Listing::none);
    read(" [Folmar x]\nshowFiles=S\n[folmar one]\nshowDirs=N\n  [Folmar two]\npageSize=57\n[Other]\npageSize=56\n"
         "[Folmar three]\npageSize=58\n");
    EXPECT_EQ(rs.showDirs, Listing::none);
    EXPECT_EQ(rs.showFiles, Listing::none);
    EXPECT_EQ(rs.pageSize, 58);
}

// Comments (';', '\'', '\\'), blank and indented lines are passed over; a
// key line without '=' is named by its record number, and a key awaited.
TEST_F(SettingsTest, AKeyLineWithoutEqualsIsAnInvalidRecord) {
    EXPECT_EQ(read("[Folmar x]\n;showFiles=S\n'showFiles=S\n\\showFiles=S\n  \t ; note\n\n\t  showDirs = N\n"
                   "pageSize 57\n"),
              "Folmar==>  Invalid User Parameter Record \nFolmar==>  At record Number 8\n"
              "Folmar==>  Press Enter to continue \n");
    EXPECT_EQ(fakeBlockedReads(), 1);
    EXPECT_EQ(rs.showDirs, Listing::none);
    EXPECT_EQ(rs.showFiles, Listing::none);
}

// Pieces of at most 80 characters, each a line (a record); CR LF, or a CR
// that ends the file, is one line break; a NUL ends its piece's text.
TEST_F(SettingsTest, APieceOfAtMost80CharactersIsALine) {
    EXPECT_EQ(read("[Folmar x]\r\noutputFile=" + std::string(68, 'a') + "\r\npageSize=57\r\n"), "");
    EXPECT_EQ(rs.outputFile, std::string(68, 'a'));
    EXPECT_EQ(rs.pageSize, 57);
    EXPECT_TRUE(contains(read("[Folmar x]\nshowDirs=S" + std::string(70, 'x') + "pageSize=57" + std::string(9, ' ') +
                              "\npageSize 56\r"),
                         "At record Number 4\n"));
    EXPECT_EQ(rs.showDirs, Listing::shortNames);
    EXPECT_EQ(rs.pageSize, 57);
    const char nul[] = "[Folmar x]\nshowFiles=S\0pageSize=60\n\0pageSize=58\npageSize=57";
    EXPECT_EQ(read(std::string(nul, sizeof nul - 1)), "");
    EXPECT_EQ(rs.showFiles, Listing::shortNames);
    EXPECT_EQ(rs.pageSize, 57);
}

// After a byte-order mark (UTF-8, UTF-16 in either order) as it says; UTF-16
// without one by the zero in every second byte of its first line; else UTF-8
// where it is valid, else the ANSI code page where there is one (else
// the bytes as they are), to a Ctrl-Z. 80 characters to a piece.
TEST_F(SettingsTest, TheTextIsDecodedByItsMarkElseUtf8ElseTheCodePage) {
    auto utf16 = [](const std::u16string &text, bool bigEndian, bool mark = true) {
        std::string bytes;
        for (char16_t unit : (mark ? u"\uFEFF" : u"") + text) {
            char high = (char)(unit >> 8), low = (char)(unit & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        return bytes;
    };
    const std::string groesse = "C:\\Gr\xc3\xb6\xc3\x9f" "e", latin1 = "C:\\Gr\xf6\xdf" "e";  // Größe
    struct Case { std::string file; bool codePage; std::string outputFile; };
    const Case cases[] = {
        {"\xef\xbb\xbf[Folmar x]\noutputFile=" + groesse + "\n", false, groesse},
        {utf16(u"[Folmar x]\r\noutputFile=C:\\Gr\u00f6\u00dfe\U0001F600\r\n", false), false,
         groesse + "\xf0\x9f\x98\x80"},
        {utf16(u"[Folmar x]\noutputFile=\xd800\xdc00\xdc00\n", true), false, "\xf0\x90\x80\x80\xef\xbf\xbd"},
        {utf16(u"[Folmar x]\r\noutputFile=C:\\Gr\u00f6\u00dfe\r\n", false, false), true, groesse},
        {utf16(u"[Folmar x]\noutputFile=\u65e5\n", true, false), false, "\xe6\x97\xa5"},
        {"[Folmar x]\noutputFile=" + latin1 + "\n", true, groesse},
        {"ab\xbf\n[Folmar x]\noutputFile=" + latin1 + "\n", true, groesse},  // no mark but the whole of EF BB BF
        {"[Folmar x]\noutputFile=" + latin1 + "\n", false, latin1},
        {"[Folmar x]\noutputFile=" + times(68, "\xc3\xa9") + "\npageSize=57\n", false, times(68, "\xc3\xa9")},
        {"[Folmar x]\noutputFile=a\x1aoutputFile=b\n", false, "a"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.outputFile);
        EXPECT_EQ(read(c.file, c.codePage), "");
        EXPECT_EQ(rs.outputFile, c.outputFile);
    }
    read(utf16(u"[Folmar x]\ndriveList=c\u00e9d\n", true));  // no letter beyond ASCII names a drive
    EXPECT_EQ(driveListText(), "C:\\ ?:\\ D:\\ ");
}
