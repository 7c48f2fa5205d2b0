// The report's two sinks: the console (standard output, the single-path
// run) and the report file (the all-drives run). Both hear the walk alike:
// file names listed on the console, each directory's line handed to the
// roll-up, the directories not read noted for the list at the end. They
// differ in where the header, the lines and the totals block go.
#include <cstring>

#include "common/output.h"
#include "common/runstate.h"
#include "common/sink.h"
#include "report/report.h"
#include "scan/scan.h"

// Under showFiles, the file's name (its short name when 'S' asks and it has
// one) on the console, in both runs.
static void listFileName(const FindData &file) {
    if (rs.showFiles != 'S' && rs.showFiles != 'L') return;
    bool useShort = rs.showFiles == 'S' && file.cAlternateFileName[0] != '\0';
    conClean(useShort ? file.cAlternateFileName : file.cFileName);
    conChar('\n');
}

// The directory in rs.curPath has its files counted: a file pass that
// failed is noted as not read; then its line (a copy of rs.curPath) goes to
// the roll-up, or with no directory lines its bytes go straight to the
// drive total.
static void handLineOn(uint32_t errorCode) {
    size_t length = std::strlen(rs.curPath);
    if (errorCode != 0) noteNotRead(errorCode, rs.curPath, length > 3 ? length - 1 : length, nullptr);
    std::memcpy(rs.linePath, rs.curPath, length + 1);
    if (rs.showDirs == 'S' || rs.showDirs == 'L') {
        rollUpFirstLevel(rs.linePath);
    } else {
        rs.i64TotalAlloc = addSaturating(rs.i64TotalAlloc, rs.i64DirAlloc);
        rs.i64DirAlloc = 0;
    }
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

const Sink consoleSink = {nullptr, nullptr, consoleHeader, nullptr, listFileName, handLineOn, nullptr,
                          noteNotRead, consoleStream, consoleLine, writeConsoleTotals};

// ---- the report file ----

// Each drive's pages are numbered from 1; its first page has the title.
static void fileHeader() {
    rs.pageNumber = 0;
    writePageHeader();
}

static FILE *fileStream() { return rs.outFile; }

// Without directory lines the file has no page headers: a totals block that
// would not fit the page gets a form feed of its own.
static void fileTotals() {
    if (rs.showDirs == 'N' && rs.lineCount + 7 > (uint32_t)rs.pageSize) {
        fileText("\f");
        rs.lineCount = 0;
    }
    writeFileTotals();
}

const Sink reportFileSink = {nullptr, nullptr, fileHeader, nullptr, listFileName, handLineOn, nullptr,
                             noteNotRead, fileStream, writeReportLine, fileTotals};
