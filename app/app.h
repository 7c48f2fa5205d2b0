// Run control and console: the entry point, the command line, the two runs,
// the console waits and the closing step.
#pragma once

// The program: steps 1 to 13 of the start-up, then one of the two runs.
// Returns the process exit code (0, or 1 after help, a too-long target or
// a failed report file).
int folmarMain(int argc, char **argv);

// ---- console (console.cpp) ----
// Clears the console window (only when there is one) and homes the cursor.
void clearScreen();
// "Folmar==>  Press Enter to continue \n", then one key press, then every key
// press already waiting is read and discarded. Returns at once without a console.
void waitForKey();
// The key part of waitForKey without the message: one key (both parts of a
// two-part key), then the type-ahead. Used by the /P pause too.
void readKeyAndDrain();

// ---- command line (cmdline.cpp) ----
// True for exactly one argument that begins "/?" or, upper-cased in place, "/H".
bool isHelpRequest(int argc, char **argv);
// The help screen, its wait; the caller ends with exit code 1.
void showHelp();
// Every argument in turn: '/' arguments go to applySwitch, any other is
// copied into rs.targetArg (the last one wins).
void scanArguments(int argc, char **argv);
// One switch argument, upper-cased and shifted in place.
void applySwitch(char *arg);
// rs.targetArg into rs.curPath and rs.driveLetter; may set rs.runMode '~'.
// Returns 0 on success, or the exit code after a message (1: target too long
// or the current directory lies on no drive).
int normaliseTarget();

// ---- the runs (main.cpp, alldrives.cpp) ----
// pathColumn, wrapFloor and cpi from lineWidth.
void deriveLayout();
// The width question of an all-drives run. Returns false when the user
// answered 0 (the program then ends with exit code 0).
bool selectLineWidth();
// The all-drives run; returns the exit code.
int runAllDrives();
// Closes the settings file and the report file if they are open.
void closeFiles();
