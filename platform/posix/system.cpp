// The process start-up, disk space, system version and local time on a
// POSIX machine: descriptors and limits made safe before anything runs, the
// two free-space queries from statvfs of the drive's directory with Windows
// error codes, build 1001 (so the extended query is used), localtime_r.
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/posix.h"

using namespace posix;

enum : uint32_t { errorNotReady = 21 };

// A standard descriptor that is closed would be taken by the next file the
// program opens (the report file as standard output): each is opened on
// /dev/null first. The walk holds few descriptors, but the read-ahead would
// like more than a low soft limit gives: it is raised to the hard one. The
// signals are set up before anything could need their handlers.
void platformStartUp(int *, char ***) {
    setUpSignals();
    for (int fd = 0; fd <= 2; ++fd) {
        // In this order the lowest free descriptor, which open takes, is fd.
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// statvfs of the directory of the drive `rootPath` names; on failure sets
// *errorCode to the Windows code (an unmapped letter: path not found).
static bool statDrive(const char *rootPath, struct statvfs *fs, uint32_t *errorCode) {
    char letter = driveLetterOf(rootPath);
    const char *dir = letter != 0 ? driveDirectory(letter) : nullptr;
    if (dir == nullptr) {
        *errorCode = errorPathNotFound;
        return false;
    }
    if (statvfs(dir, fs) == 0) return true;
    switch (errno) {
    case ENOENT: case ENOTDIR: case ENAMETOOLONG: case ELOOP:
        *errorCode = errorPathNotFound;
        break;
    case EACCES: case EPERM:
        *errorCode = errorAccessDenied;
        break;
    default:
        *errorCode = errorNotReady;
        break;
    }
    return false;
}

static uint32_t capped(uint64_t value) {
    return value > 4294967295u ? 4294967295u : (uint32_t)value;
}

bool getDiskFreeSpace(const char *rootPath, uint32_t *sectorsPerCluster,
                      uint32_t *bytesPerSector, uint32_t *freeClusters,
                      uint32_t *totalClusters, uint32_t *errorCode) {
    struct statvfs fs;
    if (!statDrive(rootPath, &fs, errorCode)) return false;
    *bytesPerSector = 512;
    *sectorsPerCluster = capped((uint64_t)fs.f_frsize / 512);
    *freeClusters = capped((uint64_t)fs.f_bfree);
    *totalClusters = capped((uint64_t)fs.f_blocks);
    return true;
}

static bool diskFreeSpaceEx(const char *rootPath, uint64_t *freeToCaller, uint64_t *totalBytes,
                            uint64_t *totalFree, uint32_t *errorCode) {
    struct statvfs fs;
    if (!statDrive(rootPath, &fs, errorCode)) return false;
    uint64_t unit = fs.f_frsize;
    *freeToCaller = (uint64_t)fs.f_bavail * unit;
    *totalBytes = (uint64_t)fs.f_blocks * unit;
    *totalFree = (uint64_t)fs.f_bfree * unit;
    return true;
}

DiskFreeSpaceExFn lookupDiskFreeSpaceEx() { return diskFreeSpaceEx; }

bool getVersionBuild(uint32_t *buildNumber) {
    *buildNumber = 1001;
    return true;
}

void getLocalTime(LocalTime *now) {
    std::time_t seconds = std::time(nullptr);
    struct tm local;
    if (localtime_r(&seconds, &local) == nullptr) {
        *now = LocalTime{1970, 1, 1, 0, 0};
        return;
    }
    *now = LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}
