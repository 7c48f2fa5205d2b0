// Windows names and paths on a POSIX file system: which names Windows could
// not hold, the one spelling (key) of a Windows path under which its
// directory is known, and the Windows form of the working directory.
#include <cstdint>
#include <cstring>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace posix {

bool isUnsafeName(const char *name) { return isUnsafeName(name, std::strlen(name)); }

// Eight bytes at a time: a word has a byte below 0x20 when subtracting
// 0x20 from each borrows into a high bit that was clear, and a byte equal
// to another when their exclusive or has a zero byte.
bool isUnsafeName(const char *name, size_t length) {
    const uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    size_t at = 0;
    for (; at + 8 <= length; at += 8) {
        uint64_t word;
        std::memcpy(&word, name + at, sizeof word);
        uint64_t del = word ^ (ones * 0x7F), backslash = word ^ (ones * '\\');
        uint64_t found = ((word - ones * 0x20) & ~word) | ((del - ones) & ~del) | ((backslash - ones) & ~backslash);
        if (found & highs) return true;
    }
    for (const unsigned char *c = (const unsigned char *)name + at; at < length; ++at, ++c)
        if (*c < 0x20 || *c == 0x7F || *c == '\\') return true;
    return false;
}

static char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

bool equalNoCase(const char *a, const char *b) {
    for (; *a != '\0' && lowerAscii(*a) == lowerAscii(*b); ++a, ++b) {
    }
    return lowerAscii(*a) == lowerAscii(*b);
}

NameChoice chooseName(const char *name, const char *wanted, const char *best) {
    bool exact = std::strcmp(name, wanted) == 0;
    if ((!exact && !equalNoCase(name, wanted)) || isUnsafeName(name)) return nameNot;
    if (exact) return nameExact;
    return best == nullptr || std::strcmp(name, best) < 0 ? nameBetter : nameNot;
}

bool trimmedWindowsName(const char *name, std::string *trimmed) {
    size_t length = std::strlen(name);
    while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ')) --length;
    if (length == 0 || name[length] == '\0') return false;
    trimmed->assign(name, length);
    return true;
}

static bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

static bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool needsCurrentDirectory(const char *path) {
    return !(isLetter(path[0]) && path[1] == ':' && isSeparator(path[2]));
}

// Appends the components of `path` to key->text, folding "." and "..".
// `floor` is the length below which ".." removes nothing (2 for the drive,
// 0 for a relative key): ".." never climbs above the drive's root, nor
// above the working directory. False on a control character.
static bool appendComponents(const char *path, size_t floor, PathKey *key) {
    std::string &text = key->text;
    while (*path != '\0') {
        while (isSeparator(*path)) ++path;
        const char *end = path;
        while (*end != '\0' && !isSeparator(*end)) ++end;
        size_t length = (size_t)(end - path);
        if (length == 0) break;
        for (const char *c = path; c < end; ++c)
            if ((unsigned char)*c < 0x20 || *c == 0x7F) return false;
        bool dot = length == 1 && path[0] == '.';
        bool dotDot = length == 2 && path[0] == '.' && path[1] == '.';
        if (dot || (dotDot && text.size() <= floor)) {
            // the same directory; ".." of the top is the top
        } else if (dotDot) {
            size_t last = text.rfind('\\');
            text.resize(last == std::string::npos ? 0 : last);
        } else {
            if (key->onDrive || !text.empty()) text += '\\';
            text.append(path, length);
        }
        path = end;
    }
    return true;
}

bool makePathKey(const char *path, const char *currentDir, PathKey *key) {
    key->text.clear();
    key->onDrive = true;
    if (path[0] != '\0' && !isSeparator(path[0]) && path[1] == ':' && !isLetter(path[0]))
        return false;  // a drive that is not a letter does not exist
    if (isLetter(path[0]) && path[1] == ':') {
        char letter = (char)(path[0] & ~0x20);
        key->text.assign(1, letter).append(1, ':');
        if (!isSeparator(path[2]) && currentDir[0] == letter &&
            !appendComponents(currentDir + 2, 2, key))
            return false;
        return appendComponents(path + 2, 2, key);
    }
    if (isSeparator(path[0])) {
        if (currentDir[0] == '\0') return false;
        key->text.assign(currentDir, 2);
        return appendComponents(path, 2, key);
    }
    if (currentDir[0] != '\0') {  // relative to a working directory on a drive
        key->text.assign(currentDir, 2);
        return appendComponents(currentDir + 2, 2, key) && appendComponents(path, 2, key);
    }
    key->onDrive = false;
    return appendComponents(path, 0, key);
}

size_t firstComponent(const PathKey &key) {
    if (!key.onDrive) return 0;
    return key.text.size() > 2 ? 3 : key.text.size();
}

size_t nextComponent(const PathKey &key, size_t offset) {
    size_t end = key.text.find('\\', offset);
    return end == std::string::npos ? key.text.size() : end + 1;
}

// Length of `dir` as a prefix of `path` that ends at a component boundary,
// 0 when it is no such prefix. "/" is a prefix of every absolute path.
static size_t componentPrefix(const std::string &dir, const char *path) {
    size_t length = dir.size();
    if (length == 1 && dir[0] == '/') return path[0] == '/' ? 1 : 0;
    if (std::strncmp(dir.c_str(), path, length) != 0) return 0;
    return (path[length] == '\0' || path[length] == '/') ? length : 0;
}

bool windowsFormOf(const char *nativeDir, const DriveMap &map, std::string *out) {
    int best = -1;
    size_t bestLength = 0;
    for (int i = 0; i < 26; ++i) {
        if (!map.mapped[i] || map.dir[i].empty()) continue;
        size_t length = componentPrefix(map.dir[i], nativeDir);
        if (length > bestLength) {
            best = i;
            bestLength = length;
        }
    }
    if (best < 0) return false;
    out->assign(1, (char)('A' + best)).append(":\\");
    const char *rest = nativeDir + bestLength;
    while (*rest == '/') ++rest;
    for (; *rest != '\0'; ++rest) {
        if (*rest == '\\' || safeNameByte(*rest) != *rest) return false;
        *out += *rest == '/' ? '\\' : *rest;
    }
    while (out->size() > 3 && out->back() == '\\') out->pop_back();
    return true;
}

std::string currentWindowsDirectory() {
    char native[4096];
    std::string text;
    if (getcwd(native, sizeof native) == nullptr || !windowsFormOf(native, driveMap(), &text))
        text.clear();
    return text;
}

}  // namespace posix

uint32_t getCurrentDirectory(uint32_t length, char *buffer) {
    char native[4096];
    if (length == 0) return 0;
    std::string text;
    bool onDrive = false;
    if (getcwd(native, sizeof native) == nullptr) {
        text = "(unreadable)";
    } else {
        onDrive = posix::windowsFormOf(native, posix::driveMap(), &text);
        if (!onDrive) text = native;
    }
    size_t copied = text.size() < length ? text.size() : length - 1;
    while (copied > 0 && copied < text.size() && ((unsigned char)text[copied] & 0xC0) == 0x80)
        --copied;  // cut at a character
    for (size_t i = 0; i < copied; ++i) buffer[i] = onDrive ? text[i] : posix::safeNameByte(text[i]);
    buffer[copied] = '\0';
    if (!onDrive) return 0;
    return text.size() < length ? (uint32_t)text.size() : (uint32_t)text.size() + 1;
}
