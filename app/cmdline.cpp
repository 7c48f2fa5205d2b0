// The command line: "--help" and "--version", the help test and help screen,
// the switches (the export's path kept as it was typed), and the
// normalisation of the target argument into the starting directory.
#include <cctype>
#include <cstring>

#include "app/internal.h"
#include "common/console.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/text.h"
#include "common/version.h"

// Characters shown of a path that is refused as too long, before "...".
static const size_t shownPathChars = 60;

// The path of the last "/X:" argument as it was typed: kept before the
// arguments are upper-cased, used when /X: is applied.
static char exportArgument[sizeof rs.exportFile];
static bool exportArgumentTooLong = false;

// A "/T:" argument whose value is no number of files the block can list.
static bool largestArgumentBad = false;

// The target argument while it is normalised (520 characters), and whether
// it was longer than that.
static char targetArg[4 * 520];
static bool targetTooLong = false;

void keepExportArgument(int argc, char **argv) {
    exportArgument[0] = '\0';
    exportArgumentTooLong = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (arg[0] != '/' || (arg[1] != 'X' && arg[1] != 'x') || arg[2] != ':') continue;
        size_t length = std::strlen(arg + 3);
        exportArgumentTooLong = length >= sizeof exportArgument;
        if (exportArgumentTooLong) length = prefixBytes(arg + 3, shownPathChars);
        std::memcpy(exportArgument, arg + 3, length);
        exportArgument[length] = '\0';
    }
}

static void upperCaseInPlace(char *text) {
    for (; *text != '\0'; ++text) *text = (char)std::toupper((unsigned char)*text);
}

void upperCaseLoneArgument(int argc, char **argv) {
    if (argc == 2) upperCaseInPlace(argv[1]);
}

bool isHelpRequest(int argc, char **argv) {
    if (argc != 2 || argv[1][0] != '/') return false;
    return argv[1][1] == '?' || argv[1][1] == 'H' || argv[1][1] == 'h';
}

ToolRequest toolRequest(int argc, char **argv) {
    if (argc != 2) return ToolRequest::none;
    if (std::strcmp(argv[1], "--help") == 0) return ToolRequest::help;
    if (std::strcmp(argv[1], "--version") == 0) return ToolRequest::version;
    return ToolRequest::none;
}

void printVersionLine() { conFormat("Folmar==>  Ver. %s   %s \n", FOLMAR_VERSION, FOLMAR_VERSION_DATE); }

void printHelpScreen() {
    conFormat("Folmar==>  Ver. %s of %s \n", FOLMAR_VERSION, FOLMAR_VERSION_DATE);
    conText("\n");
    conText("Folmar (Ver. ");
    conText(FOLMAR_VERSION);
    conText(") Usage:  Folmar  parm \n");
    conText("   Where parm may be: \n");
    conText("      /All  -- to list all the drives  \n");
    conText("               output will be in C:FolmarAll.txt \n");
    conText("      Drive -- A through Z or A: through Z: \n");
    conText("      /C       Condensed Output (shows first level suddirectories only) \n");
    conText("      /H    -- Help (this screen) \n");
    conText("      /L       Use Long (Windows95+) Filenames \n");
    conText("      /S       Use Short (DOS 8.3) Filenames \n");
    conText("      /?    -- Help (this screen) \n");
    conText("\n");
    conText("Folmar==>  For the latest updates and product information: \n");
    conText("Folmar==>  " MAKER_WEB " \n");
    conText("Folmar==>  " MAKER_EMAIL " \n");
}

// An all-drives request: the drive list of the settings is emptied so that
// every drive of the machine is considered.
static void requestAllDrives() {
    rs.runMode = RunMode::allDrives;
    rs.driveList[0] = '\0';
}

// The number of "/T:N" into rs.largestFiles: plain digits, 0 to
// mostLargestFiles; anything else marks the argument as refused.
static void applyLargestFiles(const char *digits) {
    long value = 0;
    const char *at = digits;
    for (; *at >= '0' && *at <= '9' && value <= mostLargestFiles; ++at) value = value * 10 + (*at - '0');
    largestArgumentBad = at == digits || *at != '\0' || value > mostLargestFiles;
    if (!largestArgumentBad) rs.largestFiles = (int)value;
}

int refuseBadSwitches() {
    if (!largestArgumentBad) return 0;
    conText("Folmar==>  /T: takes a number of files from 0 to 1000 \n");
    return 1;
}

