// Page headers and pagination: the title block and column header of the
// report file, the column header of a single-path report on standard output,
// the line writer that cuts the report file into pages, the /P pause of the
// console listing, and the date-and-time text of the headers.
#include <cstdio>

#include "common/console.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/version.h"
#include "report/internal.h"
#include "report/report.h"

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

// The two lines of a column header, laid out for the narrowest line of its
// sink: blanks between "Page nn" and "Bytes ", and between the two rules. A
// wider line widens both gaps by its extra columns; a narrower one (a
// report of 75 to 77 on standard output) takes the narrowest header.
struct ColumnHeader {
    int narrowest, bytesGap, ruleGap;
};
static const ColumnHeader fileHeader = {narrowestLineWidth, 42, 56};
static const ColumnHeader consoleHeader = {consoleLineWidth, 44, 57};

// Builds the header `h` for rs.lineWidth, rs.driveLetter and rs.pageNumber.
static const char *columnHeader(const ColumnHeader &h) {
    static char text[256];
    int fill = rs.lineWidth - h.narrowest;
    if (fill < 0) fill = 0;
    std::snprintf(text, sizeof text, "Directory Drive %s   Page %2d%sBytes \n---------%s---------- \n",
                  driveLetterText(), rs.pageNumber, blanks(h.bytesGap + fill), blanks(h.ruleGap + fill));
    return text;
}

// The title block of a drive's first page, dated with rs.runDate as
// "%02i-%02i-%i at %02i:%02i Hours"; reads rs.driveLetter, adds
// titleBlockLines to rs.lineCount.
static void writeTitleBlock() {
    char dateTimeText[64];
    std::snprintf(dateTimeText, sizeof dateTimeText, "%02i-%02i-%i at %02i:%02i Hours", rs.runDate.month,
                  rs.runDate.day, rs.runDate.year, rs.runDate.hour, rs.runDate.minute);
    fileText("Directory Size (Folmar Ver. 2.0) \n");
    fileFormat("Directory Size Ver. %s of %s \n", FOLMAR_VERSION, FOLMAR_VERSION_DATE);
    fileText(MAKER_NOTICE " \n\n");
    fileText(MAKER_WEB " \n");
    fileText(MAKER_EMAIL " \n\n");
    fileFormat("Creating Directory List for Drive %c on %s \n\n", printableChar(rs.driveLetter),
               dateTimeText);
    rs.lineCount += titleBlockLines;
}

// The two lines of the report file's column header; adds columnHeaderLines
// to rs.lineCount.
static void writeFileColumnHeader() {
    fileText(columnHeader(fileHeader));
    rs.lineCount += columnHeaderLines;
}

// Starts a page of the report file: nothing when rs.showDirs is none;
// otherwise rs.lineCount from 0, the next rs.pageNumber, the title block on
// page 1 or a form feed on a later page, then the column header.
void writePageHeader() {
    if (rs.showDirs == Listing::none) return;
    rs.lineCount = 0;
    ++rs.pageNumber;
    if (rs.pageNumber == 1) writeTitleBlock();
    if (rs.pageNumber > 1) fileText("\f");
    writeFileColumnHeader();
}

// The column header of a single-path report, on the console stream; sets
// rs.pageNumber to the next page (1).
void printStdoutHeader() {
    ++rs.pageNumber;
    rs.screenLines = 0;
    conText(columnHeader(consoleHeader));
}

// Writes `line` as plain text to the report file and counts it; the line
// that carries rs.lineCount past rs.pageSize is followed by the next header.
void writeReportLine(const char *line) {
    fileText(line);
    ++rs.lineCount;
    if (rs.lineCount > (uint32_t)rs.pageSize) writePageHeader();
}

void writeBlockLine(const char *line) {
    if (rs.lineCount > (uint32_t)rs.pageSize && rs.showDirs == Listing::none) {  // no headers: a new sheet
        fileText("\f");
        rs.lineCount = 0;
    }
    if (rs.lineCount > (uint32_t)rs.pageSize) writePageHeader();
    fileText(line);
    ++rs.lineCount;
}

// Counts one console directory line; under /P, after screenPageLines of
// them, prompts, waits for a key, clears the screen and starts counting again.
void screenPause() {
    ++rs.screenLines;
    if (!rs.pausePerScreen || rs.screenLines < screenPageLines) return;
    conText("\n");
    conText("Folmar==>  Press Enter to continue");
    conFlush();
    readKeyAndDrain();
    clearScreen();
    rs.screenLines = 0;
}
