// The settings file reader: "Folmar.ini" in the current directory, else the
// shared one, read in pieces of at most 80 characters into RunState.
#pragma once

// Opens, reads, applies and closes the settings file, or applies the
// built-in defaults (with the "File Not Found" message and a wait).
void readSettings();
