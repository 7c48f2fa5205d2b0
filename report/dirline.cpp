// The directory line: a path in the left-hand column, a dot leader and the
// byte total of the directory's own files in the 14-character size column at
// the right edge. Owns the wrapping of a long path over continuation lines
// (indented by three blanks, the size on the last of them) and the one line
// buffer in which every line is assembled. Paths are measured in the columns
// a terminal gives their characters, or where the sink writes a code page in
// the bytes they take there, so a line that carries a size is exactly
// lineWidth columns (or bytes) whatever the script of its names, and a line
// is never broken inside a character.
#include <cstring>

#include "common/output.h"
#include "common/runstate.h"
#include "common/sink.h"
#include "common/text.h"
#include "report/internal.h"
#include "report/report.h"

static const int sizeWidth = sizeColumnWidth;
static const int indentWidth = 3;  // blanks before a continuation piece
static const char dotLeader[] =
    "................................................................"
    "..........................................................";  // 122 dots

// The path being laid out, in its display form, with the byte offset and the
// column of each character (from the start of the path); entry `count` holds
// the end of the last character. A path of the walk has at most
// walkPathChars characters.
static const int maxChars = walkPathChars + 5;
static struct {
    char text[walkPathBytes + 5];
    int count;
    int byteAt[maxChars + 1];
    int columnAt[maxChars + 1];
} laid;

// One line: at most widestLineWidth columns, each piece's bytes (zero-width characters
// take bytes but no column), the line break and the terminator.
static char lineBuffer[sizeof laid.text + 128];

// Line geometry from rs.lineWidth, rs.pathColumn and rs.wrapFloor, which
// setLineWidth holds to the widths the line buffer serves.
struct LineGeometry {
    int lineWidth;
    int pathColumn;  // first column of the size text
    int wrapFloor;   // breaks are searched above this column
};

static LineGeometry lineGeometry() { return LineGeometry{rs.lineWidth, rs.pathColumn, (int)rs.wrapFloor}; }

// The character `code` of the display form as `sink` shows it: where the
// sink writes in a code page, the bytes it takes there, a character the code
// page lacks becoming one '?'; elsewhere the columns of a terminal.
static int sinkColumns(FILE *sink, uint32_t *code) {
    int bytes = *code < 0x80 ? -1 : codePageBytes(sink, *code);
    if (bytes == 0) *code = '?';
    return bytes < 0 ? charColumns(*code) : bytes == 0 ? 1 : bytes;
}

// Fills `laid` with the display form of the first `length` bytes of `path`
// as `sink` shows it.
static void layPath(const char *path, size_t length, FILE *sink) {
    int count = 0, column = 0;
    size_t used = 0;
    for (size_t at = 0; at < length && count < maxChars;) {
        laid.byteAt[count] = (int)used;
        laid.columnAt[count] = column;
        if (path[at] >= 0x20 && path[at] < 0x7F) {  // printable ASCII: one byte, one column in every sink
            laid.text[used++] = path[at++];
            ++column;
            ++count;
            continue;
        }
        uint32_t code;
        int bytes = displayChar(path + at, &code);
        int columns = sinkColumns(sink, &code);
        if (code == '?') {
            laid.text[used++] = '?';
        } else {
            std::memcpy(laid.text + used, path + at, (size_t)bytes);
            used += (size_t)bytes;
        }
        at += (size_t)bytes;
        column += columns;
        ++count;
    }
    laid.text[used] = '\0';
    laid.count = count;
    laid.byteAt[count] = (int)used;
    laid.columnAt[count] = column;
}

// Columns of characters [first, end) of the laid path.
static int columnsOf(int first, int end) { return laid.columnAt[end] - laid.columnAt[first]; }

// The last of the characters [first, last] whose column (from `first`) is
// at most `high`, found by halving (columns never go down along a path), so
// that a long path is not searched from its far end for every line.
static int lastWithin(int first, int last, int high) {
    int low = first - 1;
    while (low < last) {
        int middle = low + (last - low + 1) / 2;
        if (columnsOf(first, middle) <= high)
            low = middle;
        else
            last = middle - 1;
    }
    return low;
}

