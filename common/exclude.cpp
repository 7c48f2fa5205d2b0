// The exclusion patterns: their store in RunState, the test of a pattern
// that could never match, and the match of a pattern against a directory's
// name or path. Matching reads only the store, which is settled before the
// first walk, so the read-ahead's threads may match too.
#include "common/exclude.h"

#include <cstring>

#include "common/runstate.h"
#include "platform/utf8.h"

namespace {

// The bytes the stored patterns take, their terminators included.
size_t storeUsed() {
    size_t used = 0;
    for (int i = 0; i < rs.excludePatternCount; ++i) used += std::strlen(rs.excludePatterns + used) + 1;
    return used;
}

// Appends the `length` bytes of `pattern` to the store, '/' as '\'.
void addPattern(const char *pattern, size_t length) {
    size_t used = storeUsed();
    if (rs.excludePatternCount >= maxExcludePatterns || used + length + 1 > sizeof rs.excludePatterns ||
        utf8CharsIn(pattern, length) > (size_t)maxPathChars) {
        rs.excludeTooMany = true;
        return;
    }
    char *stored = rs.excludePatterns + used;
    for (size_t i = 0; i < length; ++i) stored[i] = pattern[i] == '/' ? '\\' : pattern[i];
    stored[length] = '\0';
    if (std::memchr(stored, '\\', length) != nullptr) rs.excludeByPath = true;
    rs.excludePatternCount += 1;
}

// The upper case of `code` as Windows compares names: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic.
uint32_t upperCase(uint32_t code) {
    if (code < 0x80) return (code >= 'a' && code <= 'z') ? code - 0x20 : code;
    if ((code >= 0xE0 && code <= 0xFE && code != 0xF7) || (code >= 0x3B1 && code <= 0x3CB && code != 0x3C2) ||
        (code >= 0x430 && code <= 0x44F))
        return code - 0x20;
    if (code == 0xFF) return 0x178;
    if (code == 0x3C2) return 0x3A3;
    if (code >= 0x450 && code <= 0x45F) return code - 0x50;
    bool pairs = (code >= 0x100 && code <= 0x137) || (code >= 0x14A && code <= 0x177);
    if (pairs && (code & 1)) return code - 1;
    if ((code >= 0x139 && code <= 0x148) || (code >= 0x179 && code <= 0x17E)) return (code & 1) ? code : code - 1;
    return code;
}

// A name, or a directory's path in two parts: the parent's path and the
// name. A run of backslashes in it is one character (a target typed as
// "\work" gives "C:\\work").
struct Text {
    const char *head;
    size_t headLength;
    const char *tail;
};

// The character at byte `at` of `text` into *code; its bytes, 0 at the end.
size_t charAt(const Text &text, size_t at, uint32_t *code) {
    bool inHead = at < text.headLength;
    const char *c = inHead ? text.head + at : text.tail + (at - text.headLength);
    if (*c == '\0' && !inHead) return 0;
    size_t bytes = (size_t)decodeUtf8(c, code);
    if (*code != '\\') return bytes;
    size_t more = 0;
    while (charAt(text, at + bytes + more, code) == 1 && *code == '\\') ++more;
    *code = '\\';
    return bytes + more;
}

// `pattern` matches the whole of `text`: '*' any run of characters, '?'
// one but '\', every other character itself without regard to case.
bool matches(const char *pattern, const Text &text) {
    size_t p = 0, t = 0, starP = 0, starT = 0;
    bool star = false;
    for (;;) {
        uint32_t tc = 0, pc = 0;
        size_t tBytes = charAt(text, t, &tc);
        if (tBytes == 0) break;
        size_t pBytes = pattern[p] != '\0' ? (size_t)decodeUtf8(pattern + p, &pc) : 0;
        if (pBytes != 0 && pc == '*') {
            star = true;
            starP = p += 1;
            starT = t;
        } else if (pBytes != 0 && ((pc == '?' && tc != '\\') || upperCase(pc) == upperCase(tc))) {
            p += pBytes;
            t += tBytes;
        } else if (star) {
            p = starP;
            t = starT += charAt(text, starT, &tc);
        } else {
            return false;
        }
    }
    while (pattern[p] == '*') ++p;
    return pattern[p] == '\0';
}

// The first part of a path pattern (before its first '\') can name a
// drive: "C:", or something with a wildcard.
bool namesADrive(const char *pattern) {
    size_t first = std::strcspn(pattern, "\\");
    if (std::strcspn(pattern, "*?") < first) return true;
    char letter = (char)(pattern[0] | 0x20);
    return first == 2 && letter >= 'a' && letter <= 'z' && pattern[1] == ':';
}

}  // namespace

void addExcludePatterns(const char *list) {
    for (;;) {
        size_t length = std::strcspn(list, ";");
        addPattern(list, length);
        if (list[length] == '\0') return;
        list += length + 1;
    }
}

const char *unmatchablePattern() {
    const char *pattern = rs.excludePatterns;
    for (int i = 0; i < rs.excludePatternCount; ++i, pattern += std::strlen(pattern) + 1) {
        size_t length = std::strlen(pattern);
        if (length == 0 || pattern[0] == '\\' || pattern[length - 1] == '\\' || std::strstr(pattern, "\\\\"))
            return pattern;
        if (std::strchr(pattern, '\\') != nullptr && !namesADrive(pattern)) return pattern;
    }
    return nullptr;
}

namespace {

// `pattern` matches the directory `name` below the `parentLength` bytes of
// `parentPath`: a name pattern the name, a path pattern the whole path. A
// path pattern whose last part holds no '*' matches only where that part
// matches the name, which is looked at first: most paths fail there.
bool matchesDirectory(const char *pattern, const char *parentPath, size_t parentLength, const char *name) {
    const char *last = std::strrchr(pattern, '\\');
    if (last == nullptr) return matches(pattern, Text{"", 0, name});
    if (std::strchr(last, '*') == nullptr && !matches(last + 1, Text{"", 0, name})) return false;
    return matches(pattern, Text{parentPath, parentLength, name});
}

}  // namespace

const char *excludingPattern(const char *parentPath, size_t parentLength, const char *name, const char *shortName) {
    const char *pattern = rs.excludePatterns;
    for (int i = 0; i < rs.excludePatternCount; ++i, pattern += std::strlen(pattern) + 1) {
        if (matchesDirectory(pattern, parentPath, parentLength, name)) return pattern;
        if (shortName[0] != '\0' && matchesDirectory(pattern, parentPath, parentLength, shortName)) return pattern;
    }
    return nullptr;
}