void applySwitch(char *arg) {
    upperCaseInPlace(arg);
    std::memmove(arg, arg + 1, std::strlen(arg));
    if (std::strncmp(arg, "ALL", 3) == 0 || arg[0] == '~') {
        requestAllDrives();
        return;
    }
    switch (arg[0]) {
    case 'S': rs.showDirs = Listing::shortNames; break;
    case 'L': rs.showDirs = Listing::longNames; break;
    case 'C': rs.condensed = true; rs.showDirs = Listing::longNames; break;
    case 'P': rs.pausePerScreen = true; break;
    case 'E': rs.listNotRead = true; break;
    case 'T':  // "/T:N", N from 0 to mostLargestFiles; a bare "/T" is no switch
        if (arg[1] == ':') applyLargestFiles(arg + 2);
        break;
    case 'X':  // "/X:" and the path; a bare "/X" is no switch
        if (arg[1] != ':') break;
        std::memcpy(rs.exportFile, exportArgument, sizeof rs.exportFile);
        rs.exportTooLong = exportArgumentTooLong;
        break;
    default: break;
    }
}

void scanArguments(int argc, char **argv) {
    targetArg[0] = '\0';
    largestArgumentBad = false;
    targetTooLong = false;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '/') {
            applySwitch(argv[i]);
            continue;
        }
        size_t length = std::strlen(argv[i]);
        targetTooLong = length >= sizeof targetArg;
        if (targetTooLong) length = sizeof targetArg - 1;
        std::memcpy(targetArg, argv[i], length);
        targetArg[length] = '\0';
    }
}

int rejectLongPath(const char *message, const char *text) {
    char shown[4 * shownPathChars + 1];
    size_t length = prefixBytes(text, shownPathChars);
    std::memcpy(shown, text, length);
    shown[length] = '\0';
    conText(message);
    conClean(shown);
    conText("...\n");
    return 1;
}

static int rejectLongTarget() { return rejectLongPath("Folmar==>  Target path too long: ", targetArg); }

// Inserts `text` at `offset` of targetArg; false when it would not fit.
static bool insertIntoTarget(size_t offset, const char *text) {
    size_t length = std::strlen(targetArg);
    size_t add = std::strlen(text);
    if (length + add >= sizeof targetArg) return false;
    std::memmove(targetArg + offset + add, targetArg + offset, length - offset + 1);
    std::memcpy(targetArg + offset, text, add);
    return true;
}

// The current directory for a target that needs it, in `cwd` (`size`
// bytes); 0, or the exit code after the message when the working directory
// lies on no drive or is longer than 259 characters. An all-drives run needs
// none and goes on without it.
static int readCurrentDirectory(char *cwd, uint32_t size) {
    uint32_t length = getCurrentDirectory(size, cwd);
    bool tooLong = length >= size || (length > 0 && utf8Chars(cwd) > maxPathChars);
    if (length > 0 && !tooLong) return 0;
    if (rs.runMode == RunMode::allDrives) {
        cwd[0] = '\0';
        return 0;
    }
    if (tooLong) return rejectLongPath("Folmar==>  The current directory path is too long: ", cwd);
    conText("Folmar==>  The current directory is on no drive: ");
    conClean(cwd);
    conText("\n");
    return 1;
}

int normaliseTarget() {
    char *target = targetArg;
    if (targetTooLong) return rejectLongTarget();
    if (target[0] == '~') {
        requestAllDrives();
    } else if (target[0] != '\0' && target[1] == ':' && target[2] != '\\') {
        if (!insertIntoTarget(2, "\\")) return rejectLongTarget();
    }
    char cwd[maxPathBytes + 1];
    bool needsCwd = target[0] == '\0' || target[1] != ':';
    if (needsCwd) {
        int code = readCurrentDirectory(cwd, sizeof cwd);
        if (code != 0) return code;
    }
    if (target[0] == '\0') {
        std::snprintf(rs.curPath, sizeof rs.curPath, "%s", cwd);
        rs.driveLetter = rs.curPath[0];
        return 0;
    }
    if (target[1] != ':') {
        char prefix[4] = {cwd[0], ':', '\\', '\0'};
        if (!insertIntoTarget(0, prefix)) return rejectLongTarget();
    }
    char *pattern = std::strstr(target, "*.*");
    if (pattern != nullptr) *pattern = '\0';
    size_t length = std::strlen(target);
    if (length > 0 && target[length - 1] == '\\') target[--length] = '\0';
    if (utf8Chars(target) > maxPathChars) {
        if (rs.runMode == RunMode::allDrives) return 0;
        return rejectLongTarget();
    }
    std::memcpy(rs.curPath, target, length + 1);
    rs.driveLetter = rs.curPath[0];
    return 0;
}
