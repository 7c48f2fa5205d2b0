// The RunState record, its initial values (with those of the sinks and
// the progress display), and the one writer of the line width and its
// derived columns.
#include "common/runstate.h"

#include <cstring>

#include "common/progress.h"
#include "common/sink.h"
#include "common/version.h"

RunState rs;

void clearRunState() {
    std::memset(&rs, 0, sizeof rs);
    rs.showDirs = Listing::longNames;
    rs.showFiles = Listing::none;
    rs.processLocalDrives = 'Y';
    rs.processRemoteDrives = 'N';
    rs.pageSize = 55;
    rs.runMode = RunMode::singlePath;
    std::strcpy(rs.outputFile, FOLMAR_DEFAULT_OUTPUT);
    rs.osLevel = OsLevel::unknown;
    rs.hardLinks = HardLinks::each;
    setLineWidth(widestLineWidth);
    rs.driveLetter = ' ';
    rs.con = platformStdout();
    rs.err = platformStderr();
    useReportSink(nullptr);
    useExportSink(nullptr);
    progressStart();
}

void setLineWidth(int width) {
    if (width < narrowestLineWidth) width = narrowestLineWidth;
    if (width > widestLineWidth) width = widestLineWidth;
    rs.lineWidth = width;
    rs.pathColumn = width - sizeColumnWidth;
    rs.wrapFloor = (unsigned)rs.pathColumn / 2;
    for (const PrinterPitch &pitch : printerPitches) {
        rs.cpi = pitch.cpi;
        if (width <= pitch.lineWidth) break;
    }
}
