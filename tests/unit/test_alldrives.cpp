// The all-drives run: the width question, the drives selected, the report
// file, the page test before the grand totals, a report file that fails.
#include "drives/drives.h"
#include "tests/unit/fixture.h"

class AllDrivesTest : public FolmarTest {
protected:
    void prepare() override {
        fakeAddDrive('C', driveFixed);
        rs.runMode = RunMode::allDrives;
        useReportSink(&reportFileSink);
        rs.osLevel = OsLevel::extended;
        setWidth(78);
    }
};

// Each row: what is read (a number, a word, or nothing: the end of input),
// the settings' width (no question then), the width before (78 on a
// console, else none: 0), the answer's outcome and the width. The prompt,
// naming the report file, is on the screen without a line break when read.
TEST_F(AllDrivesTest, TheWidthQuestionTakesEveryAnswerOnAConsoleAndRedirected) {
    enum Read { number, word, nothing };
    struct Case { Read read; int answer, settingsWidth, mainWidth; WidthAnswer outcome; int width; };
    const WidthAnswer chosen = WidthAnswer::chosen, ended = WidthAnswer::ended;
    const Case cases[] = {
        {number, 1, 0, 78, chosen, 75},  {number, 2, 0, 0, chosen, 90},  {number, 3, 0, 78, chosen, 112},
        {number, 4, 0, 0, chosen, 125},  {number, 0, 0, 78, ended, 78},  {word, 0, 0, 0, ended, 0},
        {number, 7, 0, 78, chosen, 78},  {number, 7, 0, 0, chosen, 0},   {number, 0, 90, 78, chosen, 90},
        {nothing, 0, 0, 78, WidthAnswer::none, 78},
    };
    const std::string question = "Folmar==>  Processing ALL Drives \n"
                                 "Folmar==>  Output will be in D:\\other.txt \n"
                                 "Folmar==>  Select Line Width in Characters (1-4): \n"
                                 "Folmar==>     1 =  75 (10 cpi) \n"
                                 "Folmar==>     2 =  90 (12 cpi) \n"
                                 "Folmar==>     3 = 112 (15 cpi) \n"
                                 "Folmar==>     4 = 125 (17 cpi) \n"
                                 "Folmar==>  Enter (1-4) or 0 to End: ";
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.answer) + " read as " + std::to_string(c.read) + " from " + std::to_string(c.mainWidth));
        fresh();
        if (c.read == number) fakeSetStdinInteger(c.answer);
        if (c.read == word) fakeSetStdinWord();
        std::strcpy(rs.outputFile, "D:\\other.txt");
        rs.settingsRead = "C:\\Orvan\\Folmar.ini";
        rs.lineWidthPrint = c.settingsWidth;
        int width = c.mainWidth;
        EXPECT_EQ(selectLineWidth(&width), c.outcome);
        EXPECT_EQ(width, c.width);
        const std::string noAnswer = "\nFolmar==>  No answer: set lineWidthPrint in C:\\Orvan\\Folmar.ini\n";
        EXPECT_EQ(out(), c.settingsWidth ? "" : question + (c.read == nothing ? noAnswer : ""));
        if (c.settingsWidth == 0) {
            EXPECT_EQ(fakeShownAtLastRead(), question.size());
        }
    }
}

// Fixed and remote drives as the settings enable them, no other type; a drive
// list in its own order, letters raised, other entries passed over.
TEST_F(AllDrivesTest, SelectionForEveryTypeSettingAndDriveList) {
    struct Case { char local, remote; std::string list, reported; };
    const Case cases[] = {
        {'Y', 'N', "", "CD"},     {'N', 'Y', "", "G"},      {'Y', 'N', "dc", "DC"},   {'Y', 'N', "E1AZc", "C"},
        {'Y', 'N', std::string(27, 'C'), std::string(27, 'C')},  {'Y', 'N', "?", ""},  // "?": no system list
    };
    const uint32_t types[] = {driveRemovable, driveUnknown, driveFixed, driveFixed, driveCdrom, driveRamdisk,
                              driveRemote, driveUnknown, driveNoRootDir};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(1, c.local) + c.remote + " list '" + c.list + "'");
        fresh();
        for (char letter = 'A'; letter <= 'I'; ++letter) fakeAddDrive(letter, types[letter - 'A']);
        rs.processLocalDrives = c.local;
        rs.processRemoteDrives = c.remote;
        for (size_t i = 0; i < c.list.size() && c.list != "?"; ++i)  // a root "X:\" per letter
            std::snprintf(rs.driveList + 4 * i, 4, "%c:\\", c.list[i]);
        if (c.list == "?") fakeFailDriveStrings();
        processDrives();
        std::string lines;  // after the run's opening lines, which end in a blank line
        for (char letter : c.reported) lines += std::string("Folmar==>  Processing Drive ") + letter + "\n";
        EXPECT_EQ(out().substr(out().rfind("\n\n") + 2), lines);
    }
}

