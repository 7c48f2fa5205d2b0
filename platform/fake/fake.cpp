// The fake machine: an in-memory implementation of the platform seam for the
// unit tests. It keeps a tree per drive letter, with Windows semantics for
// the enumeration ("." and ".." first in every directory but a root, names
// compared without regard to case), scripted console keys, a scripted clock
// and files kept in the temporary folder so that the program can open, write
// and close them like real ones.
#include "platform/fake/fake.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/utf8.h"

namespace {

struct Node {
    std::string name;
    std::string shortName;
    bool isDir = false;
    uint64_t size = 0;
    std::vector<int> children;
    int linkTo = -1;      // a link (reparse point): the directory it leads to
    int swapTo = -1;      // becomes a link to this directory when a path first leads through it
    char drive = 0;       // the drive it is on: its identity's volume
    int failAfter = -1;   // findFirstFile calls that succeed before failing; -1 never
    uint32_t failCode = 0;
    int firstCalls = 0;
};

struct Drive {
    uint32_t type = driveFixed;
    int root = -1;
    bool haveClassic = false, haveEx = false;
    uint32_t spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
    uint64_t toCaller = 0, total = 0, totalFree = 0;
    uint32_t failCode = 0;
};

struct Enumeration {
    bool open = false;
    bool shortNames = true;
    std::vector<std::string> names;  // "." and ".." or child names
    std::vector<int> nodes;          // -1 for the dot entries
    size_t next = 0;
};

struct FakeFile {
    std::string diskPath;   // where the bytes live
    bool failOpen = false;
    uint32_t openError = 0;  // a failed replacement's system error
    bool full = false;
};

struct Machine {
    std::vector<Node> nodes;
    std::map<char, Drive> drives;
    std::vector<Enumeration> enums;
    int shortNameRequests = 0;
    bool enterByShortNames = false;
    uint32_t lastError = 0;
    bool driveStringsFail = false;
    bool exAvailable = true;
    int diskQueries = 0;
    uint32_t build = 1001;
    bool versionFails = false;
    bool cwdOnDrive = true;
    std::string cwd = "C:\\";
    std::deque<LocalTime> clock;
    LocalTime lastTime{2008, 1, 18, 9, 5};
    bool charDevice = false;
    bool codePage = false;
    bool console = false;
    std::deque<int> typed;
    std::deque<int> later;
    int blockedReads = 0, keysRead = 0;
    size_t shownAtLastRead = 0;
    std::string stderrAtLastRead;
    int stderrColumns = 0;
    uint64_t clockMs = 0, clockStep = 0;
    bool haveInteger = false;
    bool haveWord = false;  // an answer that is no number
    int integer = 0;
    bool linuxHost = false;
    std::map<std::string, std::pair<HostPath, std::string>> hostPaths;  // key: the argument
    std::string replacementFailure = "access denied";
    uint32_t replacementError = 0;  // of the latest createReplacement
    std::map<std::string, FakeFile> files;  // key: upper-cased Windows path
    std::vector<std::string> tempPaths;
    int tempCounter = 0;
    std::map<FILE *, std::pair<std::string, std::string>> replacements;  // path, new disk file
    int abandoned = 0;  // replacements given up, never put in place
};

Machine m;
// Standard output and standard error of the program under test: one stream
// each for the whole test process (a RunState may hold them across resets);
// a reset only moves the point from which the captured text is read.
FILE *capturedStdout = nullptr;
long capturedStart = 0;
FILE *capturedStderr = nullptr;
long capturedErrStart = 0;

std::string upper(const std::string &s) {
    std::string u = s;
    for (char &c : u) c = (char)std::toupper((unsigned char)c);
    return u;
}

bool sameName(const std::string &a, const std::string &b) { return upper(a) == upper(b); }

// A file name in the temporary folder, unique to this process: test
// programs run in parallel, so each process draws its own name prefix.
std::string tempName(const std::string &what) {
    static const unsigned long processTag = std::random_device{}();
    std::string name = "folmar-fake-" + std::to_string(processTag) + "-" + what + ".tmp";
    return (std::filesystem::temp_directory_path() / name).string();
}

// A temporary file for the current machine, removed by the next reset.
std::string newTempPath() {
    std::string path = tempName(std::to_string(m.tempCounter++));
    m.tempPaths.push_back(path);
    return path;
}

std::string capturedPath, capturedErrPath;

// At exit: the captured output and the files of the last machine go.
void removeTemporaryFiles() {
    if (capturedStdout) std::fclose(capturedStdout);
    if (capturedStderr) std::fclose(capturedStderr);
    capturedStdout = capturedStderr = nullptr;
    std::remove(capturedPath.c_str());
    std::remove(capturedErrPath.c_str());
    for (const std::string &p : m.tempPaths) std::remove(p.c_str());
}

// Splits "C:\A\B\*.*" into its drive letter and components; the pattern and
// empty components (doubled backslashes) are dropped.
bool splitPath(const char *path, char *letter, std::vector<std::string> *parts) {
    if (!path || !std::isalpha((unsigned char)path[0]) || path[1] != ':') return false;
    *letter = (char)std::toupper((unsigned char)path[0]);
    std::string piece;
    for (const char *p = path + 2;; ++p) {
        if (*p == '\\' || *p == 0) {
            if (!piece.empty() && piece != "*.*" && piece != "*") parts->push_back(piece);
            piece.clear();
            if (*p == 0) break;
        } else {
            piece += *p;
        }
    }
    return true;
}

int childNamed(int dir, const std::string &name) {
    for (int c : m.nodes[dir].children)
        if (sameName(m.nodes[c].name, name)) return c;
    // As on Windows, a path may name an entry by its short name too.
    for (int c : m.nodes[dir].children)
        if (!m.nodes[c].shortName.empty() && sameName(m.nodes[c].shortName, name)) return c;
    return -1;
}

int resolve(const char *path, bool create, bool lastIsFile = false, bool followLast = true) {
    char letter;
    std::vector<std::string> parts;
    if (!splitPath(path, &letter, &parts)) return -1;
    auto d = m.drives.find(letter);
    if (d == m.drives.end()) return -1;
    int cur = d->second.root;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!m.nodes[cur].isDir) return -1;
        if (m.nodes[cur].linkTo >= 0) cur = m.nodes[cur].linkTo;
        int next = childNamed(cur, parts[i]);
        if (next < 0) {
            if (!create) return -1;
            Node n;
            n.name = parts[i];
            n.isDir = !(lastIsFile && i + 1 == parts.size());
            n.drive = m.nodes[cur].drive;
            m.nodes.push_back(n);
            next = (int)m.nodes.size() - 1;
            m.nodes[cur].children.push_back(next);
        }
        cur = next;
        if (m.nodes[cur].swapTo >= 0) m.nodes[cur].linkTo = m.nodes[cur].swapTo, m.nodes[cur].swapTo = -1;
    }
    return m.nodes[cur].linkTo >= 0 && followLast ? m.nodes[cur].linkTo : cur;
}

