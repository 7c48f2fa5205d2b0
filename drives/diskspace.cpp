// The disk-space queries of a totals block: the classic one, whose cluster
// products are kept in 32 bits, and the extended one with 64-bit byte counts,
// whose entry point is looked up anew at every query. A failure prints two
// messages and leaves the figures as they were (zero); the run goes on.
#include "drives/drives.h"

#include "common/output.h"
#include "common/runstate.h"
#include "platform/platform.h"

// The root path "X:\" of rs.driveLetter, the letter used as it stands.
static void buildRootPath(char root[4]) {
    root[0] = rs.driveLetter;
    root[1] = ':';
    root[2] = '\\';
    root[3] = 0;
}

// Reads rs.driveLetter; on success writes rs.freeBytes and rs.usedBytes, the
// low 32 bits of their 64-bit products, and returns 1. On failure prints the
// error code and the letter and returns 0, changing no figure.
int queryFreeSpace() {
    char root[4];
    buildRootPath(root);
    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    uint32_t errorCode = 0;
    if (!getDiskFreeSpace(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                          &totalClusters, &errorCode)) {
        conFormat("Call to GetFreeDiskSpace() failed with Error Code %lu \n",
                  (unsigned long)errorCode);
        conFormat("Unable to obtain free space for Drive '%c' \n", rs.driveLetter);
        return 0;
    }
    uint64_t freeProduct = (uint64_t)freeClusters * sectorsPerCluster * bytesPerSector;
    uint64_t usedProduct =
        (uint64_t)(totalClusters - freeClusters) * sectorsPerCluster * bytesPerSector;
    rs.freeBytes = (uint32_t)freeProduct;
    rs.usedBytes = (uint32_t)usedProduct;
    return 1;
}

// Reads rs.driveLetter; on success writes rs.i64FreeToCaller, rs.i64TotalBytes
// and rs.i64TotalFree and returns 1. Without the entry point returns 0 at once
// and silently; on a failed call prints the error code and the root path and
// returns 0. A figure changes only on success.
int queryFreeSpaceEx() {
    DiskFreeSpaceExFn diskFreeSpaceEx = lookupDiskFreeSpaceEx();
    if (diskFreeSpaceEx == nullptr) return 0;
    char root[4];
    buildRootPath(root);
    uint64_t freeToCaller = 0, totalBytes = 0, totalFree = 0;
    uint32_t errorCode = 0;
    if (!diskFreeSpaceEx(root, &freeToCaller, &totalBytes, &totalFree, &errorCode)) {
        conFormat("Call to GetFreeDiskSpaceEx() failed with Error Code %lu \n",
                  (unsigned long)errorCode);
        conFormat("Unable to obtain free space for \"%s\" \n", root);
        return 0;
    }
    rs.i64FreeToCaller = freeToCaller;
    rs.i64TotalBytes = totalBytes;
    rs.i64TotalFree = totalFree;
    return 1;
}
