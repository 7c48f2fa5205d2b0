// Internals shared by the files of the POSIX emulation: the drive table, the
// translation of Windows paths and names, the mount table, the places of the
// shared settings file and the opening of directories named by Windows paths.
// The functions that take no descriptor and touch no global are pure, so
// tests/posix can check them on their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace posix {

// ---- Drives (drives.cpp) ----

struct DriveMap {
    bool mapped[26];          // the letter names a directory
    std::string dir[26];      // that directory, canonical when it exists
    uint32_t type[26];        // type given in the mapping; 0 = from the file system
};

// Parses FOLMAR_DRIVES text ("C=/srv/c;D=/mnt/nas,remote") into `map`,
// which starts empty. Each entry that cannot be used is appended to
// `malformed` with its text; the other entries still count.
void parseDriveMapping(const char *text, DriveMap *map, std::vector<std::string> *malformed);
// The table of this process, built on first use: FOLMAR_DRIVES (malformed
// entries reported once on standard error), or C = "/" fixed without it.
const DriveMap &driveMap();
// Directory of drive `letter` (either case), nullptr when it is not mapped.
const char *driveDirectory(char letter);
// Letter of a root path such as "C:\" or "c:", 0 when it names none.
char rootPathLetter(const char *rootPath);
// Letter of a root path, or of the current directory's drive when
// `rootPath` is null (as the Win32 calls take it); 0 when there is none.
char driveLetterOf(const char *rootPath);
// Drive type of a file system from its statfs magic number and, for FUSE,
// its mount type ("fuse.sshfs").
uint32_t driveTypeOfFileSystem(uint64_t magic, const char *mountType);

// ---- Names and Windows paths (paths.cpp) ----

// A name Windows could not hold: a backslash or a control character.
bool isUnsafeName(const char *name);
// The byte as it is shown: '?' in place of a backslash or control character.
inline char safeNameByte(char c) {
    unsigned char u = (unsigned char)c;
    return (u < 0x20 || u == 0x7F || c == '\\') ? '?' : c;
}
bool equalNoCase(const char *a, const char *b);
// `name` without its trailing dots and blanks, which Windows drops from a
// path's components (so "a." and "a " name "a"); false when it has none, or
// nothing else.
bool trimmedWindowsName(const char *name, std::string *trimmed);

// A Windows path brought to one spelling per directory: "C:" followed by
// "\name" for each component, or, for a path relative to the working
// directory, the components joined by '\'. "." and ".." are folded, empty
// components (doubled backslashes) dropped, '/' taken as a separator.
struct PathKey {
    std::string text;
    bool onDrive;
};
// True when `path` needs the current directory to be placed ("\x", "C:x").
bool needsCurrentDirectory(const char *path);
// Builds the key of `path`. `currentDir` is the current directory in Windows
// form, or "" when it is on no drive. False when the path cannot name a
// directory of this machine (a control character, no current drive).
bool makePathKey(const char *path, const char *currentDir, PathKey *key);
// Offset of the first component in a key (after "C:\" or 0), and of the
// next one after `offset`; key.size() when there is none.
size_t firstComponent(const PathKey &key);
size_t nextComponent(const PathKey &key, size_t offset);

// Windows form of a native working directory under the drive table: the
// drive whose directory is the longest prefix, then the rest with
// backslashes. False when no drive holds it or a name in it is unsafe.
bool windowsFormOf(const char *nativeDir, const DriveMap &map, std::string *out);
// The current directory in Windows form, "" when it is on no drive.
std::string currentWindowsDirectory();

// ---- Mounts (mounts.cpp) ----

struct Mount {
    std::string path;     // mount point, escapes decoded
    std::string type;     // file system type ("ext4", "fuse.sshfs")
};
// Parses one line of /proc/self/mountinfo; false when it is not one.
bool parseMountInfoLine(const char *line, Mount *mount);
bool isPseudoFileSystem(const char *type);
// The mount holding canonical path `path` (longest prefix), nullptr if none.
const Mount *mountOf(const std::string &path);
// `path` (canonical) is the mount point of a kernel pseudo file system.
bool isPseudoMountPoint(const std::string &path);
// `path` (canonical) lies on a kernel pseudo file system.
bool isOnPseudoFileSystem(const std::string &path);

// ---- The shared settings file (sharedsettings.cpp) ----

// The user's settings file: $XDG_CONFIG_HOME/folmar/Folmar.ini when that
// variable is an absolute path, else $HOME/.config/folmar/Folmar.ini when
// HOME is one; "" when neither names a directory.
std::string userSettingsPath(const char *xdgConfigHome, const char *home);
// Opens the first of `places` (native paths; "" is skipped) that is a regular
// file on a real file system, else openFile(path, mode).
FILE *openSharedSettingsFrom(const std::vector<std::string> &places, const char *path, const char *mode);

// ---- Reading and opening directories (resolve.cpp) ----

// Calls `visit` for every entry of the directory open as `fd`, except "."
// and "..", with its name and its d_type (DT_UNKNOWN when the file system
// does not say). Reads from the descriptor's offset; false on a read error.
typedef void (*EntryVisitor)(void *context, const char *name, size_t length, unsigned char type);
bool readDirectory(int fd, EntryVisitor visit, void *context);

// Looks `name` up in the directory open as `dirFd`: exactly, else the first
// entry in byte order that matches without regard to ASCII case, ignoring
// unsafe names; when none matches, the same for `name` without its trailing
// dots and blanks. Puts the entry's real name into `realName`; false if none.
bool findNameIn(int dirFd, const char *name, std::string *realName);
// Opens the directory reached from `startFd` through the components of `key`
// from `offset` on, each looked up as findNameIn does. Appends the real names
// to `native`. Returns the descriptor, or -1. `startFd` is left open.
int openComponents(int startFd, const PathKey &key, size_t offset, std::string *native);
// Opens the directory named by `key` from its drive (or the working
// directory) and sets `native` to its canonical path; -1 on failure.
int openKeyDirectory(const PathKey &key, std::string *native);

}  // namespace posix