// The text written to `stream` from byte `start` on.
std::string capturedText(FILE *stream, long start) {
    std::string text;
    if (!stream) return text;
    std::fflush(stream);
    std::fseek(stream, 0, SEEK_END);
    long end = std::ftell(stream);
    std::fseek(stream, start, SEEK_SET);
    text.resize((size_t)(end - start));
    size_t got = std::fread(&text[0], 1, text.size(), stream);
    text.resize(got);
    std::fseek(stream, 0, SEEK_END);
    return text;
}

void fill(const Enumeration &e, FindData *data, bool shortNames) {
    std::memset(data, 0, sizeof *data);
    const std::string &name = e.names[e.next];
    std::strncpy(data->cFileName, name.c_str(), sizeof data->cFileName - 1);
    int n = e.nodes[e.next];
    if (n < 0) {
        data->attributes = fileAttributeDirectory;
        return;
    }
    const Node &node = m.nodes[n];
    data->attributes = node.isDir ? (uint32_t)fileAttributeDirectory : 0x20u;
    if (node.linkTo >= 0) data->attributes |= fileAttributeReparsePoint;
    data->nFileSizeHigh = (uint32_t)(node.size >> 32);
    data->nFileSizeLow = (uint32_t)node.size;
    uint64_t pages = node.size / 4096 + (node.size % 4096 != 0);
    if (!node.isDir) data->allocatedSize = pages < (UINT64_MAX >> 12) ? pages * 4096 : UINT64_MAX;
    if (shortNames)
        std::strncpy(data->cAlternateFileName, node.shortName.c_str(),
                     sizeof data->cAlternateFileName - 1);
}

