// The settings file reader: the settings section, key lines and their values,
// what each key accepts, and how damaged or unusual files are read.
#include "settings/settings.h"
#include "tests/unit/fixture.h"

class SettingsTest : public FolmarTest {};

// Every setting: showDirs, showFiles, the drive kinds, pageSize, the width,
// outputFile, [the run mode, the drive list ('!': no root)].
static std::string settings() {
    std::string list(1, (char)rs.runMode);
    const char *entry = rs.driveList, *end = rs.driveList + sizeof rs.driveList;
    for (; *entry != '\0'; entry += 4) list += std::strcmp(entry + 1, ":\\") == 0 ? entry[0] : '!';
    if (std::count(entry, end, '\0') != end - entry) list += '!';  // bytes after the list's end
    return std::string{(char)rs.showDirs, (char)rs.showFiles, rs.processLocalDrives, rs.processRemoteDrives, ' '} +
           std::to_string(rs.pageSize) + " " + std::to_string(rs.lineWidthPrint) + " " + rs.outputFile + " [" +
           list + "]";
}

// A file larger than 1 MiB is as if it were not there, after a message.
TEST_F(SettingsTest, WithoutASettingsFileTheDefaultsAreAnnouncedAndAKeyIsAwaited) {
    const std::string mib(1 << 20, '\n'), found = "Folmar==>  Default Parameters will be used \n";
    fakePutFile("Folmar.ini", "[Folmar x]\npageSize=57" + mib);
    readSettings();
    EXPECT_EQ(out(), "Folmar==>  Folmar.ini is larger than 1 MiB and is not read \n"
                     "Folmar==>  Press Enter to continue \n\n"
                     "Folmar==>  C:\\Orvan\\Folmar.ini File Not Found \n" + found +
                     "Folmar==>  Press Enter to continue \n");
    EXPECT_EQ(settings(), "LNYN 60 125 C:\\FolmarAll.txt [ ]");
    fresh();
    fakePutFile("Folmar.ini", "[Folmar x]\npageSize=57" + mib);
    fakePutFile("C:\\Orvan\\Folmar.ini", "[Folmar x]\npageSize=58" + mib.substr(22));  // 1 MiB: read
    readSettings();
    EXPECT_EQ(settings(), "LNYN 58 0 C:\\FolmarAll.txt [ ]");
}

