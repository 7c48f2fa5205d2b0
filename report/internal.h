// Helpers shared by the files of the report layout and by nothing else: a
// figure as a grouped field in one call, and the guard that keeps control
// characters out of report text.
#pragma once

#include <cstdint>

// `value` as a grouped field of `width` characters in the shared field
// buffer (valid until the next formatGrouped call).
char *groupedField(uint64_t value, int width);

// `c` itself, or '?' when it is a control character (a name from a file
// system or a command line must never put one into the report).
inline char printableChar(char c) {
    unsigned char u = (unsigned char)c;
    return (u < 0x20 || u == 0x7F) ? '?' : c;
}
