// Run control: the program's start-up and its two runs (run.cpp), the
// command line (cmdline.cpp) and the all-drives run (alldrives.cpp). The
// process ends in one place, main.cpp, with the code folmarMain returns.
#pragma once

// The program: console, help, settings, switches and target, banner, system
// level, clock, the nothing-to-do stop, the line width, then one of the two
// runs. Returns the process exit code (0, also after "--help" and
// "--version"; or 1 after the /? help screen, a path too long, a working
// directory on no drive, a walk that stopped, a report file that is the
// settings file, or a report or standard output that could not be written).
int folmarMain(int argc, char **argv);

// ---- command line (cmdline.cpp) ----
// What a command-line tool is asked first: "--help" or "--version" as the
// one argument, spelled exactly so. Any other argument is the program's own.
enum class ToolRequest : char { none, help, version };
ToolRequest toolRequest(int argc, char **argv);
// "Folmar==>  Ver. 5.1b   18 January, 2008 \n": the banner's first line.
void printVersionLine();
// True for exactly one argument that begins "/?" or, upper-cased in place, "/H".
bool isHelpRequest(int argc, char **argv);
// The help screen's text; /? adds a wait and exit code 1, --help neither.
void printHelpScreen();
// Every argument in turn: '/' arguments go to applySwitch, any other is
// copied into rs.targetArg (the last one wins).
void scanArguments(int argc, char **argv);
// One switch argument, upper-cased and shifted in place. "/X:" takes the
// path keepExportArgument kept.
void applySwitch(char *arg);
// Keeps the path of the last "/X:" argument as it was typed (its first 60
// characters when it is longer than rs.exportFile holds); called before
// anything upper-cases the arguments.
void keepExportArgument(int argc, char **argv);
// `message` followed by the first 60 characters of `text` and "..."; returns
// the exit code 1.
int rejectLongPath(const char *message, const char *text);
// rs.targetArg into rs.curPath and rs.driveLetter; may set rs.runMode '~'.
// Returns 0 on success, or the exit code after a message (1: the target or
// the working directory's path is too long, or the working directory lies
// on no drive).
int normaliseTarget();

// ---- the export (export.cpp) ----
// The export's sink, by the extension of rs.exportFile (none when it is
// empty). Returns 0, or 1 after a message: a path too long, or an
// extension of no format; nothing has been walked then.
int chooseExport();
// Opens the chosen export and writes its beginning, unless in an all-drives
// run its path is the report file's. False after the messages (nothing is
// walked then).
bool openChosenExport();
// Ends the export and puts it in place; false after the messages when it
// could not be written completely (the old file stays).
bool completeExport();

// ---- the runs (run.cpp, alldrives.cpp) ----
// pathColumn, wrapFloor and cpi from lineWidth.
void deriveLayout();
// The width question of an all-drives run. Returns false when the user
// answered 0 (the program then ends with exit code 0).
bool selectLineWidth();
// The all-drives run; returns the exit code.
int runAllDrives();
// Closes the settings file if it is open, drops a report file or an export
// never completed (the old ones stay), and flushes standard output.
void closeFiles();
