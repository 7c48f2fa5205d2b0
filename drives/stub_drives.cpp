// Placeholder until the drive list and disk queries land.
#include "drives/drives.h"
void processDrives() {}
void nextDrive() {}
bool driveSelected(uint32_t) { return false; }
int queryFreeSpace() { return 0; }
int queryFreeSpaceEx() { return 0; }
