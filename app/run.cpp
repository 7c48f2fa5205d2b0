// The program's start-up and the single-path run: console, help, settings,
// switches and target, banner, system level, clock, the nothing-to-do stop,
// the line width, then one of the two runs; and the end of every run.
#include <cstdio>
#include <cstring>

#include "app/internal.h"
#include "common/console.h"
#include "common/output.h"
#include "common/progress.h"
#include "common/runstate.h"
#include "common/text.h"
#include "common/sink.h"
#include "common/version.h"
#include "drives/drives.h"
#include "report/report.h"
#include "scan/scan.h"
#include "settings/settings.h"

static void printBanner() {
    printVersionLine();
    conText("Folmar==>  Directory Summary Report Generator \n");
    conText("Folmar==>  from " MAKER_NAME " \n");
    conText("Folmar==>  email: " MAKER_EMAIL " \n");
}

// osLevel from the build number; false (after the messages and a wait)
// when the system will not say its version.
static bool determineOsLevel() {
    uint32_t build = 0;
    if (!getVersionBuild(&build)) {
        conText("Folmar==> GetVersionEx() failed in main() \n");
        conText("Folmar==> Program will abort \n");
        waitForKey();
        return false;
    }
    rs.osLevel = (build & 0xFFFF) > 1000 ? OsLevel::extended : OsLevel::classic;
    return true;
}

// Both drive kinds switched off: the message, a wait; true when stopped.
static bool nothingToDo() {
    if (rs.processLocalDrives != 'N' || rs.processRemoteDrives != 'N') return false;
    conText("Folmar==>  Nothing to do \n");
    conText("Folmar==>  processLocalDrives and processRemoteDrives \n");
    conText("Folmar==   ..are both set to (N)o in " FOLMAR_SETTINGS_SHARED_PATH "\n");
    waitForKey();
    return true;
}

// The width of the report's lines: 78 on a console; redirected, the
// settings' width; in an all-drives run the width question's. With no width
// given, the widest. Returns -1 to go on, or the exit code when the question
// ended the run (0 for an answer of 0, 1 when there was no answer).
static int fixLineWidth() {
    int width = rs.stdoutRedirected ? rs.lineWidthPrint : consoleLineWidth;
    WidthAnswer answer = WidthAnswer::chosen;
    if (rs.runMode == RunMode::allDrives) answer = selectLineWidth(&width);
    if (answer != WidthAnswer::chosen) return answer == WidthAnswer::ended ? 0 : 1;
    setLineWidth(width != 0 ? width : widestLineWidth);
    return -1;
}

void closeFiles() {
    if (rs.outFile != nullptr) {  // a report never completed never replaces the old one
        abandonReplacement(rs.outFile);
        rs.outFile = nullptr;
    }
    abandonExport();  // nor does an export
    conFlush();
}

// The single-path run, its report on the console; 1 when the walk stopped
// or the export could not be written.
static int runSinglePath() {
    useReportSink(&consoleSink);
    if (!reportDrive()) return 1;
    return completeExport() ? 0 : 1;
}

// `count` with its thousands grouped, in a buffer valid until the next call.
static const char *groupedCount(uint64_t count) {
    char digits[21];
    u64Digits(count, digits);
    const char *grouped = formatGrouped(digits, 26);
    while (*grouped == ' ') ++grouped;
    return grouped;
}

// One line on standard error for `count` directories, when there are any:
// `one` for a single one, else `many` with the count grouped in its %s.
static void printCountLine(uint64_t count, const char *one, const char *many) {
    if (count == 0) return;
    if (count == 1) {
        errText(one);
        return;
    }
    char line[128];
    std::snprintf(line, sizeof line, many, groupedCount(count));
    errText(line);
}

// Without /E, when directories could not be read: how many, and that /E
// lists them.
static void printNotReadCount() {
    printCountLine(rs.notReadCount, "Folmar==>  1 directory could not be read; /E lists them \n",
                   "Folmar==>  %s directories could not be read; /E lists them \n");
}

// Under /E, after the list: how many directories it had no room for.
static void printNotListedCount() {
    printCountLine(rs.notListedCount, "Folmar==>  1 more directory could not be read and is not listed \n",
                   "Folmar==>  %s more directories could not be read and are not listed \n");
}

