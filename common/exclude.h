// The exclusion patterns of a run (the settings key exclude= and the switch
// /I:): kept in RunState's fixed store, checked before the walk for ones
// that could never match, and matched against each subdirectory the walk
// meets. A pattern without '\' matches a directory's name; one with '\'
// its whole path from the drive. '*' stands for any run of characters ('\'
// among them), '?' for one but '\'; letters compare without regard to case, as
// Windows compares names.
#pragma once

#include <cstddef>

// At most this many patterns, of at most excludeStoreBytes together (each
// with its terminator); each at most maxPathChars characters.
enum : int { maxExcludePatterns = 64 };

// Appends the patterns of `list`, separated by ';', to the store (a '/'
// taken as '\'). One that finds no room sets rs.excludeTooMany.
void addExcludePatterns(const char *list);
// The first stored pattern that can never match a directory (empty, only
// '\', a '\' first or last or doubled, or a path whose first part names no
// drive); null when every one can. Changes nothing.
const char *unmatchablePattern();
// The pattern that leaves out the subdirectory `name` (its short name
// `shortName`, "" when it has none) of the directory whose path is the
// first `parentLength` bytes of `parentPath`, final backslash included; null
// when none does. Only reads: any thread may ask.
const char *excludingPattern(const char *parentPath, size_t parentLength, const char *name, const char *shortName);
