// The RunState record and its initial values.
#include "common/runstate.h"

#include <cstring>

#include "common/progress.h"
#include "common/sink.h"
#include "common/version.h"

RunState rs;

void resetRunState() {
    std::memset(&rs, 0, sizeof rs);
    rs.showDirs = 'L';
    rs.showFiles = 'N';
    rs.processLocalDrives = 'Y';
    rs.processRemoteDrives = 'N';
    rs.pageSize = 55;
    rs.runMode = ' ';
    std::strcpy(rs.outputFile, FOLMAR_DEFAULT_OUTPUT);
    rs.osLevel = ' ';
    std::strcpy(rs.searchPattern, "*.*");
    rs.driveLetter = ' ';
    rs.con = platformStdout();
    rs.err = platformStderr();
    rs.rollUpFirst = true;
    rs.driveCursor = -1;
    useReportSink(nullptr);
    useExportSink(nullptr);
    progressStart();
}
