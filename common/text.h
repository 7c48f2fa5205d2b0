// Text from outside (names, paths, settings values) as the report shows it:
// the columns a character takes, and the display form in which every control
// character, every direction control and every invalid byte is a '?'. Names are UTF-8 throughout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/utf8.h"

// Columns of a character on a terminal: 0 (combining marks), 1, or 2 (East
// Asian wide and fullwidth). An invalid byte, shown as '?', takes 1.
int charColumns(uint32_t code);
// Decodes the character at `text` as it is shown: *code is '?' for a control
// character, a direction control or an invalid byte. Returns its length in bytes.
int displayChar(const char *text, uint32_t *code);
// Bytes of the first `chars` characters of `text` (all of it when shorter).
size_t prefixBytes(const char *text, size_t chars);
