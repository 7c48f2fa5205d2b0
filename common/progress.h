// The progress display of a long run: one line on standard error, when it
// is a terminal, that shows the directory being read and the counts so far.
// It appears once the run has lasted a second, changes a few times a second
// at most, and is erased before anything else reaches the terminal (text on
// a standard output that is a terminal, a wait, the end of the run), so it
// never stands in standard output, in the report file or in a wait.
#pragma once

// Notes the start of the run and whether standard error is a terminal.
// Called by clearRunState.
void progressStart();
// The walk enters rs.curPath: the display is drawn anew when it is due and
// nothing was written to a standard output that is a terminal since the
// last look. Costs one look at the clock while standard error is a terminal.
void progressTick();
// Erases the display if it is shown.
void progressErase();
// Text goes to standard output, a terminal: the display is erased and the
// next drawing waits until the console is quiet again.
void progressConsoleWritten();
