// The all-drives run: the line-width question, the drive loop that reports
// every selected drive into the report file, the grand totals and the
// closing lines. The report is written to a new file that replaces the old
// one only when complete: a report that could not be written completely (a
// failed write, flush, close or renaming) is never called complete, the run
// says so and ends with exit code 1, and the old report stays; so it does
// when the walk stopped (out of memory or open files, a total that went
// down, or a standard output that can no longer be written).
#include <cstdio>
#include <cstring>
#include <iterator>

#include "app/internal.h"
#include "common/console.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/sink.h"
#include "common/version.h"
#include "drives/drives.h"
#include "platform/platform.h"
#include "report/report.h"
#include "scan/scan.h"

// The menu of the width question, naming the report file that will be
// written, ending with the prompt (no line break).
static void askLineWidth() {
    conText("Folmar==>  Processing ALL Drives \n");
    conText("Folmar==>  Output will be in ");
    conClean(rs.outputFile);
    conText(" \n");
    conText("Folmar==>  Select Line Width in Characters (1-4): \n");
    conText("Folmar==>     1 =  75 (10 cpi) \n");
    conText("Folmar==>     2 =  90 (12 cpi) \n");
    conText("Folmar==>     3 = 112 (15 cpi) \n");
    conText("Folmar==>     4 = 125 (17 cpi) \n");
    conText("Folmar==>  Enter (1-4) or 0 to End: ");
}

// The answers 1 to 4 are the printer pitches' widths, in their order; an
// answer that is no number is 0. No answer at all (standard input at its
// end, as in a scheduled run) is not taken for 0: the run cannot go on
// without a width, and says where to set one.
WidthAnswer selectLineWidth(int *width) {
    if (rs.lineWidthPrint != 0) {
        *width = rs.lineWidthPrint;
        return WidthAnswer::chosen;
    }
    askLineWidth();
    conFlush();
    int answer = 0;
    if (!readIntegerFromStdin(&answer)) {
        conText("\nFolmar==>  No answer: set lineWidthPrint in ");
        conClean(rs.settingsRead != nullptr ? rs.settingsRead : "Folmar.ini");
        conText("\n");
        return WidthAnswer::none;
    }
    if (answer == 0) return WidthAnswer::ended;
    if (answer >= 1 && answer <= (int)std::size(printerPitches))
        *width = printerPitches[answer - 1].lineWidth;
    return WidthAnswer::chosen;
}

// The progress lines written before the first drive.
static void announceRun() {
    conText("\n");
    conText("Folmar==>  Processing multiple drives \n");
    conText("Folmar==>  Output will be in ");
    conClean(rs.outputFile);
    conText("\n");
    conText("Folmar==>  To print ");
    conClean(rs.outputFile);
    conText(", use a ");
    conFormat("%d", rs.cpi);
    conText(" CPI, fixed pitch font \n\n");
}

// Called once by the all-drives run with the report file open and its sink
// chosen. Reads the drive settings, rs.outputFile and rs.cpi; for every
// selected drive sets rs.curPath to its root and reports it (its page
// header from page 1, its walk and its totals). Returns with rs.curDrive
// empty and rs.driveLetter NUL, or at once when a walk stopped.
void processDrives() {
    loadDriveStrings();
    announceRun();
    for (;;) {
        nextDrive();
        if (rs.curDrive[0] == 0) return;
        if (!driveSelected(getDriveType(rs.curDrive))) continue;
        conFormat("Folmar==>  Processing Drive %c\n", rs.curDrive[0]);
        std::memcpy(rs.curPath, rs.curDrive, std::strlen(rs.curDrive) + 1);
        if (!reportDrive()) return;
    }
}

// The title at the top of a report without directory lines (showDirs none),
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
// return). Returns 0 after a complete report; 1 when the report file is the
// settings file, or cannot be opened (the messages with the system's reason,
// and a wait), or could not be written, or the walk stopped: the old report
// then stays as it was.
int runAllDrives() {
    if (refuseSettingsFileAsReport()) return 1;
    rs.outFile = createReplacement(rs.outputFile);
    if (rs.outFile == nullptr) {
        conText("Folmar==>  Unable to open the FolmarAll.txt output file \n");
        if (replacementError() == errorSharingViolation)
            conText("Folmar==>  Another program has it open \n");
        else
            conText("Folmar==>  Most likely the disk drive is full \n");
        conText("Folmar==>  Program will terminate \n");
        conText("Folmar==>  The system says: ");
        conText(replacementFailure());
        conText("\n");
        waitForKey();
        return 1;
    }
    useReportSink(&reportFileSink);
    if (rs.showDirs == Listing::none) writeShortTitle();
    processDrives();
    if (walkStopped()) {
        abandonReplacement(rs.outFile);
        rs.outFile = nullptr;
        return 1;
    }
    if (rs.lineCount + grandTotalsLines > (uint32_t)rs.pageSize) writePageHeader();
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
