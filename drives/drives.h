// Drives and disk space: the drive list of an all-drives run, the selection
// by drive type, and the classic and extended free-space queries. Nothing
// here walks or prints a report.
#pragma once

#include <cstdint>

// Empties the drive list, its cursor at the start. Called by resetRunState.
void forgetDriveList();
// Fills the drive list of the run once: the settings' driveList when it is
// given, else the system's drive list (empty when that cannot be had). The
// cursor then stands at its first entry.
void loadDriveStrings();
// Moves the cursor to the next selected drive (or the last entry) and
// leaves it in rs.curDrive and its letter in rs.driveLetter.
void nextDrive();
// Fixed drives with processLocalDrives 'Y', remote ones with processRemoteDrives 'Y'.
bool driveSelected(uint32_t driveType);
// Classic query of rs.driveLetter into usedBytes/freeBytes; 1 or 0.
int queryFreeSpace();
// Extended query of rs.driveLetter into the 64-bit figures; 1 or 0.
int queryFreeSpaceEx();
