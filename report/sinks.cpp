// The report's two sinks: the console (standard output, the single-path
// run) and the report file (the all-drives run). Both list file names on
// the console; they differ in where the header, the directory lines and the
// totals block go.
#include "common/output.h"
#include "common/runstate.h"
#include "common/sink.h"
#include "report/internal.h"
#include "report/report.h"

// Under showFiles, the file's name (its short name, when short names are
// asked for and it has one) on the console, in both runs.
static void listFileName(const FindData &file) {
    if (rs.showFiles == Listing::none) return;
    bool useShort = rs.showFiles == Listing::shortNames && file.cAlternateFileName[0] != '\0';
    conClean(useShort ? file.cAlternateFileName : file.cFileName);
    conChar('\n');
}

// ---- the console ----

// An empty line, then the one column header of a single-path report.
static void consoleHeader() {
    conText("\n");
    printStdoutHeader();
}

static FILE *consoleStream() { return rs.con; }

// A line on the console is counted for the /P pause.
static void consoleLine(const char *line) {
    conText(line);
    screenPause();
}

// The totals block, then the largest files when they are asked for.
static void consoleTotals() {
    writeConsoleTotals();
    if (rs.largestFiles > 0) writeLargestFiles(consoleLine);
}

const Sink consoleSink = {nullptr, nullptr, consoleHeader, nullptr, listFileName, nullptr, nullptr,
                          nullptr, nullptr, consoleStream, consoleLine, consoleTotals};

// ---- the report file ----

// Each drive's pages are numbered from 1; its first page has the title.
static void fileHeader() {
    rs.pageNumber = 0;
    writePageHeader();
}

static FILE *fileStream() { return rs.outFile; }

// Without directory lines the file has no page headers: a totals block that
// would not fit the page gets a form feed of its own. The largest files,
// when asked for, follow the totals; with directory lines the drive's
// listing then ends with a form feed, so the next drive begins a new sheet.
static void fileTotals() {
    if (rs.showDirs == Listing::none && rs.lineCount + driveTotalsRoom > (uint32_t)rs.pageSize) {
        fileText("\f");
        rs.lineCount = 0;
    }
    writeFileTotals();
    if (rs.largestFiles > 0) writeLargestFiles(writeBlockLine);
    if (rs.showDirs != Listing::none) fileText("\f");
}

const Sink reportFileSink = {nullptr, nullptr, fileHeader, nullptr, listFileName, nullptr, nullptr,
                             nullptr, nullptr, fileStream, writeReportLine, fileTotals};