// With patterns given and a walk begun: one line, last on standard error,
// that says how many directories they left out, and the patterns.
static void printExcludedCount() {
    if (rs.excludePatternCount == 0 || !rs.walkBegun) return;
    static char line[excludeStoreBytes + 128];
    char digits[21];
    u64Digits(rs.excludedCount, digits);
    const char *count = formatGrouped(digits, 26);
    while (*count == ' ') ++count;
    if (rs.excludedCount == 1)
        std::snprintf(line, sizeof line, "Folmar==>  %s directory excluded (", count);
    else
        std::snprintf(line, sizeof line, "Folmar==>  %s directories excluded (", count);
    size_t at = std::strlen(line);
    const char *pattern = rs.excludePatterns;
    for (int i = 0; i < rs.excludePatternCount; ++i, ++pattern) {
        if (i > 0) line[at++] = ';';
        for (uint32_t code; *pattern != '\0'; pattern += displayChar(pattern, &code)) {
            size_t bytes = (size_t)displayChar(pattern, &code);  // a control character or invalid byte: '?'
            std::memcpy(line + at, code == '?' ? "?" : pattern, code == '?' ? 1 : bytes);
            at += code == '?' ? 1 : bytes;
        }
    }
    std::memcpy(line + at, ") \n", 4);
    errText(line);
}

// Names of files with several names counted without a check, for want of
// room to remember them: one line on standard error, so that a total that
// may be too high never goes unsaid.
static void printLinksUnchecked() {
    if (rs.linksUnchecked == 0) return;
    char digits[21], line[160];
    u64Digits(rs.linksUnchecked, digits);
    const char *count = formatGrouped(digits, 26);
    while (*count == ' ') ++count;
    std::snprintf(line, sizeof line,
                  "Folmar==>  %s names of linked files counted at each name: over 200,000 to keep apart \n", count);
    errText(line);
}

// Every run ends here: files closed, output flushed, the progress display
// erased, the directories that could not be read named on standard error
// under /E (with the count of those the list had no room for; else their
// count), the count of those left out by patterns last of all, the code
// handed back; 1 when
// standard output could not be written, whatever the run said.
static int finish(int code) {
    closeFiles();
    progressErase();
    if (rs.listNotRead) {
        printNotRead();
        printNotListedCount();
    }
    if (rs.stdoutFailed) {
        errText("Folmar==>  Unable to write to standard output \n");
        errText("Folmar==>  Most likely the disk drive is full \n");
        code = 1;
    }
    printLinksUnchecked();
    if (!rs.listNotRead) printNotReadCount();
    printExcludedCount();
    return code;
}

// "--help" or "--version": the text on the screen as it stands (nothing
// cleared, as a query typed at a shell prompt expects), no wait, exit code 0.
static int answerToolRequest(ToolRequest request) {
    if (request == ToolRequest::help) printUsage();
    if (request == ToolRequest::version) printVersionLine();
    return finish(0);
}

void resetRunState() {
    clearRunState();
    forgetCommandLine();
    forgetDriveList();
    abandonExport();
    forgetJsonExport();
    forgetLargestFiles();
    forgetLinkedFiles();
    forgetNotRead();
    useExclusions();
}

int folmarMain(int argc, char **argv) {
    platformStartUp(&argc, &argv);
    resetRunState();
    ToolRequest request = toolRequest(argc, argv);
    if (request != ToolRequest::none) return answerToolRequest(request);
    keepExportArgument(argc, argv);
    keepExcludeArguments(argc, argv);
    clearScreen();
    rs.stdoutRedirected = !stdoutIsCharDevice();
    upperCaseLoneArgument(argc, argv);
    if (isHelpRequest(argc, argv)) {
        printHelpScreen();
        waitForKey();
        return finish(1);
    }
    readSettings();
    scanArguments(argc, argv);
    int code = refuseBadSwitches();
    if (code == 0) code = normaliseTarget();
    if (code == 0) code = settleReportFile();
    if (code == 0) code = chooseExport();
    if (code == 0) code = checkExclusions();
    if (code != 0) return finish(code);
    printBanner();
    if (!determineOsLevel()) return finish(0);
    getLocalTime(&rs.runDate);
    if (nothingToDo()) return finish(0);
    code = fixLineWidth();
    if (code >= 0) return finish(code);
    if (!openChosenExport()) return finish(1);
    keepFileLinks(rs.hardLinks == HardLinks::once || exportSink() == &jsonSink);
    if (rs.runMode == RunMode::allDrives) return finish(runAllDrives());
    return finish(runSinglePath());
}
