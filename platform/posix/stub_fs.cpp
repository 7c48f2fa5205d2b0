// Placeholder until the POSIX file system, drives and system services land.
#include <cstdlib>
#include "platform/platform.h"
FindHandle findFirstFile(const char *, FindData *) { return invalidFindHandle; }
bool findNextFile(FindHandle, FindData *) { return false; }
void findClose(FindHandle) {}
uint32_t getLogicalDriveStrings(uint32_t, char *) { return 0; }
uint32_t getDriveType(const char *) { return driveNoRootDir; }
bool getDiskFreeSpace(const char *, uint32_t *, uint32_t *, uint32_t *, uint32_t *, uint32_t *e) { *e = 3; return false; }
DiskFreeSpaceExFn lookupDiskFreeSpaceEx() { return nullptr; }
bool getVersionBuild(uint32_t *b) { *b = 1001; return true; }
bool getCurrentDirectory(uint32_t, char *b) { b[0] = 'C'; b[1] = ':'; b[2] = '\\'; b[3] = 0; return true; }
void getLocalTime(LocalTime *t) { *t = LocalTime{2008, 1, 18, 9, 5}; }
FILE *openFile(const char *, const char *) { return nullptr; }
