// Private to platform/win32: which family of Windows runs the program, entry
// points looked up at run time (so that the program still loads on a
// Windows 95 whose kernel32 lacks the wide calls), and the conversions
// between the UTF-8 of the seam and the UTF-16 and ANSI texts of the system.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstddef>

#include "platform/platform.h"

namespace win {

// ---- the system (win_system.cpp) ----

// The NT family (wide calls, names as they are) rather than Windows 9x
// (ANSI calls); decided once, from GetVersionExA.
bool isNt();
// Windows `major`.`minor` or later of the NT family.
bool ntAtLeast(DWORD major, DWORD minor);
// The entry point `name` of the loaded module `module`; nullptr when the
// system lacks it. The files keep what they look up in namespace-scope
// constants, set before main runs: a function's static would bring in the
// C++ runtime's lock for its first use, and with it an import of
// CreateSemaphoreW, which Windows 95 lacks.
FARPROC entryPoint(const char *module, const char *name);

template <typename Fn>
Fn lookUp(const char *module, const char *name) {
    // FARPROC to the real signature: the usual way to call a looked-up entry.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(entryPoint(module, name)));
}

// ---- text (win_text.cpp) ----

// True when `text` holds no byte above 0x7F.
bool isAscii(const char *text);
// True when `text` is valid UTF-8 throughout.
bool isUtf8(const char *text);

// Converts the UTF-8 `utf8` to UTF-16 in `out` (`room` units, NUL
// included), stopping before a character that would not fit; a lone
// surrogate written by toUtf8 comes back as itself, any other invalid byte
// as U+FFFD. Returns the units written; *used (when given) gets the bytes
// of `utf8` converted.
size_t toWide(const char *utf8, wchar_t *out, size_t room, size_t *used = nullptr);
// Converts the first `units` of `wide` (a NUL as any other) to UTF-8 in
// `out` (`room` bytes, no terminator added), stopping before a character
// that would not fit, as toUtf8. Returns the bytes written.
size_t unitsToUtf8(const wchar_t *wide, size_t units, char *out, size_t room);
// Converts the UTF-16 `wide` to UTF-8 in `out` (`room` bytes, NUL
// included), stopping before a character that would not fit; a lone
// surrogate is written in the three bytes of its code point (never valid
// UTF-8, so shown as '?', yet the name stays the real one). Returns the
// bytes written.
size_t toUtf8(const wchar_t *wide, char *out, size_t room);
// Converts text in the ANSI code page to UTF-8, as toUtf8.
size_t ansiToUtf8(const char *ansi, char *out, size_t room);
// The ANSI form of the UTF-8 path `utf8` in `out` (`room` bytes); false when
// it does not fit or holds a character the code page cannot hold exactly.
bool pathToAnsi(const char *utf8, char *out, size_t room);
// The `units` of `wide` in code page `codePage` for a reader, '?' for each
// character the code page cannot hold (never a best-fit look-alike), into
// `out` (`room` bytes, at least 4 per unit). Returns the bytes written.
size_t toCodePageShown(const wchar_t *wide, size_t units, UINT codePage, char *out, size_t room);

// ---- files (win_files.cpp) ----

// Room for a path of the walk in UTF-16 (a character may take two units),
// a pattern and the \\?\ prefix; a thread's buffers for its wide paths.
const size_t wideRoom = 2 * walkPathChars + 16;
struct WidePaths {
    wchar_t plain[wideRoom];     // the path as it is
    wchar_t longForm[wideRoom];  // its \\?\ form
};
// Takes one record of a listing; false when it cannot be kept (no memory).
typedef bool (*RecordSink)(void *context, const FindData &record);
// Lists the whole directory of the search path `searchPath` ("...\*.*") with
// the wide calls, as findFirstFile and findNextFile enumerate it on the NT
// family, handing each record to `sink`. Safe on any thread with its own
// `paths`. Returns ERROR_SUCCESS or the error of the enumeration.
DWORD listDirectory(const char *searchPath, bool shortNames, RecordSink sink, void *context, WidePaths *paths);

// A name that reaches beyond the drive letters, in either slash: UNC
// ("\\server\share"), the device namespaces ("\\.\", "\\?\") and the
// NT one ("\??\"). Opening a UNC name makes Windows sign in to that server
// with the user's credentials, and the report file is named by a settings
// file that may lie in any folder the user stands in.
bool beyondDrives(const char *path);

// ---- read-ahead (win_readahead.cpp) ----

// Whole directories are listed once and served from the listing (the walk
// enumerates each twice), and the directories the walk enters next are
// listed ahead on threads of their own. On the NT family unless
// FOLMAR_READAHEAD is 0.
bool readAheadOn();
// findFirstFile of the whole directory `searchPath` ("...\*.*"), served
// from a listing; invalidFindHandle with the Windows error in *error.
FindHandle listFirst(const char *searchPath, FindData *data, bool shortNames, DWORD *error);
bool isListHandle(FindHandle handle);
bool listNext(FindHandle handle, FindData *data);
void listClose(FindHandle handle);

}  // namespace win
