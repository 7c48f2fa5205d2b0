// The command line: "--help" and "--version", the help test and help screen,
// the switches (the export's path kept as it was typed), and the
// normalisation of the target argument into the starting directory.
#include <cctype>
#include <cstring>

#include "app/internal.h"
#include "common/console.h"
#include "common/exclude.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/text.h"
#include "common/version.h"
#include "scan/scan.h"

// Characters shown of a path that is refused as too long, before "...".
static const size_t shownPathChars = 60;

// The path of the last "/X:" argument as it was typed: kept before the
// arguments are upper-cased, used when /X: is applied.
static char exportArgument[sizeof rs.exportFile];
static bool exportArgumentTooLong = false;

// The patterns of the "/I:" arguments as they were typed, each
// NUL-terminated, one after another; the next to be applied; and whether
// one did not fit (the run is then refused).
static char excludeArguments[excludeStoreBytes];
static size_t excludeArgumentsUsed = 0, excludeArgumentsTaken = 0;
static bool excludeArgumentTooLong = false;
// A "/T:" argument whose value is no number of files the block can list.
static bool largestArgumentBad = false;

// The target argument while it is normalised (520 characters), and whether
// it was longer than that.
static char targetArg[4 * 520];
static bool targetTooLong = false;
// What the target argument is in the host's own path form (a Linux path):
// targetArg then holds its drive form, or (on no drive) the argument itself.
static HostPath targetHostPath = HostPath::notHostPath;

// The switches spelled exactly so (any case): they are never a path.
static const char *const switchSpellings[] = {"/C", "/S", "/L", "/P", "/E", "/ALL", "/?", "/H"};

// `arg` is one of the exact switch spellings, or a switch that takes a
// value ("/X:PATH": a slash, a letter and a colon).
static bool isSwitchSpelling(const char *arg) {
    if (arg[0] != '/') return false;
    if (std::isalpha((unsigned char)arg[1]) && arg[2] == ':') return true;
    for (const char *spelling : switchSpellings) {
        size_t i = 0;
        while (spelling[i] != '\0' && std::toupper((unsigned char)arg[i]) == spelling[i]) ++i;
        if (spelling[i] == '\0' && arg[i] == '\0') return true;
    }
    return false;
}

// What `arg` is in the host's own path form, its drive form into
// `drivePath`: never a switch spelling nor a drive form ("D:...").
static HostPath hostPathOf(const char *arg, char *drivePath, size_t room) {
    if (isSwitchSpelling(arg) || (arg[0] != '\0' && arg[1] == ':')) return HostPath::notHostPath;
    return hostPathTarget(arg, drivePath, room);
}

// A lone argument in the host's own path form keeps its case and is no
// help request.
static bool isLoneHostPath(int argc, char **argv) {
    return argc == 2 && hostPathOf(argv[1], targetArg, sizeof targetArg) != HostPath::notHostPath;
}

void forgetCommandLine() {
    exportArgument[0] = '\0';
    exportArgumentTooLong = false;
    excludeArgumentsUsed = excludeArgumentsTaken = 0;
    excludeArgumentTooLong = false;
    largestArgumentBad = false;
    targetArg[0] = '\0';
    targetTooLong = false;
    targetHostPath = HostPath::notHostPath;
}

void keepExportArgument(int argc, char **argv) {
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

void keepExcludeArguments(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (arg[0] != '/' || (arg[1] != 'I' && arg[1] != 'i') || arg[2] != ':') continue;
        size_t length = std::strlen(arg + 3);
        if (excludeArgumentsUsed + length + 1 > sizeof excludeArguments) {
            excludeArgumentTooLong = true;
            continue;
        }
        std::memcpy(excludeArguments + excludeArgumentsUsed, arg + 3, length + 1);
        excludeArgumentsUsed += length + 1;
    }
}

// The next kept "/I:" pattern goes to the store.
static void applyExcludeArgument() {
    if (excludeArgumentTooLong) rs.excludeTooMany = true;
    if (excludeArgumentsTaken >= excludeArgumentsUsed) return;
    const char *patterns = excludeArguments + excludeArgumentsTaken;
    addExcludePatterns(patterns);
    excludeArgumentsTaken += std::strlen(patterns) + 1;
}

