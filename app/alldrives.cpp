// The all-drives run: the line-width question, the report file with every
// selected drive, the grand totals and the closing lines. A report that could
// not be written completely (a failed write, flush or close) is never called
// complete: the run then says so and ends with exit code 1.
#include "app/app.h"

#include <cstdio>

#include "common/console.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/version.h"
#include "drives/drives.h"
#include "platform/platform.h"
#include "report/report.h"
#include "scan/scan.h"


// The menu of the width question, ending with the prompt (no line break).
static void askLineWidth() {
    conText("Folmar==>  Processing ALL Drives \n");
    conText("Folmar==>  Output will be in C:\\FolmarAll.txt \n");
    conText("Folmar==>  Select Line Width in Characters (1-4): \n");
    conText("Folmar==>     1 =  75 (10 cpi) \n");
    conText("Folmar==>     2 =  90 (12 cpi) \n");
    conText("Folmar==>     3 = 112 (15 cpi) \n");
    conText("Folmar==>     4 = 125 (17 cpi) \n");
    conText("Folmar==>  Enter (1-4) or 0 to End: ");
}

// Sets rs.lineWidth: from rs.lineWidthPrint when the settings gave a width,
// else from the answer to the question (1-4). Any other number keeps the
// width main set (78 on a console), or the widest when none is set. Returns false
// when the answer is 0 or no number could be read: the program ends.
bool selectLineWidth() {
    if (rs.lineWidthPrint != 0) {
        rs.lineWidth = rs.lineWidthPrint;
        return true;
    }
    askLineWidth();
    conFlush();
    int answer = 0;
    readIntegerFromStdin(&answer);
    switch (answer) {
    case 0: return false;
    case 1: rs.lineWidth = narrowestLineWidth; break;
    case 2: rs.lineWidth = 90; break;
    case 3: rs.lineWidth = 112; break;
    case 4: rs.lineWidth = widestLineWidth; break;
    default: break;
    }
    if (rs.lineWidth == 0) rs.lineWidth = widestLineWidth;
    return true;
}

// The title at the top of a report without directory lines (showDirs 'N'),
// which therefore has no page headers. Not counted in rs.lineCount.
static void writeShortTitle() {
    fileFormat("Directory Size Ver. %s of %s \n", FOLMAR_VERSION, FOLMAR_VERSION_DATE);
    fileText(MAKER_NOTICE " \n\n");
    fileText(MAKER_WEB " \n");
    fileText(MAKER_EMAIL " \n\n");
}

// The two lines that end every report file, with rs.runDate read afresh.
static void writeClosingLines() {
    getLocalTime(&rs.runDate);
    fileFormat("Directory Size Ver. %s of %s \n", FOLMAR_VERSION, FOLMAR_VERSION_DATE);
    fileFormat("%02i-%02i-%i at %02i:%02i Hours \n", rs.runDate.month, rs.runDate.day,
               rs.runDate.year, rs.runDate.hour, rs.runDate.minute);
}

// Flushes and closes rs.outFile and forgets it, so that nothing writes to it
// again. Returns false when any write, the flush or the close failed.
static bool finishReportFile() {
    bool written = !rs.outFileWriteFailed;
    if (std::fflush(rs.outFile) != 0 || std::ferror(rs.outFile)) written = false;
    if (std::fclose(rs.outFile) != 0) written = false;
    rs.outFile = nullptr;
    if (!written) rs.outFileWriteFailed = true;
    return written;
}

// Reads rs.outputFile, rs.showDirs, rs.lineCount and rs.pageSize. Opens the
// report file into rs.outFile, reports every selected drive into it, then the
// grand totals and the closing lines, and closes it (rs.outFile is null on
// return). Returns 0 after a complete report and after a file that cannot be
// opened (three messages and a wait); 1 when the report could not be written.
int runAllDrives() {
    rs.outFile = openFile(rs.outputFile, "w+");
    if (rs.outFile == nullptr) {
        conText("Folmar==>  Unable to open the FolmarAll.txt output file \n");
        conText("Folmar==>  Most likely the disk drive is full \n");
        conText("Folmar==>  Program will terminate \n");
        waitForKey();
        return 0;
    }
    if (rs.showDirs == 'N') writeShortTitle();
    processDrives();
    if (walkStopped()) {
        finishReportFile();
        return 1;
    }
    if (rs.lineCount + 8 > (uint32_t)rs.pageSize) writePageHeader();
    printGrandTotals();
    writeClosingLines();
    if (!finishReportFile()) {
        conText("Folmar==>  Unable to write the output file ");
        conClean(rs.outputFile);
        conText(" \n");
        conText("Folmar==>  Most likely the disk drive is full \n");
        return 1;
    }
    conText("\n");
    conText("Folmar==>  Folmar Ver. " FOLMAR_VERSION " Completed \n");
    conText("Folmar==>  Output is in ");
    conClean(rs.outputFile);
    conText("\n");
    return 0;
}
