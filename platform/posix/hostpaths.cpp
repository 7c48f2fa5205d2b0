// Linux's own paths on the command line: which arguments are Linux paths
// ("/usr/share", "src/lib", ".", ".."), and their drive form under the drive
// table, with the names as they are on disk. Also what a Linux user expects
// of the default report file (in the working directory) and of the message
// that no settings file was found (where it was looked for).
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace {

// An argument in Linux's own form: '/' after its first character, or a
// leading '/' before an existing object, or exactly "." or "..".
bool isLinuxPath(const char *argument) {
    struct stat st;
    if (std::strcmp(argument, ".") == 0 || std::strcmp(argument, "..") == 0) return true;
    if (argument[0] != '\0' && std::strchr(argument + 1, '/') != nullptr) return true;
    return argument[0] == '/' && lstat(argument, &st) == 0;
}

// `path` (absolute) with "." and ".." folded and empty components dropped,
// by its text alone: for the part of a path that does not exist.
std::string foldedPath(const std::string &path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            size_t cut = out.rfind('/');
            out.erase(cut == std::string::npos ? 0 : cut);
        } else if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        start = end + 1;
    }
    return out.empty() ? "/" : out;
}

// The absolute, resolved form of `argument`: every link followed as far as
// the path exists (realpath of its longest existing head), the rest folded.
std::string resolvedPath(const char *argument) {
    std::string path = argument;
    if (path[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) == nullptr) return std::string();
        path = std::string(cwd) + "/" + path;
    }
    path = foldedPath(path);
    std::string head = path, tail;
    char real[PATH_MAX];
    while (realpath(head.c_str(), real) == nullptr) {
        size_t cut = head.rfind('/');
        if (cut == 0 || cut == std::string::npos) return path;
        tail = head.substr(cut) + tail;
        head.erase(cut);
    }
    std::string resolved = real;
    return foldedPath(resolved == "/" ? tail : resolved + tail);
}

}  // namespace

HostPath hostPathTarget(const char *argument, char *drivePath, size_t room) {
    if (!isLinuxPath(argument)) return HostPath::notHostPath;
    std::string native = resolvedPath(argument), windows;
    if (native.empty() || !posix::windowsFormOf(native.c_str(), posix::driveMap(), &windows))
        return HostPath::onNoDrive;
    if (windows.size() >= room) return HostPath::tooLong;
    std::memcpy(drivePath, windows.c_str(), windows.size() + 1);
    return HostPath::drivePath;
}

void hostSeparatorsToBackslashes(char *target) {
    for (; *target != '\0'; ++target)
        if (*target == '/') *target = '\\';
}

bool defaultReportFile(char *path, size_t room) {
    std::string dir = posix::currentWindowsDirectory();
    if (dir.empty()) return false;
    if (dir.back() != '\\') dir += '\\';
    dir += "FolmarAll.txt";
    if (dir.size() >= room) return false;
    std::memcpy(path, dir.c_str(), dir.size() + 1);
    return true;
}

const char *sharedSettingsPlaces() { return "~/.config/folmar/Folmar.ini, /etc/folmar/Folmar.ini"; }