// `text` after a UTF-16 byte-order mark, in either byte order.
static std::string utf16(const std::u16string &text, bool bigEndian) {
    std::string bytes;
    for (char16_t unit : u"\uFEFF" + text) {
        char high = (char)(unit >> 8), low = (char)(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// Each row: a settings file, every setting after it (without a key: "LNYN 55
// 0 C:\FolmarAll.txt [ ]"), the number of an invalid record reported.
TEST_F(SettingsTest, SettingsFilesAreReadKeyByKeyAndPieceByPiece) {
    const char nul[] = "[Folmar x]\nshowFiles=S\0pageSize=60\n\0pageSize=58\npageSize=57";
    const std::string groesse = "C:\\Gr\xc3\xb6\xc3\x9f" "e", smile = "\xf0\x9f\x98\x80";  // Größe, U+1F600
    struct Case { std::string file, settings; int invalidRecord = 0; bool codePage = false; };
    const Case cases[] = {
        // Key names in any case, compared over their own length; the section line begins "[Folmar ".
        {"[Folmar x]\nSHOWDIRS=S\nshowFilesToo=S\npagesize and more = 57\nshowFile=L\n", "SSYN 57 0 C:\\FolmarAll.txt [ ]"},
        {"[FOLMAR \nshowDirs = short\nshowFiles = Long\nprocessLocalDrives = no\nprocessRemoteDrives = Yes\n",
         "SLNY 55 0 C:\\FolmarAll.txt [ ]"},
        // Letters: the first of an accepted value; Y counts as L for showDirs only; others keep the value.
        {"[Folmar x]\nshowDirs=S\nshowDirs = yes\nshowFiles=s\nshowFiles = Y\nprocessRemoteDrives=1\n",
         "LSYN 55 0 C:\\FolmarAll.txt [ ]"},
        // Numbers: decimal, within the key's range, the last accepted wins.
        {"[Folmar x]\nlineWidthPrint = +125\npageSize = 0060lines\n", "LNYN 60 125 C:\\FolmarAll.txt [ ]"},
        {"[Folmar x]\nlineWidthPrint=75\nlineWidthPrint=74\nlineWidthPrint=126\nlineWidthPrint=-100\n"
         "lineWidthPrint=abc\nlineWidthPrint=4294967396\npageSize=54\npageSize=61\npageSize=#57\n",
         "LNYN 55 75 C:\\FolmarAll.txt [ ]"},
        // The value: after the first '=', from its first non-blank to the next blank; none keeps the setting.
        {"[Folmar x]\noutputFile = C:\\My Reports\\x.txt\n", "LNYN 55 0 C:\\My [ ]"},
        {"[Folmar x]\noutputFile=\t \ta\tb=c d\n", "LNYN 55 0 a\tb=c [ ]"},
        {"[Folmar x]\noutputFile =   \noutputFile = ; no value\n", "LNYN 55 0 ; [ ]"},
        // Drive lists: roots when the first letter is C to Z, at most 27; a later list replaces the first.
        {"[Folmar x]\ndriveList=zCDEFGHIJKLMNOPQRSTUVWXYZCDEFGHIJ\n",
         "LNYN 55 0 C:\\FolmarAll.txt [~ZCDEFGHIJKLMNOPQRSTUVWXYZCD]"},
        {"[Folmar x]\ndriveList = ab\ndriveList = 1c\ndriveList = [c\n", "LNYN 55 0 C:\\FolmarAll.txt [ ]"},
        {"[Folmar x]\ndriveList=cdefgh\ndriveList = ca\n", "LNYN 55 0 C:\\FolmarAll.txt [~CA]"},
        // Sections: only after a "[Folmar " line, until the next line beginning with '['.
        {"showFiles=S\n[Folmar]\nshowFiles=S\n[Folmarx]\nshowFiles=S\n[Folmar\tx]\nshowFiles=S\n",
         "LNYN 55 0 C:\\FolmarAll.txt [ ]"},
        {" [Folmar x]\nshowFiles=S\n[folmar one]\nshowDirs=N\n  [Folmar two]\npageSize=57\n[Other]\npageSize=56\n"
         "[Folmar three]\npageSize=58\n", "NNYN 58 0 C:\\FolmarAll.txt [ ]"},
        // Comments, blank and indented lines; a key line without '=' is an invalid record.
        {"[Folmar x]\n;showFiles=S\n'showFiles=S\n\\showFiles=S\n  \t ; note\n\n\t  showDirs = N\npageSize 57\n",
         "NNYN 55 0 C:\\FolmarAll.txt [ ]", 8},
        // Pieces of at most 80 characters, each a line; CR LF or a CR ending the file is one line break.
        {"[Folmar x]\r\noutputFile=" + std::string(68, 'a') + "\r\npageSize=57\r\n",
         "LNYN 57 0 " + std::string(68, 'a') + " [ ]"},
        {"[Folmar x]\nshowDirs=S" + std::string(70, 'x') + "pageSize=57" + std::string(9, ' ') + "\npageSize 56\r",
         "SNYN 57 0 C:\\FolmarAll.txt [ ]", 4},
        {std::string(nul, sizeof nul - 1), "LSYN 57 0 C:\\FolmarAll.txt [ ]"},  // NUL ends its piece's text
        {"[Folmar x]\noutputFile=a\rb\t", "LNYN 55 0 a\rb\t [ ]"},  // a lone CR or a tab is text
        // The text: after a byte-order mark (UTF-8, UTF-16 in either order), UTF-8, else the ANSI code page
        // where there is one; 80 characters to a piece; a value cut between two characters; a Ctrl-Z ends it.
        {"\xef\xbb\xbf[Folmar x]\noutputFile=" + groesse + "\n", "LNYN 55 0 " + groesse + " [ ]"},
        {utf16(u"[Folmar x]\r\noutputFile=C:\\Gr\u00f6\u00dfe\U0001F600\r\npageSize=57", false),
         "LNYN 57 0 " + groesse + smile + " [ ]"},
        {utf16(u"[Folmar x]\ndriveList=c\u00e9d\noutputFile=\xd800\xdc00\xdc00\n", true),
         "LNYN 55 0 \xf0\x90\x80\x80\xef\xbf\xbd [~C?D]"},
        {"[Folmar x]\noutputFile=C:\\Gr\xf6\xdf" "e\n", "LNYN 55 0 " + groesse + " [ ]", 0, true},
        {"[Folmar x]\noutputFile=C:\\Gr\xf6\xdf" "e\n", "LNYN 55 0 C:\\Gr\xf6\xdf" "e [ ]"},
        {"[Folmar x]\noutputFile=" + times(68, "\xc3\xa9") + "\npageSize=57\n", "LNYN 57 0 " + times(68, "\xc3\xa9") + " [ ]"},
        {"[Folmar x]\noutputFile=" + times(69, smile), "LNYN 55 0 " + times(64, smile) + " [ ]"},
        {"[Folmar x]\npageSize=57\n\x1apageSize=58\n", "LNYN 57 0 C:\\FolmarAll.txt [ ]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        fresh();
        fakeSetConsole(true);
        fakeSetCodePage(c.codePage);
        fakePressLater('\r');
        fakePutFile("Folmar.ini", c.file);
        readSettings();
        EXPECT_EQ(settings(), c.settings);
        EXPECT_EQ(out(), c.invalidRecord == 0 ? ""
                                              : "Folmar==>  Invalid User Parameter Record \n"
                                                "Folmar==>  At record Number " + std::to_string(c.invalidRecord) +
                                                    "\nFolmar==>  Press Enter to continue \n");
        EXPECT_EQ(fakeBlockedReads(), c.invalidRecord == 0 ? 0 : 1);
    }
}
