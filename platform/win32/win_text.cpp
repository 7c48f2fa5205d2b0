// The text conversions of the Windows platform: UTF-8 (the seam) to and from
// UTF-16 (the wide calls, surrogate pairs included), ANSI names and text (a
// settings file) to UTF-8, exact ANSI paths for Windows 9x, and text for a
// reader in a code page with '?' for what it cannot hold. Written here rather
// than with CP_UTF8, which Windows 95 lacks.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"
#include "platform/utf8.h"
#include "platform/win32/win32.h"

namespace {

bool isHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Decodes what decodeUtf8 refused at `text`: the three bytes of a lone
// surrogate (as toUtf8 writes one) give it back, any other byte U+FFFD.
int decodeInvalid(const char *text, uint32_t *code) {
    const unsigned char *s = (const unsigned char *)text;
    if (s[0] == 0xED && s[1] >= 0xA0 && s[1] <= 0xBF && (s[2] & 0xC0) == 0x80) {
        *code = 0xD000u | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
        return 3;
    }
    *code = 0xFFFD;
    return 1;
}

// One character at a time, kept only when it converts back to itself: for
// the systems before Windows 2000 and the code pages (UTF-8, GB18030) that
// refuse WC_NO_BEST_FIT_CHARS.
size_t toCodePageByCharacter(const wchar_t *wide, size_t units, UINT codePage, char *out,
                             size_t room) {
    size_t at = 0;
    for (size_t i = 0; i < units;) {
        int count = isHighSurrogate(wide[i]) && i + 1 < units && isLowSurrogate(wide[i + 1]) ? 2 : 1;
        char bytes[8];
        wchar_t back[4];
        int n = WideCharToMultiByte(codePage, 0, wide + i, count, bytes, sizeof bytes, nullptr, nullptr);
        int m = n > 0 ? MultiByteToWideChar(codePage, 0, bytes, n, back, 4) : 0;
        if (m != count || std::memcmp(back, wide + i, count * sizeof(wchar_t)) != 0) {
            bytes[0] = '?';
            n = 1;
        }
        if (at + (size_t)n > room) break;
        std::memcpy(out + at, bytes, (size_t)n);
        at += (size_t)n;
        i += (size_t)count;
    }
    return at;
}

}  // namespace

namespace win {

bool isAscii(const char *text) {
    for (const unsigned char *p = (const unsigned char *)text; *p != 0; ++p)
        if (*p >= 0x80) return false;
    return true;
}

bool isUtf8(const char *text) {
    uint32_t code;
    while (*text != '\0') {
        text += decodeUtf8(text, &code);
        if (code == invalidCode) return false;
    }
    return true;
}

size_t toWide(const char *utf8, wchar_t *out, size_t room, size_t *used) {
    size_t units = 0, at = 0;
    while (utf8[at] != '\0') {
        uint32_t code;
        int length = decodeUtf8(utf8 + at, &code);
        if (code == invalidCode) length = decodeInvalid(utf8 + at, &code);
        size_t need = code > 0xFFFF ? 2 : 1;
        if (units + need + 1 > room) break;
        if (need == 2) {
            out[units++] = (wchar_t)(0xD800 + ((code - 0x10000) >> 10));
            out[units++] = (wchar_t)(0xDC00 + (code & 0x3FF));
        } else {
            out[units++] = (wchar_t)code;
        }
        at += (size_t)length;
    }
    if (room > 0) out[units] = 0;
    if (used != nullptr) *used = at;
    return units;
}

size_t unitsToUtf8(const wchar_t *wide, size_t units, char *out, size_t room) {
    size_t at = 0;
    for (size_t i = 0; i < units;) {
        uint32_t code = (uint16_t)wide[i];
        size_t used = 1;
        if (isHighSurrogate(code) && i + 1 < units && isLowSurrogate((uint16_t)wide[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + ((uint16_t)wide[i + 1] - 0xDC00);
            used = 2;
        }
        char bytes[4];
        size_t n = encodeUtf8(code, bytes);
        if (at + n > room) break;
        std::memcpy(out + at, bytes, n);
        at += n;
        i += used;
    }
    return at;
}

size_t toUtf8(const wchar_t *wide, char *out, size_t room) {
    if (room == 0) return 0;
    size_t at = unitsToUtf8(wide, std::wcslen(wide), out, room - 1);
    out[at] = '\0';
    return at;
}

// Names, short names and the current directory of Windows 9x: at most
// MAX_PATH bytes, so as many UTF-16 units.
size_t ansiToUtf8(const char *ansi, char *out, size_t room) {
    wchar_t wide[2 * MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 2 * MAX_PATH) == 0) wide[0] = 0;
    return toUtf8(wide, out, room);
}

// Converted to ANSI and back: a path that does not come back as it was
// would name some other file (a best-fit look-alike) and is refused.
bool pathToAnsi(const char *utf8, char *out, size_t room) {
    const int units = maxPathBytes + 8;
    wchar_t wide[units], back[units];
    size_t used;
    toWide(utf8, wide, units, &used);
    if (utf8[used] != '\0') return false;
    int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, out, (int)room, nullptr, nullptr);
    if (n == 0 || MultiByteToWideChar(CP_ACP, 0, out, -1, back, units) == 0) return false;
    return std::wcscmp(wide, back) == 0;
}

// A character beyond U+FFFF goes one character at a time too: the code
// pages that take the flag hold none, and WideCharToMultiByte would give a
// '?' for each half of its surrogate pair.
size_t toCodePageShown(const wchar_t *wide, size_t units, UINT codePage, char *out, size_t room) {
    bool surrogates = false;
    for (size_t i = 0; i < units; ++i)
        surrogates = surrogates || isHighSurrogate(wide[i]) || isLowSurrogate(wide[i]);
    int n = 0;
    if (!surrogates && units > 0)
        n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, (int)units, out, (int)room, "?",
                                nullptr);
    return n > 0 ? (size_t)n : toCodePageByCharacter(wide, units, codePage, out, room);
}

}  // namespace win

// A settings file of at most a few MiB: its UTF-16 form on the heap for the
// moment of the conversion. Without that memory the bytes stay as they are
// (the file's values are then converted where they are used).
long ansiTextToUtf8(const char *text, size_t length, char *out, size_t room) {
    if (length == 0) return 0;
    int units = MultiByteToWideChar(CP_ACP, 0, text, (int)length, nullptr, 0);
    wchar_t *wide = units > 0 ? (wchar_t *)std::malloc((size_t)units * sizeof(wchar_t)) : nullptr;
    if (wide == nullptr) return -1;
    units = MultiByteToWideChar(CP_ACP, 0, text, (int)length, wide, units);
    size_t written = win::unitsToUtf8(wide, (size_t)units, out, room);
    std::free(wide);
    return (long)written;
}
