// The settings file reader: "Folmar.ini" in the current directory, else the
// shared one, read in pieces of at most 80 characters into RunState.
#pragma once

// Opens, reads, applies and closes the settings file, or applies the
// built-in defaults (with the "File Not Found" message and a wait).
void readSettings();
// Applies the key lines after a section line until a line beginning with '['
// (consumed) or the end of the file.
void readSettingsSection();
// The value of a key line, edited in place within `line`; nullptr when the
// line has no '=' (after the message and a wait) or the value is empty.
char *settingValue(char *line);
// Removes leading blanks and tabs by moving the rest of `text` to its start.
void trimLeft(char *text);