int checkExclusions() {
    if (rs.excludeTooMany) {
        conText("Folmar==>  Too many exclusion patterns: at most 64, 4,096 bytes together, each 259 characters \n");
        return 1;
    }
    const char *pattern = unmatchablePattern();
    if (pattern != nullptr) {
        conText("Folmar==>  The exclusion pattern \"");
        conClean(pattern);
        conText("\" can never match a directory \n");
        return 1;
    }
    useExclusions();
    return 0;
}

static void upperCaseInPlace(char *text) {
    for (; *text != '\0'; ++text) *text = (char)std::toupper((unsigned char)*text);
}

void upperCaseLoneArgument(int argc, char **argv) {
    if (argc == 2 && !isLoneHostPath(argc, argv)) upperCaseInPlace(argv[1]);
}

bool isHelpRequest(int argc, char **argv) {
    if (argc != 2 || argv[1][0] != '/' || isLoneHostPath(argc, argv)) return false;
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

// The usage that "--help" prints: every switch, the targets, the
// environment, the settings and the exit codes.
static const char *const usageLines[] = {
    "Usage: folmar [target] [/C] [/S] [/L] [/P] [/E] [/X:file] [/I:pattern] [/T:n]\n",
    "              [/ALL]\n",
    "       folmar /? | /H | --help | --version\n",
    "\n",
    "Writes a directory summary report of one tree on standard output, or of\n",
    "every selected drive into the report file (/ALL).\n",
    "\n",
    "Target:\n",
    "  D:  D:\\data  D:data     a drive, a drive and path (D:data is D:\\data)\n",
    "  data  \\data             a path from the root of the current drive\n",
    "  .  ..  .\\data  ..\\data  a path from the current directory\n",
    "  ~                       all drives, as /ALL\n",
    "  On Linux also a Linux path: one with '/' after its first character\n",
    "  (src/lib, /usr/share), one beginning with '/' that exists (/home), or\n",
    "  . and ..; taken from the working directory, links followed, reported in\n",
    "  its drive form with its names as on disk. It must lie inside a drive.\n",
    "  /C /S /L /P /E /ALL /? /H and /X: /I: /T: are always switches.\n",
    "\n",
    "Switches:\n",
    "  /C         condensed: one line per first-level directory\n",
    "  /S  /L     paths from short 8.3 names / long names\n",
    "  /P         pause every 23 lines on the console\n",
    "  /E         name on standard error every directory that could not be read\n",
    "  /X:file    also export the walk: file.json (ncdu's format) or file.csv\n",
    "  /I:pattern exclude directories matching pattern (may be repeated)\n",
    "  /T:n       list the n largest files after each drive's totals\n",
    "  /ALL       all drives into the report file\n",
    "  /?  /H     the old help screen, a wait, exit code 1\n",
    "\n",
    "Environment (Linux):\n",
    "  FOLMAR_DRIVES    drive letters to directories: 'C=/srv/c;D=/mnt/nas,remote'\n",
    "                   (types fixed remote removable cdrom ramdisk); else C is /\n",
    "  FOLMAR_READAHEAD threads that read ahead (0: none); else chosen by the load\n",
    "\n",
    "Settings: Folmar.ini in the current directory, else C:\\Orvan\\Folmar.ini\n",
    "  (on Linux ~/.config/folmar/Folmar.ini, then /etc/folmar/Folmar.ini), in a\n",
    "  section [Folmar ...]: showDirs showFiles lineWidthPrint pageSize\n",
    "  processLocalDrives processRemoteDrives driveList outputFile exportFile\n",
    "  exclude hardLinks largestFiles. The report file is outputFile, else\n",
    "  C:\\FolmarAll.txt (on Linux FolmarAll.txt in the working directory).\n",
    "\n",
    "Exit codes: 0 the report was written (or a width answer of 0 ended the run);\n",
    "  1 it was not: help screen, a path too long or on no drive, a report file\n",
    "  or export or standard output that could not be written, no answer to the\n",
    "  width question, a walk that stopped.\n",
};

void printUsage() {
    for (const char *line : usageLines) conText(line);
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
    case 'I':  // "/I:" and a pattern, kept as typed
        if (arg[1] == ':') applyExcludeArgument();
        break;
    default: break;
    }
}