// Rightmost break among characters [first, last] whose column (from `first`)
// lies in [low, high]: backslash first, then blank, then underscore, then
// hyphen, a kind tried only when no earlier kind is in the range. Returns the
// character's index, or -1 when there is none.
static int findBreak(int first, int last, int high, int low) {
    static const char kinds[] = "\\ _-";
    last = lastWithin(first, last, high);
    for (const char *kind = kinds; *kind != 0; ++kind) {
        for (int i = last; i >= first; --i) {
            int column = columnsOf(first, i);
            if (column > high) continue;
            if (column < low) break;
            if (laid.text[laid.byteAt[i]] == *kind) return i;
        }
    }
    return -1;
}

// The end (exclusive character index) of the piece that starts at character
// `first` of a rest ending at `end`; *last says whether that line ends the
// directory and carries the size. A piece with the size must stay left of
// the size column; when the rest would not (a continuation line), or a break
// would leave nothing for the size line, the path is broken once more, so
// that every break leaves at least one character and the size always has a
// last line. A hard break takes the characters that fit whole.
static int nextPiece(int first, int end, bool firstLine, const LineGeometry &g, bool *last) {
    int length = columnsOf(first, end);
    int room = firstLine ? g.pathColumn : g.pathColumn - indentWidth;
    *last = length <= room;
    if (*last) return end;
    bool fitsColumn = length <= g.pathColumn;  // only a continuation line gets here so
    int high = fitsColumn ? room - 1 : g.pathColumn;
    int p = findBreak(first, end - 2, high, g.wrapFloor + 1);
    if (p >= 0) return p + 1;
    int limit = fitsColumn ? room : g.pathColumn;  // hard break
    int cut = first + 1;
    while (cut < end - 1 && columnsOf(first, cut + 1) <= limit) ++cut;
    return cut;
}

// Assembles one line in lineBuffer: the indent of a continuation line, the
// piece (characters [first, end) of the laid path), and on the last line the
// dot leader and `sizeText` so that the line is exactly lineWidth columns.
static void buildLine(int first, int end, bool firstLine, bool last, const char *sizeText,
                      const LineGeometry &g) {
    int at = 0, column = 0;
    if (!firstLine)
        for (; at < indentWidth; ++at) lineBuffer[at] = ' ';
    column = at;
    int bytes = laid.byteAt[end] - laid.byteAt[first];
    std::memcpy(lineBuffer + at, laid.text + laid.byteAt[first], (size_t)bytes);
    at += bytes;
    column += columnsOf(first, end);
    if (last) {
        int dots = g.pathColumn - column;
        std::memcpy(lineBuffer + at, dotLeader, (size_t)dots);
        at += dots;
        std::memcpy(lineBuffer + at, sizeText, sizeWidth);
        at += sizeWidth;
    }
    lineBuffer[at++] = '\n';
    lineBuffer[at] = 0;
}

void printSizedLine(const char *path, size_t pathLength, uint64_t bytes, void (*writeLine)(const char *line)) {
    char sizeText[sizeWidth + 1];
    char *field = groupedField(bytes, sizeWidth);
    dotFillNumber(field);
    std::memcpy(sizeText, field, sizeof sizeText);

    LineGeometry g = lineGeometry();
    while (pathLength > 0 && path[pathLength - 1] == ' ') --pathLength;
    layPath(path, pathLength, reportSink().stream());
    bool firstLine = true;
    for (int first = 0; first < laid.count;) {
        bool last = false;
        int end = nextPiece(first, laid.count, firstLine, g, &last);
        buildLine(first, end, firstLine, last, sizeText, g);
        writeLine(lineBuffer);
        first = end;
        firstLine = false;
    }
}

// A path longer than 4 characters is shown without its final backslash.
void printDirLine(const char *path, uint64_t bytes) {
    size_t pathLength = std::strlen(path);
    if (utf8Chars(path) > 4) --pathLength;
    printSizedLine(path, pathLength, bytes, reportSink().writeLine);
}
