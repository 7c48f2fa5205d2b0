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

// One spelling of a file's name, as the drive compares names.
struct FileName {
    char text[2 * maxPathBytes + 8];  // "C:" then "\COMPONENT" for each, ASCII letters in capitals
    size_t used;
};

bool isSeparator(char c) { return c == '\\' || c == '/'; }
char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

// Appends the components of `text` to `name`: empty ones and "." dropped,
// ".." taking the last one away (never the drive), each without its
// trailing dots and blanks, which the system drops. False when it does not fit.
bool appendComponents(const char *text, FileName *name) {
    while (*text != '\0') {
        size_t length = 0;
        while (text[length] != '\0' && !isSeparator(text[length])) ++length;
        size_t kept = length;
        while (kept > 0 && (text[kept - 1] == '.' || text[kept - 1] == ' ')) --kept;
        if (length == 2 && text[0] == '.' && text[1] == '.') {
            while (name->used > 2 && name->text[--name->used] != '\\') {}
        } else if (kept > 0) {
            if (name->used + 1 + kept >= sizeof name->text) return false;
            name->text[name->used++] = '\\';
            for (size_t i = 0; i < kept; ++i) name->text[name->used++] = upperAscii(text[i]);
        }
        text += length;
        while (isSeparator(*text)) ++text;
    }
    name->text[name->used] = '\0';
    return true;
}

// The full name of the file `path` (with a drive, from its root, or from the
// current directory `cwd`, "" when there is none) in `name`; false when it
// cannot be told.
bool fullFileName(const char *path, const char *cwd, FileName *name) {
    bool drive = upperAscii(path[0]) >= 'A' && upperAscii(path[0]) <= 'Z' && path[1] == ':';
    char letter = upperAscii(drive ? path[0] : cwd[0]);
    if (letter == '\0') return false;
    name->text[0] = letter;
    name->text[1] = ':';
    name->used = 2;
    const char *rest = drive ? path + 2 : path;
    bool fromCwd = !isSeparator(rest[0]) && upperAscii(cwd[0]) == letter;
    if (fromCwd && !appendComponents(cwd + 2, name)) return false;
    return appendComponents(rest, name);
}

// The export and the report name one file, whether it exists or not: their
// names compared after `.`, `..` and the current directory are folded, ASCII
// letters without regard to case (as Windows compares names, and as the
// path look-up of the Linux build finds them).
bool sameFileName(const char *exportPath, const char *reportPath) {
    static FileName names[2];
    char cwd[maxPathBytes + 1];
    if (getCurrentDirectory(sizeof cwd, cwd) - 1 >= sizeof cwd - 1) cwd[0] = '\0';
    if (!fullFileName(exportPath, cwd, &names[0]) || !fullFileName(reportPath, cwd, &names[1]))
        return std::strlen(exportPath) == std::strlen(reportPath) && endsWithNoCase(exportPath, reportPath);
    return std::strcmp(names[0].text, names[1].text) == 0;
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
    bool intoReport = rs.runMode == RunMode::allDrives &&
                      (sameFileName(rs.exportFile, rs.outputFile) || isSameFile(rs.exportFile, rs.outputFile));
    bool intoStdout = !intoReport && isStandardOutput(rs.exportFile);
    if (intoReport || intoStdout) {
        conText("Folmar==>  Unable to use the export file ");
        conClean(rs.exportFile);
        conText(" \n");
        conText(intoReport ? "Folmar==>  It is the output file of this run \n"
                           : "Folmar==>  It is the standard output of this run \n");
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
