// Page headers and pagination: the title block and column header of the
// report file, the column header of a single-path report on standard output,
// the line writer that cuts the report file into pages, the /P pause of the
// console listing, and the date-and-time text of the headers.
#include <cstdio>

#include "app/app.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/version.h"
#include "report/internal.h"
#include "report/report.h"

static const int longestFill = 50;  // lineWidth is at most 125

// A text of `count` blanks (held to 0..128).
static const char *blanks(int count) {
    static const char run[] =
        "                                                                "
        "                                                                ";
    const int longest = (int)sizeof run - 1;
    if (count < 0) count = 0;
    if (count > longest) count = longest;
    return run + longest - count;
}

// rs.driveLetter as a text: empty when it is NUL, '?' for another control
// character.
static const char *driveLetterText() {
    static char text[2];
    text[0] = rs.driveLetter == 0 ? 0 : printableChar(rs.driveLetter);
    text[1] = 0;
    return text;
}

// Extra blanks of a header wider than `narrowest`; none at or below it.
static int headerFill(int narrowest) {
    int fill = rs.lineWidth - narrowest;
    if (fill <= 0) return 0;
    return fill > longestFill ? longestFill : fill;
}

void formatDateTime() {
    std::snprintf(rs.dateTimeText, sizeof rs.dateTimeText, "%02i-%02i-%i at %02i:%02i Hours",
                  rs.runDate.month, rs.runDate.day, rs.runDate.year, rs.runDate.hour,
                  rs.runDate.minute);
}

// The title block of a drive's first page; reads rs.runDate and
// rs.driveLetter, writes rs.dateTimeText, adds 8 to rs.lineCount.
static void writeTitleBlock() {
    fileText("Directory Size (Folmar Ver. 2.0) \n");
    fileFormat("Directory Size Ver. %s of %s \n", FOLMAR_VERSION, FOLMAR_VERSION_DATE);
    fileText(MAKER_NOTICE " \n\n");
    fileText(MAKER_WEB " \n");
    fileText(MAKER_EMAIL " \n\n");
    formatDateTime();
    fileFormat("Creating Directory List for Drive %c on %s \n\n", printableChar(rs.driveLetter),
               rs.dateTimeText);
    rs.lineCount += 8;
}

// The two lines of the report file's column header; adds 2 to rs.lineCount.
static void writeFileColumnHeader() {
    int fill = headerFill(75);
    fileText("Directory Drive ");
    fileText(driveLetterText());
    fileFormat("   Page %2d", rs.pageNumber);
    fileText(blanks(18));
    fileText(blanks(fill));
    fileText(blanks(24));
    fileText("Bytes \n");
    fileText("---------");
    fileText(blanks(23 + 33 + fill));
    fileText("---------- \n");
    rs.lineCount += 2;
}

// Starts a page of the report file: nothing when rs.showDirs is 'N';
// otherwise rs.lineCount from 0, the next rs.pageNumber, the title block on
// page 1 or a form feed on a later page, then the column header.
void writePageHeader() {
    if (rs.showDirs == 'N') return;
    rs.lineCount = 0;
    if (rs.runMode != '~') return;
    ++rs.pageNumber;
    if (rs.pageNumber == 1) writeTitleBlock();
    if (rs.pageNumber > 1) fileText("\f");
    writeFileColumnHeader();
}

// The column header of a single-path report, on the console stream; sets
// rs.pageNumber to the next page (1).
void printStdoutHeader() {
    ++rs.pageNumber;
    int fill = headerFill(78);
    conText("Directory Drive ");
    conText(driveLetterText());
    conFormat("   Page %2d", rs.pageNumber);
    conText(blanks(21));
    conText(blanks(fill));
    conText(blanks(23));
    conText("Bytes \n");
    conText("---------");
    conText(blanks(25 + 32 + fill));
    conText("---------- \n");
}

// Writes `line` as plain text to the report file and counts it; the line
// that carries rs.lineCount past rs.pageSize is followed by the next header.
void writeReportLine(const char *line) {
    fileText(line);
    ++rs.lineCount;
    if (rs.lineCount > (uint32_t)rs.pageSize) writePageHeader();
}

// Counts one console directory line; under /P, after 23 of them, prompts,
// waits for a key, clears the screen and starts counting again.
void screenPause() {
    ++rs.screenLines;
    if (!rs.pausePerScreen || rs.screenLines <= 22) return;
    conText("\n");
    conText("Folmar==>  Press Enter to continue");
    conFlush();
    readKeyAndDrain();
    clearScreen();
    rs.screenLines = 0;
}
