// Number fields: the plain digits of a 64-bit value, the comma-grouped field
// of fixed width in the one shared field buffer, and the dot leader of a
// directory size. A number too wide for its field is shown without commas
// when its plain digits fit, and as a field of '*' otherwise: never wrong,
// never longer than the field.
#include <cstring>

#include "report/internal.h"
#include "report/report.h"

static char fieldBuffer[48];  // the shared field: at most 47 characters and the terminator
static const int maxFieldWidth = 47;

// Writes the digits of `value` (at most 20) and a terminator into `digits`.
void u64Digits(uint64_t value, char *digits) {
    char reversed[20];
    int count = 0;
    do {
        reversed[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < count; ++i) digits[i] = reversed[count - 1 - i];
    digits[count] = 0;
}

// True when a comma goes to the left of digits[i], which has just been
// placed; steps the group `counter`. A '-' starts a new group of its own.
static bool commaBefore(const char *digits, int i, int *counter) {
    if (i == 0) return false;
    if (digits[i - 1] == '-') {
        *counter = 3;
        return false;
    }
    if (--*counter > 0) return false;
    *counter = 3;
    return true;
}

// Length of the grouped form of the first `length` characters of `digits`.
static int groupedLength(const char *digits, int length) {
    int counter = 3;
    int total = length;
    for (int i = length - 1; i >= 0; --i)
        if (commaBefore(digits, i, &counter)) ++total;
    return total;
}

// Writes the grouped form of `digits` so that it ends at field[end - 1].
static void placeGrouped(const char *digits, int length, char *field, int end) {
    int counter = 3;
    int at = end;
    for (int i = length - 1; i >= 0; --i) {
        field[--at] = digits[i];
        if (commaBefore(digits, i, &counter)) field[--at] = ',';
    }
}

// Fills the shared buffer with a right-justified field of exactly `width`
// characters (held to 0..47) and returns it. The digit text is only read.
char *formatGrouped(const char *digits, int width) {
    if (width < 0) width = 0;
    if (width > maxFieldWidth) width = maxFieldWidth;
    std::memset(fieldBuffer, ' ', (size_t)width);
    fieldBuffer[width] = 0;
    size_t plain = std::strlen(digits);
    if (plain > (size_t)width) {
        std::memset(fieldBuffer, '*', (size_t)width);
        return fieldBuffer;
    }
    int length = (int)plain;
    if (groupedLength(digits, length) <= width)
        placeGrouped(digits, length, fieldBuffer, width);
    else
        std::memcpy(fieldBuffer + width - length, digits, plain);
    return fieldBuffer;
}

// Keeps the blank nearest the number and turns every blank left of it into
// a dot. The last character is never changed.
void dotFillNumber(char *field) {
    bool blankKept = false;
    for (int i = (int)std::strlen(field) - 2; i >= 0; --i) {
        if (field[i] != ' ') continue;
        if (blankKept)
            field[i] = '.';
        else
            blankKept = true;
    }
}

char *groupedField(uint64_t value, int width) {
    char digits[21];
    u64Digits(value, digits);
    return formatGrouped(digits, width);
}