FakeFile &fileRecord(const char *path) { return m.files[upper(path)]; }

bool readWhole(const std::string &path, std::string *out) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[4096];
    size_t n;
    out->clear();
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
    std::fclose(f);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- control

void fakeReset() {
    for (auto &e : m.enums) e.open = false;
    for (const std::string &p : m.tempPaths) std::remove(p.c_str());
    m = Machine();
    FILE *out = platformStdout();
    std::fflush(out);
    std::fseek(out, 0, SEEK_END);
    capturedStart = std::ftell(out);
    FILE *err = platformStderr();
    std::fseek(err, 0, SEEK_END);
    capturedErrStart = std::ftell(err);
}

void fakeAddDrive(char letter, uint32_t type) {
    letter = (char)std::toupper((unsigned char)letter);
    Drive &d = m.drives[letter];
    d.type = type;
    if (d.root < 0) {
        Node root;
        root.isDir = true;
        root.name = std::string(1, letter) + ":";
        root.drive = letter;
        m.nodes.push_back(root);
        d.root = (int)m.nodes.size() - 1;
    }
}

void fakeAddDir(const char *path, const char *shortName) {
    int n = resolve(path, true);
    if (n >= 0) m.nodes[n].shortName = shortName ? shortName : "";
}

void fakeAddFile(const char *path, uint64_t size, const char *shortName) {
    int n = resolve(path, true, true);
    if (n < 0) return;
    m.nodes[n].isDir = false;
    m.nodes[n].size = size;
    m.nodes[n].shortName = shortName ? shortName : "";
}

void fakeAddLink(const char *path, const char *targetPath) {
    int target = resolve(targetPath, false);
    int n = resolve(path, true);
    if (target < 0 || n < 0) return;
    m.nodes[n].isDir = true;
    m.nodes[n].linkTo = target;
}

void fakeSwapForLink(const char *path, const char *targetPath) {
    int target = resolve(targetPath, false);
    int n = resolve(path, false);
    if (target >= 0 && n >= 0) m.nodes[n].swapTo = target;
}

void fakeFailDir(const char *path, int afterCalls, uint32_t errorCode) {
    int n = resolve(path, false);
    if (n < 0) return;
    m.nodes[n].failAfter = afterCalls;
    m.nodes[n].failCode = errorCode;
}


int fakeShortNameRequests() { return m.shortNameRequests; }
void fakeSetEnterByShortNames(bool enter) { m.enterByShortNames = enter; }

int fakeOpenFindHandles() {
    int open = 0;
    for (const auto &e : m.enums) open += e.open ? 1 : 0;
    return open;
}

void fakeFailDriveStrings() { m.driveStringsFail = true; }

void fakeSetDiskSpace(char letter, uint32_t spc, uint32_t bps, uint32_t freeClusters,
                      uint32_t totalClusters) {
    Drive &d = m.drives[(char)std::toupper((unsigned char)letter)];
    d.haveClassic = true;
    d.spc = spc;
    d.bps = bps;
    d.freeClusters = freeClusters;
    d.totalClusters = totalClusters;
}

void fakeSetDiskSpaceEx(char letter, uint64_t toCaller, uint64_t total, uint64_t totalFree) {
    Drive &d = m.drives[(char)std::toupper((unsigned char)letter)];
    d.haveEx = true;
    d.toCaller = toCaller;
    d.total = total;
    d.totalFree = totalFree;
}

void fakeFailDiskSpace(char letter, uint32_t errorCode) {
    m.drives[(char)std::toupper((unsigned char)letter)].failCode = errorCode;
}

void fakeSetDiskSpaceExAvailable(bool available) { m.exAvailable = available; }
int fakeDiskQueries() { return m.diskQueries; }
void fakeSetBuild(uint32_t build) { m.build = build; }
void fakeFailVersion() { m.versionFails = true; }

void fakeSetCurrentDirectory(const char *windowsPath) {
    m.cwdOnDrive = true;
    m.cwd = windowsPath;
}

void fakeSetCurrentDirectoryOffDrive(const char *nativeText) {
    m.cwdOnDrive = false;
    m.cwd = nativeText;
}

