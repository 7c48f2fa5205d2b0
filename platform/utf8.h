// UTF-8 as every name and path crossing the seam is written: decoding and
// encoding one character, telling control characters, counting characters. Shared by the
// core and the platforms, so that both count a path alike. A byte that does
// not begin a valid sequence (a stray continuation byte, a truncated or
// overlong sequence, a surrogate, a code point past U+10FFFF) is a character
// of its own, one byte long, that is shown as '?'.
#pragma once

#include <cstddef>
#include <cstdint>

// The code point of a byte that is no valid UTF-8.
const uint32_t invalidCode = 0xFFFFFFFFu;

// Decodes the character at `text` (not at its terminator) into *code and
// returns its length in bytes (1 to 4); an invalid byte gives invalidCode
// and 1.
inline int decodeUtf8(const char *text, uint32_t *code) {
    const unsigned char *s = (const unsigned char *)text;
    *code = invalidCode;
    if (s[0] < 0x80) {
        *code = s[0];
        return 1;
    }
    int length = s[0] >= 0xF0 ? 4 : s[0] >= 0xE0 ? 3 : s[0] >= 0xC2 ? 2 : 0;
    if (length == 0 || s[0] > 0xF4) return 1;
    uint32_t value = s[0] & (0x7Fu >> length);
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 1;
        value = (value << 6) | (s[i] & 0x3Fu);
    }
    bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    if (overlong || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 1;
    *code = value;
    return length;
}

// The UTF-8 bytes of `code` (up to U+10FFFF; a surrogate as any other code
// point of three bytes) in `out`; returns their number, 1 to 4.
inline size_t encodeUtf8(uint32_t code, char *out) {
    if (code < 0x80) {
        out[0] = (char)code;
        return 1;
    }
    if (code < 0x800) {
        out[0] = (char)(0xC0 | (code >> 6));
        out[1] = (char)(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = (char)(0xE0 | (code >> 12));
        out[1] = (char)(0x80 | ((code >> 6) & 0x3F));
        out[2] = (char)(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (code >> 18));
    out[1] = (char)(0x80 | ((code >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((code >> 6) & 0x3F));
    out[3] = (char)(0x80 | (code & 0x3F));
    return 4;
}

// C0 controls, DEL and the C1 controls U+0080 to U+009F: never shown.
inline bool isControlCode(uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// The bidirectional embeddings, overrides and isolates (U+202A to U+202E,
// U+2066 to U+2069): a viewer that applies them shows the rest of a line,
// its figures included, reversed. Never shown either; a name holding one is
// still a name like any other.
inline bool isDirectionControl(uint32_t code) {
    return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// Characters of `text` up to its terminator, each invalid byte one.
inline size_t utf8Chars(const char *text) {
    size_t count = 0;
    uint32_t code;
    while (*text != '\0') {
        text += decodeUtf8(text, &code);
        ++count;
    }
    return count;
}

// Characters of the first `length` bytes of `text`.
inline size_t utf8CharsIn(const char *text, size_t length) {
    size_t count = 0;
    uint32_t code;
    for (size_t at = 0; at < length; ++count) at += (size_t)decodeUtf8(text + at, &code);
    return count;
}
