// Helpers shared by the files of the report layout and by nothing else: a
// figure as a grouped field in one call, and the guard that keeps control
// characters out of report text.
#pragma once

#include <cstdint>

// `value` as a grouped field of `width` characters in the shared field
// buffer (valid until the next formatGrouped call).
char *groupedField(uint64_t value, int width);

// A lone byte (a drive letter) as it is shown: itself, or '?' when it is a
// control character or no character on its own (a byte of a UTF-8 sequence).
inline char printableChar(char c) {
    unsigned char u = (unsigned char)c;
    return (u < 0x20 || u >= 0x7F) ? '?' : c;
}