void fakeQueueClock(LocalTime next) { m.clock.push_back(next); }
void fakeSetStdoutCharDevice(bool isCharDevice) { m.charDevice = isCharDevice; }
void fakeSetCodePage(bool ansi) { m.codePage = ansi; }
void fakeSetConsole(bool present) { m.console = present; }
void fakeTypeKey(int code) { m.typed.push_back(code); }
void fakePressLater(int code) { m.later.push_back(code); }
int fakeBlockedReads() { return m.blockedReads; }
int fakeKeysRead() { return m.keysRead; }
size_t fakeShownAtLastRead() { return m.shownAtLastRead; }

void fakeSetStdinInteger(int value) {
    m.haveInteger = true;
    m.integer = value;
}

void fakeSetStdinWord() { m.haveWord = true; }

void fakeSetLinuxHost(bool isLinux) { m.linuxHost = isLinux; }

void fakeSetHostPath(const char *argument, HostPath kind, const char *drivePath) {
    m.hostPaths[argument] = {kind, drivePath};
}

void fakeSetReplacementFailure(const char *reason) { m.replacementFailure = reason; }

std::string fakeStdoutText() { return capturedText(capturedStdout, capturedStart); }
std::string fakeStderrText() { return capturedText(capturedStderr, capturedErrStart); }
void fakeSetStderrTerminal(int columns) { m.stderrColumns = columns; }
void fakeSetClockStep(uint64_t milliseconds) { m.clockStep = milliseconds; }
std::string fakeStderrAtLastRead() { return m.stderrAtLastRead; }

void fakePutFile(const char *path, const std::string &content) {
    FakeFile &f = fileRecord(path);
    f.diskPath = newTempPath();
    FILE *out = std::fopen(f.diskPath.c_str(), "wb");
    if (out) {
        std::fwrite(content.data(), 1, content.size(), out);
        std::fclose(out);
    }
}

std::string fakeFileText(const char *path) {
    auto it = m.files.find(upper(path));
    std::string text;
    if (it != m.files.end() && !it->second.diskPath.empty()) readWhole(it->second.diskPath, &text);
    return text;
}

bool fakeFileExists(const char *path) {
    auto it = m.files.find(upper(path));
    return it != m.files.end() && !it->second.diskPath.empty();
}

void fakeFailOpen(const char *path, uint32_t error) {
    FakeFile &file = fileRecord(path);
    file.failOpen = true;
    file.openError = error;
}
void fakeFullDisk(const char *path) { fileRecord(path).full = true; }

// ---------------------------------------------------------------- the seam

// A hint must be what platform.h says: an open enumeration whose entry
// delivered last is the directory searched. Any other is a fault of the
// caller, which a system might not show (its hint ignored): the test ends.
static void checkParentHint(const char *searchPath, FindHandle parent) {
    if (parent == invalidFindHandle) return;
    int n = resolve(searchPath, false, false, false);
    bool known = parent >= 0 && (size_t)parent < m.enums.size() && m.enums[parent].open;
    if (known && m.enums[parent].next > 0 && n >= 0 && m.enums[parent].nodes[m.enums[parent].next - 1] == n) return;
    std::fprintf(stderr, "findFirstFile(%s): the hint %ld delivered another entry last\n", searchPath, (long)parent);
    std::abort();
}

FindHandle findFirstFile(const char *searchPath, FindData *data, bool shortNames, FindHandle parent) {
    if (shortNames) ++m.shortNameRequests;
    m.lastError = errorPathNotFound;
    int n = resolve(searchPath, false);
    checkParentHint(searchPath, parent);
    if (n < 0 || !m.nodes[n].isDir) return invalidFindHandle;
    Node &dir = m.nodes[n];
    int call = dir.firstCalls++;
    m.lastError = dir.failCode;
    if (dir.failAfter >= 0 && call >= dir.failAfter) return invalidFindHandle;
    Enumeration e;
    e.open = true;
    e.shortNames = shortNames;
    bool isRoot = false;
    for (const auto &d : m.drives) isRoot = isRoot || d.second.root == n;
    if (!isRoot) {
        e.names = {".", ".."};
        e.nodes = {-1, -1};
    }
    for (int c : dir.children) {
        e.names.push_back(m.nodes[c].name);
        e.nodes.push_back(c);
    }
    m.lastError = errorFileNotFound;
    if (e.names.empty()) return invalidFindHandle;
    fill(e, data, shortNames);
    e.next = 1;
    m.enums.push_back(e);
    return (FindHandle)(m.enums.size() - 1);
}