void scanArguments(int argc, char **argv) {
    targetArg[0] = '\0';
    largestArgumentBad = false;
    targetTooLong = false;
    targetHostPath = HostPath::notHostPath;
    for (int i = 1; i < argc; ++i) {
        HostPath kind = hostPathOf(argv[i], targetArg, sizeof targetArg);
        if (kind == HostPath::notHostPath && argv[i][0] == '/') {
            applySwitch(argv[i]);
            continue;
        }
        targetHostPath = kind;
        targetTooLong = false;
        if (kind == HostPath::drivePath) continue;
        size_t length = std::strlen(argv[i]);
        targetTooLong = length >= sizeof targetArg || kind == HostPath::tooLong;
        if (length >= sizeof targetArg) length = sizeof targetArg - 1;  // an argument short of it is kept whole
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

// A target in the host's own path form that lies on no drive: the message
// and exit code 1; an all-drives run does not use its target and goes on.
static int refuseTargetOnNoDrive() {
    if (rs.runMode == RunMode::allDrives) return 0;
    conText("Folmar==>  ");
    conClean(targetArg);
    conText(" is on no drive\n");
    return 1;
}

// A target taken from the current directory rather than its drive's root:
// ".", "..", or one that begins ".\" or "..\".
static bool isDotTarget(const char *target) {
    size_t dots = target[0] != '.' ? 0 : target[1] != '.' ? 1 : 2;
    return dots > 0 && (target[dots] == '\0' || target[dots] == '\\');
}

// Folds the "." and ".." components of the Windows path `path` ("C:\a\.\b\..")
// in place; ".." never climbs above the drive's root.
static void foldDotComponents(char *path) {
    char *write = path + 2, *read = path + 2;  // after "C:"
    while (*read == '\\') {
        char *end = read + 1;
        while (*end != '\0' && *end != '\\') ++end;
        size_t length = (size_t)(end - read);  // with its backslash
        bool dot = length == 2 && read[1] == '.', dotDot = length == 3 && read[1] == '.' && read[2] == '.';
        if (dotDot) {
            while (write > path + 2 && *--write != '\\') {}
        } else if (!dot) {
            std::memmove(write, read, length);
            write += length;
        }
        read = end;
    }
    std::memmove(write, read, std::strlen(read) + 1);
    if (write == path + 2 && *write == '\0') std::memcpy(write, "\\", 2);
}

int settleReportFile() {
    if (rs.runMode != RunMode::allDrives || std::strcmp(rs.outputFile, FOLMAR_DEFAULT_OUTPUT) != 0) return 0;
    if (defaultReportFile(rs.outputFile, sizeof rs.outputFile)) return 0;
    char cwd[maxPathBytes + 1];
    getCurrentDirectory(sizeof cwd, cwd);
    conText("Folmar==>  The current directory is on no drive: ");
    conClean(cwd);
    conText("\n");
    return 1;
}

int normaliseTarget() {
    char *target = targetArg;
    if (targetTooLong) return rejectLongTarget();
    if (targetHostPath == HostPath::onNoDrive) return refuseTargetOnNoDrive();
    if (targetHostPath == HostPath::notHostPath) hostSeparatorsToBackslashes(target);
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
    if (target[1] != ':' && isDotTarget(target)) {
        size_t cwdLength = std::strlen(cwd);
        if (cwdLength + 1 >= sizeof cwd) return rejectLongTarget();
        if (cwd[cwdLength - 1] != '\\') cwd[cwdLength++] = '\\';
        cwd[cwdLength] = '\0';
        if (!insertIntoTarget(0, cwd)) return rejectLongTarget();
    } else if (target[1] != ':') {
        char prefix[4] = {cwd[0], ':', '\\', '\0'};
        if (!insertIntoTarget(0, prefix)) return rejectLongTarget();
    }
    char *pattern = targetHostPath == HostPath::drivePath ? nullptr : std::strstr(target, "*.*");
    if (pattern != nullptr) *pattern = '\0';
    foldDotComponents(target);
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
