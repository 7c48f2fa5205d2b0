// The export of a run: its format chosen by the extension of the name /X:
// or exportFile gives, refused before anything is walked when it has none;
// its file opened before the walk under the rules of the report file, and
// put in place only when the walk is complete. (Its extension keeps it from
// being the settings file, which a report file may be named.) A third
// format is one more file in report/ and one more line in exportFormats.
#include <cstring>

#include "app/internal.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/sink.h"
#include "report/report.h"

namespace {

struct ExportFormat {
    const char *extension;  // compared without regard to case
    const Sink *sink;
};

const ExportFormat exportFormats[] = {
    {".json", &jsonSink},  // ncdu's JSON export format
    {".csv", &csvSink},
};

// `text` ends with `end`, compared without regard to ASCII case.
bool endsWithNoCase(const char *text, const char *end) {
    size_t length = std::strlen(text), endLength = std::strlen(end);
    if (length < endLength) return false;
    for (size_t i = 0; i < endLength; ++i) {
        char a = text[length - endLength + i], b = end[i];
        if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = (char)(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

int chooseExport() {
    if (rs.exportTooLong) return rejectLongPath("Folmar==>  Export path too long: ", rs.exportFile);
    if (rs.exportFile[0] == '\0') return 0;
    for (const ExportFormat &format : exportFormats) {
        if (!endsWithNoCase(rs.exportFile, format.extension)) continue;
        useExportSink(format.sink);
        return 0;
    }
    conText("Folmar==>  Unable to export to ");
    conClean(rs.exportFile);
    conText(" \n");
    conText("Folmar==>  The name of an export file ends in .json or .csv \n");
    return 1;
}

bool openChosenExport() {
    const Sink *sink = exportSink();
    if (sink == nullptr) return true;
    bool sameAsReport = std::strlen(rs.exportFile) == std::strlen(rs.outputFile) &&
                        endsWithNoCase(rs.exportFile, rs.outputFile);
    if (rs.runMode == RunMode::allDrives && (sameAsReport || isSameFile(rs.exportFile, rs.outputFile))) {
        conText("Folmar==>  Unable to use the export file ");
        conClean(rs.exportFile);
        conText(" \n");
        conText("Folmar==>  It is the output file of this run \n");
        return false;
    }
    if (!openExport(rs.exportFile)) {
        conText("Folmar==>  Unable to open the export file ");
        conClean(rs.exportFile);
        conText(" \n");
        if (replacementError() == errorSharingViolation) conText("Folmar==>  Another program has it open \n");
        conText("Folmar==>  Program will terminate \n");
        return false;
    }
    sink->runStarted();
    return true;
}

bool completeExport() {
    const Sink *sink = exportSink();
    if (sink == nullptr) return true;
    if (sink->runFinished != nullptr) sink->runFinished();
    if (finishExport()) return true;
    conText("Folmar==>  Unable to write the export file ");
    conClean(rs.exportFile);
    conText(" \n");
    conText("Folmar==>  Most likely the disk drive is full \n");
    return false;
}
