// Drives and disk space: the drive list of an all-drives run, the selection
// by drive type, the classic and extended free-space queries, and the close
// of each drive's listing.
#pragma once

#include <cstdint>

// Closes the listing of rs.curPath's drive: the condensed roll-up's last
// line, the disk-space query of rs.osLevel, the block of the run (after a
// form feed when rs.showDirs is 'N' and the page is full), then the drive's
// figures are folded into the grand totals. Nothing after a roll-up line
// that stopped the walk.
void printDriveTotals();

// The drive loop of an all-drives run: progress messages, then for each
// selected drive its page header, walk and totals block.
void processDrives();
// Moves rs.driveCursor to the next selected drive (or the last entry) and
// leaves it in rs.curDrive and its letter in rs.driveLetter.
void nextDrive();
// Fixed drives with processLocalDrives 'Y', remote ones with processRemoteDrives 'Y'.
bool driveSelected(uint32_t driveType);
// Classic query of rs.driveLetter into usedBytes/freeBytes; 1 or 0.
int queryFreeSpace();
// Extended query of rs.driveLetter into the 64-bit figures; 1 or 0.
int queryFreeSpaceEx();
