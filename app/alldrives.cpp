// The all-drives run: the line-width question, the report file with every
// selected drive, the grand totals and the closing lines. The report is
// written to a new file that replaces the old one only when complete: a
// report that could not be written completely (a failed write, flush, close
// or renaming) is never called complete, the run says so and ends with exit
// code 1, and the old report stays.
#include "app/app.h"

#include <cstdio>

#include "common/console.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/sink.h"
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

// Puts the new report file rs.outFile in place of the old one and forgets
// it, so that nothing writes to it again; after a failed write it is
// removed instead, and the old report stays. Returns false when the report
// could not be written completely.
static bool finishReportFile() {
    bool written = !rs.outFileWriteFailed;
    if (written) {
        written = commitReplacement(rs.outFile);
    } else {
        abandonReplacement(rs.outFile);
    }
    rs.outFile = nullptr;
    if (!written) rs.outFileWriteFailed = true;
    return written;
}

// A report file that would replace the settings file this run read: the
// next run would be another run. Two messages, exit code 1.
static bool refuseSettingsFileAsReport() {
    if (rs.settingsRead == nullptr || !isSameFile(rs.outputFile, rs.settingsRead)) return false;
    conText("Folmar==>  Unable to use the output file ");
    conClean(rs.outputFile);
    conText(" \n");
    conText("Folmar==>  It is the settings file of this run \n");
    return true;
}

// Reads rs.outputFile, rs.settingsRead, rs.showDirs, rs.lineCount and
// rs.pageSize. Writes every selected drive into a new report file
// (rs.outFile), then the grand totals and the closing lines, and puts it in
// place of the old report only when it is complete (rs.outFile is null on
// return). Returns 0 after a complete report and after a file that cannot
// be opened (three messages and a wait); 1 when the report file is the
// settings file, or could not be written, or the walk stopped: the old
// report then stays as it was.
int runAllDrives() {
    if (refuseSettingsFileAsReport()) return 1;
    rs.outFile = createReplacement(rs.outputFile);
    if (rs.outFile == nullptr) {
        conText("Folmar==>  Unable to open the FolmarAll.txt output file \n");
        conText("Folmar==>  Most likely the disk drive is full \n");
        conText("Folmar==>  Program will terminate \n");
        waitForKey();
        return 0;
    }
    useReportSink(&reportFileSink);
    if (rs.showDirs == 'N') writeShortTitle();
    processDrives();
    if (walkStopped()) {
        abandonReplacement(rs.outFile);
        rs.outFile = nullptr;
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
    if (!completeExport()) return 1;
    conText("\n");
    conText("Folmar==>  Folmar Ver. " FOLMAR_VERSION " Completed \n");
    conText("Folmar==>  Output is in ");
    conClean(rs.outputFile);
    conText("\n");
    return 0;
}