// Sixteen drives without directory lines: the short title, a form feed before
// the 8th and 15th blocks, D's failed query adding nothing, the clock read again.
TEST_F(AllDrivesTest, ShortTitleRunWithAFailingDrive) {
    for (char letter = 'C'; letter <= 'R'; ++letter) {
        fakeAddDrive(letter, driveFixed);
        fakeSetDiskSpaceEx(letter, 1000, 3000, 2000);
    }
    fakeFailDiskSpace('D', 21);
    fakeAddFile("C:\\A\\f.txt", 1234);
    rs.showDirs = Listing::none;
    std::strcpy(rs.outputFile, "D:\\Re\x1b[2Jports.txt");
    for (int drive = 0; drive < 16; ++drive) fakeQueueClock({2008, 2, 3, 17, 45});  // read after each drive
    fakeQueueClock({2008, 2, 3, 17, 46});
    EXPECT_EQ(runAllDrives(), 0);
    const std::string file = fakeFileText("D:\\Re\x1b[2Jports.txt");
    EXPECT_EQ(file.substr(0, file.find("\nDrive C")), "Directory Size Ver. 5.1b of 18 January, 2008 \n"
                                                      "Copyright (c) Orvan Software 1994-2008 \n\n"
                                                      "www.orvan.example \n"
                                                      "sales@orvan.example \n\n");
    EXPECT_EQ(countOf(file, "\f"), 2);
    EXPECT_TRUE(contains(file, "\n\f\nDrive J Totals: \n") && contains(file, "\n\f\nDrive Q Totals: \n"));
    EXPECT_TRUE(endsWith(file, "   Total Free Space  =           2,000  (Bytes) \n"
                               "   Free space Avail. =           1,000  (Bytes) \n"
                               "   Capacity          =           3,000  (Bytes) \n\n"
                               " \nGrand Totals for the system: \n"
                               "   Number of Dirs.   =                1 \n"
                               "   Number of Files   =                1 \n"
                               "   Allocation        =            1,234  (File Sizes) \n"
                               "   Free Space        =           30,000  (Sectors) \n"
                               "   Free space Avail. =           15,000  (Free Space) \n"
                               "   Capacity          =           45,000  (Bytes) \n\n"
                               "Directory Size Ver. 5.1b of 18 January, 2008 \n"
                               "02-03-2008 at 17:46 Hours \n"));
    const std::string text = out();
    EXPECT_EQ(text.substr(0, text.find("Folmar==>  Processing Drive C")),
              "\nFolmar==>  Processing multiple drives \n"
              "Folmar==>  Output will be in D:\\Re?[2Jports.txt\n"
              "Folmar==>  To print D:\\Re?[2Jports.txt, use a 12 CPI, fixed pitch font \n\n");
    EXPECT_TRUE(endsWith(text, "Folmar==>  Processing Drive R\n\n"
                               "Folmar==>  Folmar Ver. 5.1b Completed \n"
                               "Folmar==>  Output is in D:\\Re?[2Jports.txt\n"));
}

// Title (8) + column header (2) + 29 lines + totals (8) = 47: 47 + 8 fits 55.
// One line more does not: a new page, its header without a drive letter.
TEST_F(AllDrivesTest, GrandTotalsGetANewPageOnlyWhenTheyDoNotFit) {
    for (int lines : {29, 30}) {
        SCOPED_TRACE(lines);
        fresh();
        for (int i = 1; i < lines; ++i) fakeAddDir(("C:\\D" + std::to_string(i)).c_str());  // and the root
        EXPECT_EQ(runAllDrives(), 0);
        const std::string file = fakeFileText("C:\\FolmarAll.txt");
        const std::string newPage = "\fDirectory Drive    Page  2" + std::string(45, ' ') + "Bytes \n"
                                    "---------" + std::string(59, ' ') + "---------- \n";
        EXPECT_TRUE(contains(file, "  (Bytes) \n\n\f" + (lines == 30 ? newPage : "") + " \nGrand Totals for the"));
        EXPECT_EQ(countOf(file, "\f"), lines == 30 ? 2 : 1);
    }
}

