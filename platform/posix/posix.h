// Internals shared by the files of the POSIX emulation: the drive table, the
// translation of Windows paths and names, the mount table, the places of the
// shared settings file, the resolution of Windows paths into open directories
// and files (through links only where they stay on their drive), and the
// signal handlers with what they undo.
// The functions that take no descriptor and touch no global are pure, so
// tests/posix can check them on their own.
#pragma once

#include <cstddef>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/stat.h>
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

// A name Windows could not hold: a backslash or a control character. A
// control character is shown as '?' and its directory walked all the same;
// a backslash would split the name in a path, so such a directory is never
// entered.
bool isUnsafeName(const char *name);
// The same for the `length` bytes of `name` (no early stop: names are short).
bool isUnsafeName(const char *name, size_t length);
// The byte as it is shown: '?' in place of a backslash or control character.
inline char safeNameByte(char c) {
    unsigned char u = (unsigned char)c;
    return (u < 0x20 || u == 0x7F || c == '\\') ? '?' : c;
}
bool equalNoCase(const char *a, const char *b);
// Orders two names (`aLength` and `bLength` bytes) as an NTFS volume lists
// them: by their UTF-16 code units upper-cased, the shorter first when one
// begins the other; names equal so (differing only in case) by their bytes.
// Negative, 0 or positive as a comes before, is, or comes after b
// (nameorder.cpp).
int compareWindowsOrder(const char *a, size_t aLength, const char *b, size_t bLength);
// The rule of every case-insensitive look-up, over a directory's names
// offered one by one: nameExact when `name` is `wanted` itself (look no
// further); nameBetter when it takes the place of `best` (null: none yet) as
// the first in byte order equal to `wanted` without regard to ASCII case;
// nameNot otherwise. An unsafe name is never chosen.
enum NameChoice { nameNot, nameBetter, nameExact };
NameChoice chooseName(const char *name, const char *wanted, const char *best);
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
// What is mounted on `path` (canonical), if anything: a kernel pseudo file
// system, or another (a bind mount of a folder inside itself among them).
enum MountKind { notMountPoint, pseudoMountPoint, otherMountPoint };
MountKind mountPointKind(const std::string &path);
// Some mount point has the last component `name`.
bool namedLikeMountPoint(const char *name);
// `path` (canonical) lies on a kernel pseudo file system.
bool isOnPseudoFileSystem(const std::string &path);

// ---- The shared settings file (sharedsettings.cpp) ----

// The user's settings file: $XDG_CONFIG_HOME/folmar/Folmar.ini when that
// variable is an absolute path, else $HOME/.config/folmar/Folmar.ini when
// HOME is one; "" when neither names a directory.
std::string userSettingsPath(const char *xdgConfigHome, const char *home);
// Opens the first of `places` (native paths; "" is skipped) that is a regular
// file on a real file system, else openFile(path, mode, foreign). A place
// whose file isForeignFile is passed over, and *foreign (when given) set.
FILE *openSharedSettingsFrom(const std::vector<std::string> &places, const char *path, const char *mode,
                             bool *foreign = nullptr);
// The file a former openSharedSettingsFrom(..., `path`, ...) found at one of
// its places, opened again for reading; nullptr when it took the drive path
// (or found nothing), so that openFile(path) names the same file.
FILE *reopenSharedSettingsPlace(const char *path);

// ---- Reading and opening directories (resolve.cpp) ----

// The settings file whose status is `st` may have been written by someone
// other than the running user and root: it is another user's, or users other
// than its owner may write it (as git refuses a repository someone else
// owns, and ssh such files). It is not read; *foreign (when given) is set.
bool isForeignFile(const struct stat &st, bool *foreign);

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

// Which links a path may pass through: those that lead to a place inside
// the directory it starts from (its drive's, or the working directory for
// a path on no drive), for the paths the program reads; none at all below
// it, for the paths it writes.
enum class Links { withinStart, none };

// The directories a resolution has entered, its start first, each opened
// from the one before by its real name and never through a link (so ".."
// is the one before); `native` is the path of the last one.
struct Chain {
    std::vector<int> fds;
    std::vector<size_t> nativeLengths;  // of `native` at each directory
    std::string native;
    Chain() = default;
    Chain(const Chain &) = delete;
    Chain &operator=(const Chain &) = delete;
    ~Chain();
    int top() const { return fds.back(); }
    void push(int fd, const std::string &name);
    void pop();
};
// `dir` followed by `name`, with one '/' between.
std::string joinNative(const std::string &dir, const std::string &name);

// Where the resolution of a file's path ended: the file's name in the
// chain's last directory; `found` false when no entry has that name yet.
struct FileEnd {
    std::string name;
    bool found = false;
};

// Opens the directory named by `key`, each component looked up as
// findNameIn does and passing only the links `links` lets through, and sets
// `native` to its path (canonical: no link in it). -1 (errno set) when it
// leads nowhere inside its start.
int openKeyDirectory(const PathKey &key, std::string *native, Links links);
// Resolves the Windows `path` of a file into `chain` (its folder) and `file`
// (its name there): the folder as openKeyDirectory does; the name found as
// findNameIn finds it and, when it is a link and `links` lets it through,
// followed. A link as the last component of a path under Links::none is
// not followed: `file` names the link. False when the path names no file
// of an existing folder (a drive root, a folder that is not there).
bool resolveFilePath(const char *path, Links links, Chain *chain, FileEnd *file);

// The file open as `fd`, whose native path is `native`, lies on a kernel
// pseudo file system (by its statfs magic, or by the mount table for
// devtmpfs, which shares tmpfs's).
bool onPseudoFileSystem(int fd, const std::string &native);

// ---- Signals (signals.cpp), and what their handlers undo ----

// At start: SIGXFSZ ignored, and a handler for every signal that ends a
// process by default and comes from outside (not for one the program was
// told to ignore): it restores the terminal's mode and removes the new
// files of unfinished replacements, then the process ends by that signal.
void setUpSignals();
// Adds those signals and SIGTSTP to `set`.
void addEndSignals(sigset_t *set);
// Blocks those signals and SIGTSTP on the calling thread, so that a change
// their handlers look at (the terminal's mode, the list of replacements) is
// whole when they see it, and a thread that must never run them does not;
// `saved` gets the mask that restoreSignalMask puts back.
void blockEndSignals(sigset_t *saved);
void restoreSignalMask(const sigset_t *saved);
// Puts the terminal's own mode back if a key read changed it
// (console.cpp). Safe in a signal handler.
void restoreTerminalMode();
// Removes the new files of the replacements still open (replace.cpp).
// Safe in a signal handler.
void removeReplacementFiles();

}  // namespace posix
