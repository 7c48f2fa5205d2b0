// What the files of the run control call of one another: the command line
// (cmdline.cpp), the export (export.cpp), the report of one drive
// (drive.cpp) and the all-drives run (alldrives.cpp). Nothing outside app/
// uses them.
#pragma once

#include "app/app.h"

// ---- command line (cmdline.cpp) ----
// What a command-line tool is asked first: "--help" or "--version" as the
// one argument, spelled exactly so. Any other argument is the program's own.
enum class ToolRequest : char { none, help, version };
ToolRequest toolRequest(int argc, char **argv);
// "Folmar==>  Ver. 5.1b   18 January, 2008 \n": the banner's first line.
void printVersionLine();
// A lone argument is upper-cased in place (so a lone target is reported in
// capitals); with more arguments each keeps its case.
void upperCaseLoneArgument(int argc, char **argv);
// True for exactly one argument that begins "/?" or "/H" (any case).
// Changes nothing.
bool isHelpRequest(int argc, char **argv);
// The help screen's text of /? and /H (a wait and exit code 1 follow).
void printHelpScreen();
// The full usage that "--help" prints: switches, targets, environment,
// settings places and keys, exit codes.
void printUsage();
// Every argument in turn: '/' arguments go to applySwitch, any other
// becomes the target argument (the last one wins).
void scanArguments(int argc, char **argv);
// One switch argument, upper-cased and shifted in place. "/X:" takes the
// path keepExportArgument kept.
void applySwitch(char *arg);
// 0, or the exit code 1 after a message when a switch's value was refused
// ("/T:" without a number from 0 to mostLargestFiles).
int refuseBadSwitches();
// Forgets the arguments kept for a run: no "/X:" path, no "/I:" pattern,
// no refused "/T:", no target. Called by resetRunState.
void forgetCommandLine();
// Keeps the path of the last "/X:" argument as it was typed (its first 60
// characters when it is longer than rs.exportFile holds); called before
// anything upper-cases the arguments.
void keepExportArgument(int argc, char **argv);
// Keeps the patterns of the "/I:" arguments as they were typed, in order;
// called before anything upper-cases the arguments. applySwitch adds each
// to the store when its switch comes.
void keepExcludeArguments(int argc, char **argv);
// The exclusion patterns of the settings and the command line, before the
// walk: 0 after telling the platform which directories they leave out, or
// 1 after a message when there are more than the store holds or one can
// never match a directory.
int checkExclusions();
// `message` followed by the first 60 characters of `text` and "..."; returns
// the exit code 1.
int rejectLongPath(const char *message, const char *text);
// The target argument into rs.curPath and rs.driveLetter; may set
// rs.runMode to an all-drives run. Returns 0 on success, or the exit code
// after a message (1: the target or the working directory's path is too
// long, or the working directory lies on no drive).
int normaliseTarget();
// The report file of an all-drives run when the settings name none (or name
// the old default C:\FolmarAll.txt): the system's default, on Linux
// FolmarAll.txt in the working directory. Returns 0, or 1 after a message
// when that directory lies on no drive.
int settleReportFile();

// ---- the export (export.cpp) ----
// The export's sink, by the extension of rs.exportFile (none when it is
// empty). Returns 0, or 1 after a message: a path too long, or an
// extension of no format; nothing has been walked then.
int chooseExport();
// Opens the chosen export and writes its beginning, unless in an all-drives
// run its path is the report file's, or it is the file standard output
// writes to. False after the messages (nothing is walked then).
bool openChosenExport();
// Ends the export and puts it in place; false after the messages when it
// could not be written completely (the old file stays).
bool completeExport();

// ---- one drive's report (drive.cpp) ----
// Walks rs.curPath into the report's sink (its header first) and closes its
// listing with printDriveTotals. False when the walk stopped (then nothing
// more of it is written).
bool reportDrive();
// Closes the listing of rs.curPath's drive: the condensed roll-up's last
// line, the disk-space query of rs.osLevel, the figures settled, the
// report sink's totals block, the drive's figures folded into the grand
// totals and the clock read again for the next drive's title. Nothing after
// a roll-up line that stopped the walk.
void printDriveTotals();

// ---- the all-drives run (alldrives.cpp) ----
// The width question of an all-drives run: *width becomes the settings'
// width when they gave one, else the width of the answer 1 to 4; another
// number keeps it (chosen). An answer of 0, or one that is no number, ends
// the run with exit code 0 (ended); no answer at all, with a message and
// exit code 1 (none).
enum class WidthAnswer : char { chosen, ended, none };
WidthAnswer selectLineWidth(int *width);
// The drive loop: progress messages, then for each selected drive its
// report (reportDrive). Returns when the list is exhausted or a walk stopped.
void processDrives();
// The all-drives run; returns the exit code.
int runAllDrives();

// ---- the end (run.cpp) ----
// Drops a report file or an export never completed (the old ones stay),
// and flushes standard output.
void closeFiles();
