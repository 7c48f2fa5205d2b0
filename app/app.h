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
