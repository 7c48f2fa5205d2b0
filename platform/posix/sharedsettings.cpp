// Where Linux keeps the settings file shared by every directory: the
// program names it "C:\Orvan\Folmar.ini", a folder no Linux system has, so
// the user's configuration directory and /etc are looked at first, then that
// drive path. Every message keeps the Windows name.
#include <cstdlib>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace posix {

// `dir` (may be null) followed by `rest`, when `dir` is an absolute path;
// "" otherwise, as the XDG base directories take a relative one as unset.
static std::string underAbsolute(const char *dir, const char *rest) {
    if (dir == nullptr || dir[0] != '/') return std::string();
    std::string path(dir);
    if (path.back() != '/') path += '/';
    return path + rest;
}

std::string userSettingsPath(const char *xdgConfigHome, const char *home) {
    std::string path = underAbsolute(xdgConfigHome, "folmar/Folmar.ini");
    return path.empty() ? underAbsolute(home, ".config/folmar/Folmar.ini") : path;
}

// Opens the native file `path` for reading when it is a regular file that
// lies on no kernel pseudo file system; never blocks. Null otherwise, and
// *foreign set (when given) when it is a file another user may have written.
static FILE *openRegularFile(const std::string &path, const char *mode, bool *foreign) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st;
    char canonical[PATH_MAX];
    bool usable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && realpath(path.c_str(), canonical) != nullptr &&
                  !isOnPseudoFileSystem(canonical) && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0 &&
                  !isForeignFile(st, foreign);
    FILE *file = usable ? fdopen(fd, mode) : nullptr;
    if (file == nullptr) close(fd);
    return file;
}

// The Windows path last asked for and the place it was found at, "" when
// that was the drive path itself: the report must not replace that file.
static std::string lastAskedPath, lastNativePlace;

FILE *openSharedSettingsFrom(const std::vector<std::string> &places, const char *path, const char *mode,
                             bool *foreign) {
    lastAskedPath = path;
    for (const std::string &place : places) {
        FILE *file = place.empty() ? nullptr : openRegularFile(place, mode, foreign);
        lastNativePlace = place;
        if (file != nullptr) return file;
    }
    lastNativePlace.clear();
    return openFile(path, mode, foreign);
}

FILE *reopenSharedSettingsPlace(const char *path) {
    if (lastNativePlace.empty() || lastAskedPath != path) return nullptr;
    return openRegularFile(lastNativePlace, "r", nullptr);
}

}  // namespace posix

// The user's file, then the system's, then the drive path.
FILE *openSharedSettingsFile(const char *path, const char *mode, bool *foreign) {
    using namespace posix;
    const std::vector<std::string> places = {
        userSettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")), "/etc/folmar/Folmar.ini"};
    return openSharedSettingsFrom(places, path, mode, foreign);
}