bool findNextFile(FindHandle handle, FindData *data) {
    if (handle < 0 || (size_t)handle >= m.enums.size() || !m.enums[handle].open) return false;
    Enumeration &e = m.enums[handle];
    if (e.next >= e.names.size()) return false;
    fill(e, data, e.shortNames);
    ++e.next;
    return true;
}

void findClose(FindHandle handle) {
    if (handle >= 0 && (size_t)handle < m.enums.size()) m.enums[handle].open = false;
}

uint32_t getLastError() { return m.lastError; }

bool getDirectoryIdentity(const char *path, FileIdentity *identity) {
    int n = resolve(path, false);
    if (n < 0 || !m.nodes[n].isDir) return false;
    // As on Windows, numbered on its volume: another volume may use the same numbers.
    const Node &node = m.nodes[n];
    *identity = FileIdentity{(uint64_t)node.drive, (uint64_t)(n - m.drives[node.drive].root)};
    return true;
}
bool isReparsePoint(const char *path) {
    int n = resolve(path, false, false, false);
    return n >= 0 && m.nodes[n].linkTo >= 0;
}
bool enterByShortNames() { return m.enterByShortNames; }
// Every file of the fake machine has one name.
void keepFileLinks(bool) {}
bool getFileLinks(const char *, FindData *) { return false; }

// The fake reads nothing ahead: the walk's own test is all there is.
void setExclusionTest(ExclusionTest, bool) {}

uint32_t getLogicalDriveStrings(uint32_t length, char *buffer) {
    if (m.driveStringsFail) return 0;
    std::string s;
    for (const auto &d : m.drives) {
        if (d.second.root < 0) continue;
        s += d.first;
        s += ":\\";
        s += '\0';
    }
    s += '\0';
    if (s.size() > length) return (uint32_t)s.size();
    std::memcpy(buffer, s.data(), s.size());
    return s.empty() ? 0 : (uint32_t)s.size() - 1;
}

uint32_t getDriveType(const char *rootPath) {
    if (!rootPath || !std::isalpha((unsigned char)rootPath[0]) || rootPath[1] != ':')
        return driveNoRootDir;
    auto d = m.drives.find((char)std::toupper((unsigned char)rootPath[0]));
    if (d == m.drives.end() || d->second.root < 0) return driveNoRootDir;
    return d->second.type;
}

static Drive *queryDrive(const char *rootPath, uint32_t *errorCode) {
    ++m.diskQueries;
    auto d = m.drives.find((char)std::toupper((unsigned char)rootPath[0]));
    if (d == m.drives.end() || d->second.root < 0) {
        *errorCode = errorPathNotFound;
        return nullptr;
    }
    if (d->second.failCode) {
        *errorCode = d->second.failCode;
        return nullptr;
    }
    return &d->second;
}

bool getDiskFreeSpace(const char *rootPath, uint32_t *spc, uint32_t *bps, uint32_t *freeClusters,
                      uint32_t *totalClusters, uint32_t *errorCode) {
    Drive *d = queryDrive(rootPath, errorCode);
    if (!d) return false;
    *spc = d->spc;
    *bps = d->bps;
    *freeClusters = d->freeClusters;
    *totalClusters = d->totalClusters;
    return true;
}

static bool fakeDiskFreeSpaceEx(const char *rootPath, uint64_t *toCaller, uint64_t *total,
                                uint64_t *totalFree, uint32_t *errorCode) {
    Drive *d = queryDrive(rootPath, errorCode);
    if (!d) return false;
    *toCaller = d->toCaller;
    *total = d->total;
    *totalFree = d->totalFree;
    return true;
}

DiskFreeSpaceExFn lookupDiskFreeSpaceEx() { return m.exAvailable ? fakeDiskFreeSpaceEx : nullptr; }

bool getVersionBuild(uint32_t *buildNumber) {
    if (m.versionFails) return false;
    *buildNumber = m.build;
    return true;
}

