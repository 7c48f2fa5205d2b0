// Run control: the program's start-up and its two runs. The process ends in
// one place, main.cpp, with the code folmarMain returns.
#pragma once

// The program: console, help, settings, switches and target, banner, system
// level, clock, the nothing-to-do stop, the line width, then one of the two
// runs. Returns the process exit code (0, also after "--help" and
// "--version"; or 1 after the /? help screen, a path too long, a working
// directory on no drive, a walk that stopped, a report file that is the
// settings file, or a report or standard output that could not be written).
int folmarMain(int argc, char **argv);

// Puts every piece of run state back to its value at program start: the
// RunState record (clearRunState) and what the files of every folder keep
// for a run of their own (the command line's kept arguments, the drive
// list, the export, the largest files, the files with several names, the
// list of directories not read, the patterns the platform hears of), so
// that a second run in the same process starts as the first. Called by
// folmarMain, and by tests between cases.
void resetRunState();
