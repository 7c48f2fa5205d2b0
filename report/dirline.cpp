// The directory line: a path in the left-hand column, a dot leader and the
// byte total of the directory's own files in the 14-character size column at
// the right edge. Owns the wrapping of a long path over continuation lines
// (indented by three blanks, the size on the last of them) and the one line
// buffer in which every line is assembled.
#include <cstring>

#include "common/output.h"
#include "common/runstate.h"
#include "report/internal.h"
#include "report/report.h"
#include "scan/scan.h"

static const int sizeWidth = 14;   // the size column
static const int indentWidth = 3;  // blanks before a continuation piece
static char lineBuffer[128];       // one line: at most 125 characters, "\n", terminator
static const char dotLeader[] =
    "................................................................"
    "..........................................................";  // 122 dots

// Line geometry from rs.lineWidth. A width outside 24..125 is held to that
// range, so that no line outgrows the line buffer and every piece has room.
struct LineGeometry {
    int lineWidth;
    int pathColumn;  // first column of the size text
    int wrapFloor;   // breaks are searched above this position
};

static LineGeometry lineGeometry() {
    LineGeometry g;
    g.lineWidth = rs.lineWidth < 24 ? 24 : (rs.lineWidth > 125 ? 125 : rs.lineWidth);
    g.pathColumn = g.lineWidth - sizeWidth;
    g.wrapFloor = g.pathColumn / 2;
    return g;
}

// Rightmost break in rest[low..high]: backslash first, then blank, then
// underscore, then hyphen, a kind tried only when no earlier kind is in the
// range. Returns the position, or -1 when there is none.
static int findBreak(const char *rest, int high, int low) {
    static const char kinds[] = "\\ _-";
    for (const char *kind = kinds; *kind != 0; ++kind)
        for (int p = high; p >= low; --p)
            if (rest[p] == *kind) return p;
    return -1;
}

// Number of characters of `rest` (`length` of them, at least 1) that go on
// the next line; *last says whether that line ends the directory and carries
// the size. A piece with the size must stay left of the size column; when
// the rest would not (a continuation line), or a break would leave nothing
// for the size line, the path is broken once more, so that every break
// leaves at least one character and the size always has a last line.
static int nextPiece(const char *rest, int length, bool firstLine, const LineGeometry &g,
                     bool *last) {
    int room = firstLine ? g.pathColumn : g.pathColumn - indentWidth;
    *last = length <= room;
    if (*last) return length;
    bool fitsColumn = length <= g.pathColumn;  // only a continuation line gets here so
    int high = fitsColumn ? room - 1 : g.pathColumn;
    if (high > length - 2) high = length - 2;
    int p = findBreak(rest, high, g.wrapFloor + 1);
    if (p >= 0) return p + 1;
    return fitsColumn ? room : g.pathColumn;  // hard break
}

// Assembles one line in lineBuffer: the indent of a continuation line, the
// piece (control characters shown as '?'), and on the last line the dot
// leader and `sizeText` so that the line is exactly lineWidth characters.
static void buildLine(const char *piece, int length, bool firstLine, bool last,
                      const char *sizeText, const LineGeometry &g) {
    int at = 0;
    if (!firstLine)
        for (; at < indentWidth; ++at) lineBuffer[at] = ' ';
    for (int i = 0; i < length; ++i) lineBuffer[at++] = printableChar(piece[i]);
    if (last) {
        int dots = g.pathColumn - at;
        std::memcpy(lineBuffer + at, dotLeader, (size_t)dots);
        std::memcpy(lineBuffer + g.pathColumn, sizeText, sizeWidth);
        at = g.lineWidth;
    }
    lineBuffer[at++] = '\n';
    lineBuffer[at] = 0;
}

// One finished line to its sink: the report file in an all-drives run,
// otherwise the console followed by the /P count.
static void emitLine() {
    if (rs.runMode == '~') {
        writeReportLine(lineBuffer);
    } else {
        conText(lineBuffer);
        screenPause();
    }
}

// Writes the line(s) of the directory `path` (ending in '\') with the size
// held in rs.i64DirAlloc, then hands the path to addDirToTotal. A path longer
// than 4 characters has its final backslash replaced by a blank, in place.
void printDirLine(char *path) {
    size_t pathLength = std::strlen(path);
    if (pathLength > 4) path[pathLength - 1] = ' ';
    char sizeText[sizeWidth + 1];
    char *field = groupedField(rs.i64DirAlloc, sizeWidth);
    dotFillNumber(field);
    std::memcpy(sizeText, field, sizeof sizeText);

    LineGeometry g = lineGeometry();
    const char *rest = path;
    int length = (int)pathLength;
    while (length > 0 && rest[length - 1] == ' ') --length;
    bool firstLine = true;
    while (length > 0) {
        bool last = false;
        int piece = nextPiece(rest, length, firstLine, g, &last);
        buildLine(rest, piece, firstLine, last, sizeText, g);
        emitLine();
        rest += piece;
        length -= piece;
        firstLine = false;
    }
    addDirToTotal(path);
}