uint32_t getCurrentDirectory(uint32_t length, char *buffer) {
    std::strncpy(buffer, m.cwd.c_str(), length - 1);
    buffer[length - 1] = 0;
    if (!m.cwdOnDrive) return 0;
    return m.cwd.size() < length ? (uint32_t)m.cwd.size() : (uint32_t)m.cwd.size() + 1;
}

void getLocalTime(LocalTime *now) {
    if (!m.clock.empty()) {
        m.lastTime = m.clock.front();
        m.clock.pop_front();
    }
    *now = m.lastTime;
}

bool stdoutIsCharDevice() { return m.charDevice; }

void consoleClear(FILE *out) {
    std::fflush(out);
}

// What of the captured standard output has been flushed, so a user sees it.
static size_t shownBytes() {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(capturedPath, error);
    return error || size < (uintmax_t)capturedStart ? 0 : (size_t)(size - capturedStart);
}

int consoleGetKey() {
    if (!m.console) return -1;
    m.shownAtLastRead = shownBytes();
    m.stderrAtLastRead = fakeStderrText();
    if (m.typed.empty()) {
        ++m.blockedReads;
        if (m.later.empty()) return -1;
        m.typed.push_back(m.later.front());
        m.later.pop_front();
    }
    int code = m.typed.front();
    m.typed.pop_front();
    ++m.keysRead;
    return code;
}

bool consoleKeyWaiting() { return m.console && !m.typed.empty(); }

bool readIntegerFromStdin(int *value) {
    m.shownAtLastRead = shownBytes();
    if (m.haveInteger) *value = m.integer;
    return m.haveInteger || m.haveWord;
}

HostPath hostPathTarget(const char *argument, char *drivePath, size_t room) {
    auto it = m.hostPaths.find(argument);
    if (it == m.hostPaths.end()) return HostPath::notHostPath;
    if (it->second.first != HostPath::drivePath) return it->second.first;
    if (it->second.second.size() >= room) return HostPath::tooLong;
    std::memcpy(drivePath, it->second.second.c_str(), it->second.second.size() + 1);
    return HostPath::drivePath;
}

void hostSeparatorsToBackslashes(char *target) {
    for (; m.linuxHost && *target != '\0'; ++target)
        if (*target == '/') *target = '\\';
}

bool defaultReportFile(char *path, size_t room) {
    std::string file = "C:\\FolmarAll.txt";
    if (m.linuxHost && !m.cwdOnDrive) return false;
    if (m.linuxHost) file = m.cwd + (m.cwd.back() == '\\' ? "" : "\\") + "FolmarAll.txt";
    if (file.size() >= room) return false;
    std::memcpy(path, file.c_str(), file.size() + 1);
    return true;
}

const char *sharedSettingsPlaces() {
    return m.linuxHost ? "~/.config/folmar/Folmar.ini, /etc/folmar/Folmar.ini" : nullptr;
}

const char *replacementFailure() { return m.replacementFailure.c_str(); }

// Files live on the test machine's disk and are always opened in binary
// mode, so that a test reads back exactly the bytes the program wrote on
// every C runtime (a text mode would turn "\n" into "\r\n" on Windows).
FILE *openFile(const char *path, const char *mode, bool *) {
    std::string binary = mode;
    if (binary.find('b') == std::string::npos) binary += 'b';
    auto it = m.files.find(upper(path));
    if (it != m.files.end() && it->second.failOpen) return nullptr;
    if (mode[0] == 'r') {
        if (it == m.files.end() || it->second.diskPath.empty()) return nullptr;
        return std::fopen(it->second.diskPath.c_str(), binary.c_str());
    }
    FakeFile &f = fileRecord(path);
    if (f.diskPath.empty()) f.diskPath = newTempPath();
    if (f.full) {
        // Opened for reading only: every write fails as on a full disk.
        FILE *create = std::fopen(f.diskPath.c_str(), "wb");
        if (create) std::fclose(create);
        return std::fopen(f.diskPath.c_str(), "rb");
    }
    return std::fopen(f.diskPath.c_str(), binary.c_str());
}

// The fake machine keeps the shared settings file at its Windows path; its
// files have no owners.
FILE *openSharedSettingsFile(const char *path, const char *mode, bool *) { return openFile(path, mode); }