// One that cannot be opened: the system's reason, a wait; one on a full disk,
// or a walk that stops. Each is exit code 1, and the previous report stays.
TEST_F(AllDrivesTest, AReportFileThatCannotBeOpenedOrWrittenIsNeverCalledComplete) {
    enum Fault { cannotOpen, fullDisk, walkStops };
    for (Fault fault : {cannotOpen, fullDisk, walkStops}) {
        SCOPED_TRACE(fault);
        fresh();
        fakeAddFile("C:\\A\\f.txt", 10);
        fakePutFile("C:\\FolmarAll.txt", "the previous report\n");
        if (fault == cannotOpen) fakeFailOpen("C:\\FolmarAll.txt", 112);  // the disk is full, no other program holds it
        if (fault == fullDisk) fakeFullDisk("C:\\FolmarAll.txt");
        if (fault == walkStops) fakeFailDir("C:\\A", 0, errorNotEnoughMemory);
        EXPECT_EQ(runAllDrives(), 1);
        const std::string text = out();
        EXPECT_EQ(text.substr(fault == cannotOpen ? 0 : text.find("Folmar==>  Unable")),
                  fault == fullDisk ? "Folmar==>  Unable to write the output file C:\\FolmarAll.txt \n"
                                      "Folmar==>  Most likely the disk drive is full \n"
                  : fault == walkStops ? "Folmar==>  Unable to read C:\\A\\*.* \n"
                                         "Folmar==>  Out of memory or open files (Error Code 8) \n"
                                       : "Folmar==>  Unable to open the FolmarAll.txt output file \n"
                                         "Folmar==>  Most likely the disk drive is full \n"
                                         "Folmar==>  Program will terminate \n"
                                         "Folmar==>  The system says: access denied\n"
                                         "Folmar==>  Press Enter to continue \n");
        EXPECT_EQ(fakeFileText("C:\\FolmarAll.txt"), "the previous report\n");
        EXPECT_EQ(fakeAbandonedReplacements(), fault == cannotOpen ? 0 : 1);
        EXPECT_EQ(fakeOpenReplacements(), 0);
        EXPECT_EQ(rs.outFileWriteFailed, fault == fullDisk);
    }
}

// The largest files after the drive's totals: largest first, of equal sizes
// the first met (a later one never takes a place), a long path wrapped as a
// directory's; the page fills at its 56th line, and the next header comes
// before the next line, none after the last. A run that stopped before its
// totals leaves none of its files to the next run of the process.
TEST_F(AllDrivesTest, LargestFilesFollowTheTotalsLargestFirstTiesInWalkOrder) {
    fakeAddFile("C:\\A\\stopped", 999);
    fakeAddDir("C:\\B");
    fakeFailDir("C:\\B", 0, errorNotEnoughMemory);
    rs.largestFiles = 4;
    EXPECT_EQ(runAllDrives(), 1);
    fresh();
    const std::string name = std::string(70, 'x');
    fakeAddFile("C:\\A\\f1", 100);
    fakeAddFile("C:\\A\\tie1", 50);
    fakeAddFile(("C:\\B\\" + name).c_str(), 300);
    fakeAddFile("C:\\B\\tie2", 50);
    fakeAddFile("C:\\C\\tie3", 50);
    for (int i = 1; i <= 31; ++i) fakeAddDir(("C:\\D" + std::to_string(i)).c_str());  // 35 lines: 53 after the totals
    rs.largestFiles = 4;
    EXPECT_EQ(runAllDrives(), 0);
    const std::string file = fakeFileText("C:\\FolmarAll.txt");
    EXPECT_EQ(file.substr(file.find("Largest"), file.find(" \nGrand") - file.find("Largest")),
              "Largest files: \n"
              "C:\\B\\" + name.substr(0, 59) + "\n   " + name.substr(59) + dots(60) + " 300\n"
              "\fDirectory Drive C   Page  2" + std::string(45, ' ') + "Bytes \n"
              "---------" + std::string(59, ' ') + "---------- \n"
              "C:\\A\\f1" + dots(67) + " 100\n"
              "C:\\A\\tie1" + dots(66) + " 50\n"
              "C:\\B\\tie2" + dots(66) + " 50\n"
              "\n\f");
    fresh();  // sizes met 1, 3, 2, 4, 5: the kept three are the largest, whatever order they came in
    for (const char *f : {"C:\\E\\a=1", "C:\\E\\b=3", "C:\\E\\c=2", "C:\\E\\d=4", "C:\\E\\e=5"})
        fakeAddFile(std::string(f, 6).c_str(), (uint64_t)(f[7] - '0'));
    rs.largestFiles = 3;
    EXPECT_EQ(runAllDrives(), 0);
    EXPECT_TRUE(contains(fakeFileText("C:\\FolmarAll.txt"), "Largest files: \nC:\\E\\e" + dots(70) + " 5\nC:\\E\\d" +
                                                            dots(70) + " 4\nC:\\E\\b" + dots(70) + " 3\n\n"));
}