// A replacement is written to a disk file of its own, which becomes the
// file's content only when it is committed. Every file is binary here.
FILE *createReplacement(const char *path, bool) {
    auto it = m.files.find(upper(path));
    m.replacementError = it != m.files.end() && it->second.failOpen ? it->second.openError : 0;
    if (m.replacementError != 0) return nullptr;
    bool full = it != m.files.end() && it->second.full;
    std::string disk = newTempPath();
    FILE *create = std::fopen(disk.c_str(), "wb");
    if (create && full) {
        // Opened for reading only: every write fails as on a full disk.
        std::fclose(create);
        create = std::fopen(disk.c_str(), "rb");
    }
    if (create) m.replacements[create] = {path, disk};
    return create;
}

uint32_t replacementError() { return m.replacementError; }

// The fake keeps a replacement's new file outside its tree.
bool isOwnNewFile(const char *, const char *) { return false; }

bool commitReplacement(FILE *file) {
    auto it = m.replacements.find(file);
    if (it == m.replacements.end()) return false;
    bool written = std::fflush(file) == 0 && !std::ferror(file);
    if (std::fclose(file) != 0) written = false;
    if (written) fileRecord(it->second.first.c_str()).diskPath = it->second.second;
    if (!written) std::remove(it->second.second.c_str());
    m.replacements.erase(it);
    return written;
}

void abandonReplacement(FILE *file) {
    auto it = m.replacements.find(file);
    if (it == m.replacements.end()) return;
    std::fclose(file);
    std::remove(it->second.second.c_str());
    m.replacements.erase(it);
    ++m.abandoned;
}

// Paths without a drive are in the current directory; names compare
// without regard to case.
bool isSameFile(const char *writtenPath, const char *readPath) {
    auto full = [](const char *path) {
        std::string text = path;
        if (text.size() < 2 || text[1] != ':') text = m.cwd + (m.cwd.back() == '\\' ? "" : "\\") + text;
        return upper(text);
    };
    auto key = [](const char *path) { return m.files.count(upper(path)) ? upper(path) : std::string(); };
    return full(writtenPath) == full(readPath) && !key(readPath).empty();
}

// The fake's standard output is a file of the test's own, never one of its
// machine's.
bool isStandardOutput(const char *) { return false; }

int fakeOpenReplacements() { return (int)m.replacements.size(); }
int fakeAbandonedReplacements() { return m.abandoned; }

void platformStartUp(int *, char ***) {}

bool writeText(FILE *stream, const char *text) { return std::fputs(text, stream) >= 0; }

FILE *platformStderr() {
    if (!capturedStderr) {
        platformStdout();  // which removes both at exit
        capturedErrPath = tempName("stderr");
        capturedStderr = std::fopen(capturedErrPath.c_str(), "w+b");
        std::setvbuf(capturedStderr, nullptr, _IONBF, 0);
    }
    return capturedStderr;
}

int stderrTerminalColumns() { return m.stderrColumns; }

uint64_t monotonicMilliseconds() { return m.clockMs += m.clockStep; }

FILE *openTemporaryFile() { return std::fopen(newTempPath().c_str(), "w+b"); }
// A standard output that is a character device stands for a console.
int codePageBytes(FILE *stream, uint32_t code) {
    if (!m.codePage || (stream == capturedStdout && m.charDevice)) return -1;
    if (code <= 0xFF) return 1;
    return code >= 0x4E00 && code <= 0x9FFF ? 2 : 0;
}

long ansiTextToUtf8(const char *text, size_t length, char *out, size_t room) {
    if (!m.codePage) return -1;
    size_t at = 0;
    for (size_t i = 0; i < length; ++i) {
        char bytes[4];
        size_t n = encodeUtf8((unsigned char)text[i], bytes);
        if (at + n > room) break;
        std::memcpy(out + at, bytes, n);
        at += n;
    }
    return (long)at;
}

FILE *platformStdout() {
    if (!capturedStdout) {
        // In the temporary folder: tmpfile() on Windows writes to the root
        // of the current drive, which an ordinary user may not.
        capturedPath = tempName("stdout");
        capturedStdout = std::fopen(capturedPath.c_str(), "w+b");
        std::atexit(removeTemporaryFiles);
    }
    return capturedStdout;
}
