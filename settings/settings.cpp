// The settings file reader. Writes the chosen settings into RunState and
// names the file it read in rs.settingsRead; the file's text, its pieces and
// their count are its own.
// The file (at most 1 MiB) is read whole and decoded to UTF-8 by its
// byte-order mark, or as UTF-8 or the system's ANSI code page; it is then
// cut in pieces of at most 80 characters, every piece a line of its own.
// The keys and what each accepts are one table, settingKeys.
#include "settings/settings.h"

#include <cstring>

#include "common/console.h"
#include "common/exclude.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/text.h"
#include "common/version.h"

namespace {

// What a key's value must look like.
enum KeyKind {
    keyLetter,     // first character among `accepted`, any case
    keyListing,    // as keyLetter, for a listing style
    keyHardLinks,  // as keyLetter, for how hard links count (rs.hardLinks)
    keyNumber,     // decimal integer from `low` to `high`
    keyDriveList,  // drive letters, the first from 'C' to 'Z'
    keyPath,       // any text without blanks, into `path`
    keyPatterns    // exclusion patterns separated by ';', added to those before
};

struct SettingKey {
    const char *name;          // compared without regard to case, over its length
    KeyKind kind;
    const char *accepted;      // keyLetter, keyListing: accepted first characters (upper case)
    const char *stored;        // keyLetter, keyListing: the letter stored for each of them
    int low, high;             // keyNumber: accepted range
    char RunState::*letter;    // keyLetter: the field set
    Listing RunState::*listing; // keyListing: the field set
    int RunState::*number;     // keyNumber: the field set
    char (RunState::*path)[257]; // keyPath: the field set
};

// In the order in which a key line is tested against them.
const SettingKey settingKeys[] = {
    {"showDirs", keyListing, "SLNY", "SLNL", 0, 0, nullptr, &RunState::showDirs, nullptr, nullptr},
    {"showFiles", keyListing, "SLN", "SLN", 0, 0, nullptr, &RunState::showFiles, nullptr, nullptr},
    {"lineWidthPrint", keyNumber, nullptr, nullptr, narrowestLineWidth, widestLineWidth, nullptr,
     nullptr, &RunState::lineWidthPrint, nullptr},
    {"pageSize", keyNumber, nullptr, nullptr, 55, 60, nullptr, nullptr, &RunState::pageSize, nullptr},
    {"processLocalDrives", keyLetter, "YN", "YN", 0, 0, &RunState::processLocalDrives,
     nullptr, nullptr, nullptr},
    {"processRemoteDrives", keyLetter, "YN", "YN", 0, 0, &RunState::processRemoteDrives,
     nullptr, nullptr, nullptr},
    {"driveList", keyDriveList, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr},
    {"outputFile", keyPath, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, &RunState::outputFile},
    {"exportFile", keyPath, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, &RunState::exportFile},
    {"exclude", keyPatterns, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr},
    {"hardLinks", keyHardLinks, "EO", "EO", 0, 0, nullptr, nullptr, nullptr, nullptr},
    {"largestFiles", keyNumber, nullptr, nullptr, 0, mostLargestFiles, nullptr, nullptr,
     &RunState::largestFiles, nullptr},
};

constexpr int driveListEntries = 27;  // 4 bytes each, then the ending NUL
static_assert(sizeof RunState::driveList == 4 * driveListEntries + 1, "driveList size");

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

// True when `text` begins with `prefix`, compared without regard to case.
bool startsWithNoCase(const char *text, const char *prefix) {
    for (; *prefix; ++text, ++prefix)
        if (*text == 0 || upperAscii(*text) != upperAscii(*prefix)) return false;
    return true;
}

// The largest settings file that is read; a larger one is as if it were
// not there. A settings file is a small text: the bound keeps a huge or
// sparse file from holding the run up.
const size_t settingsFileLimit = 1 << 20;
const int pieceChars = 80;  // characters of a piece, its line break counted

// The file as read (one byte more than the bound, to see a larger one), and
// its text in UTF-8: a UTF-16 unit or an ANSI byte takes at most 3 bytes.
// The text ends with NUL bytes, so that a character is never decoded past it.
char fileBytes[settingsFileLimit + 1];
char fileText[3 * settingsFileLimit + 4];
size_t textLength = 0;  // bytes of fileText
size_t textAt = 0;      // the next piece begins here
char settingsLine[4 * pieceChars + 1];  // the piece read last, edited in place (UTF-8)
int settingsLineNumber = 0;             // pieces read so far; the first is record 1

// The UTF-16 unit at `b`.
uint32_t unitAt(const unsigned char *b, bool bigEndian) {
    return bigEndian ? (uint32_t)(b[0] << 8 | b[1]) : (uint32_t)(b[1] << 8 | b[0]);
}

// Decodes the UTF-16 text `bytes` (big-endian or little-endian) into
// fileText; a surrogate without its other half, or an odd last byte, gives
// U+FFFD. Returns the bytes written.
size_t decodeUtf16(const unsigned char *bytes, size_t length, bool bigEndian) {
    size_t at = 0;
    for (size_t i = 0; i < length; i += 2) {
        uint32_t code = i + 1 < length ? unitAt(bytes + i, bigEndian) : 0xFFFD;
        uint32_t next = i + 3 < length ? unitAt(bytes + i + 2, bigEndian) : 0;
        if (code >= 0xD800 && code <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        at += encodeUtf8(code, fileText + at);
    }
    return at;
}

// True when the `length` bytes of `text` are UTF-8 throughout.
bool isUtf8(const char *text, size_t length) {
    uint32_t code;
    for (size_t at = 0; at < length;) {
        at += (size_t)decodeUtf8(text + at, &code);
        if (code == invalidCode) return false;
    }
    return true;
}

// UTF-16 saved without a byte-order mark: every unit of the first line (to
// its line feed, or of the whole text) has one zero byte, always the same
// one, and one that is not. Returns 0 for no such text, 1 for little-endian
// (the zero second), 2 for big-endian. No 8-bit text has a NUL in every
// second byte, and no settings line of UTF-16 holds a character beyond
// U+00FF in every unit.
int utf16WithoutMark(const unsigned char *b, size_t length) {
    if (length < 2) return 0;
    int order = b[1] == 0 ? 1 : b[0] == 0 ? 2 : 0;
    for (size_t i = 0; order != 0 && i + 1 < length; i += 2) {
        unsigned char zero = order == 1 ? b[i + 1] : b[i], other = order == 1 ? b[i] : b[i + 1];
        if (zero != 0 || other == 0) return 0;
        if (other == '\n') break;
    }
    return order;
}

// Decodes the `length` bytes of fileBytes into fileText and sets textLength:
// after a UTF-16 mark (FF FE or FE FF), or as UTF-16 without one, from
// UTF-16; after a UTF-8 mark (EF BB BF) as UTF-8; without a mark as UTF-8
// when it is valid UTF-8, else from the ANSI code page, where the system has
// one, else byte for byte. A text in 8 bits ends at a Ctrl-Z, as the C
// runtime's text mode reads it.
void decodeSettingsText(size_t length) {
    const unsigned char *b = (const unsigned char *)fileBytes;
    fileBytes[length] = '\0';  // no character is decoded past the end
    bool utf16 = length >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF));
    bool markUtf8 = length >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF;
    int unmarked = utf16 ? 0 : utf16WithoutMark(b, length);
    textLength = 0;
    if (utf16) {
        textLength = decodeUtf16(b + 2, length - 2, b[0] == 0xFE);
    } else if (unmarked != 0) {
        textLength = decodeUtf16(b, length, unmarked == 2);
    } else {
        const char *text = fileBytes + (markUtf8 ? 3 : 0);
        size_t size = length - (markUtf8 ? 3 : 0);
        const char *ctrlZ = (const char *)std::memchr(text, 0x1A, size);
        if (ctrlZ != nullptr) size = (size_t)(ctrlZ - text);
        long converted = -1;
        if (!markUtf8 && !isUtf8(text, size))
            converted = ansiTextToUtf8(text, size, fileText, sizeof fileText - 4);
        if (converted < 0) std::memcpy(fileText, text, size);
        textLength = converted < 0 ? size : (size_t)converted;
    }
    std::memset(fileText + textLength, 0, 4);
    textAt = 0;
}

// Reads `path` whole into fileText and closes it. False when it cannot be
// opened, or is another user's (after a message), or when it is larger than
// the bound (after a message and a wait): the next place is then looked at.
bool loadSettingsFile(const char *path, bool shared) {
    bool foreign = false;
    FILE *file = shared ? openSharedSettingsFile(path, "rb", &foreign) : openFile(path, "rb", &foreign);
    if (foreign) conFormat("Folmar==>  %s belongs to another user and is not read \n", path);
    if (file == nullptr) return false;
    size_t length = std::fread(fileBytes, 1, sizeof fileBytes, file);
    std::fclose(file);
    if (length > settingsFileLimit) {
        conFormat("Folmar==>  %s is larger than 1 MiB and is not read \n", path);
        waitForKey();
        return false;
    }
    decodeSettingsText(length);
    return true;
}

// Reads the next piece of the settings text into settingsLine and counts
// it in settingsLineNumber. A piece ends after a line break ("\n", or
// "\r" before "\n" or at the end of the text: one character together) or
// after 80 characters, whichever comes first; the line break is not stored.
// A byte that is no UTF-8 is a character of its own. NUL bytes are kept (the
// piece's text ends at the first of them). False at the end of the text.
bool readPiece() {
    if (textAt >= textLength) return false;
    size_t count = 0;
    bool lineBreak = false;
    for (int chars = 0; !lineBreak && chars < pieceChars && textAt < textLength; ++chars) {
        const char *c = fileText + textAt;
        lineBreak = c[0] == '\n' || (c[0] == '\r' && (c[1] == '\n' || textAt + 1 == textLength));
        uint32_t code;
        size_t bytes = lineBreak ? (c[0] == '\r' && c[1] == '\n' ? 2 : 1) : (size_t)decodeUtf8(c, &code);
        if (!lineBreak) std::memcpy(settingsLine + count, c, bytes);
        count += lineBreak ? 0 : bytes;
        textAt += bytes;
    }
    settingsLine[count] = 0;
    ++settingsLineNumber;
    return true;
}

// Decimal integer as the settings read it: an optional sign, then digits up
// to the first other character; no digits read as 0. Saturates far outside
// every accepted range instead of overflowing.
long readDecimal(const char *text) {
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value < 1000000) value = value * 10 + (*text - '0');
    return negative ? -value : value;
}

// Rebuilds rs.driveList from `value` (already upper case): one entry
// "X:\<NUL>" per character, at most 27, then the ending NUL. A character
// beyond ASCII, which names no drive, gives the entry "?:\".
void setDriveList(const char *value) {
    std::memset(rs.driveList, 0, sizeof rs.driveList);
    char *entry = rs.driveList;
    for (int i = 0; i < driveListEntries && *value != 0; ++i, entry += 4) {
        uint32_t code;
        int bytes = decodeUtf8(value, &code);
        entry[0] = bytes == 1 && code != invalidCode ? *value : '?';
        entry[1] = ':';
        entry[2] = '\\';
        value += bytes;
    }
}

// Bytes of the longest run of whole characters at the start of `text` that
// fits in `room` bytes: a value too long for its field is cut between two
// characters, never inside one.
size_t fittingBytes(const char *text, size_t room) {
    size_t at = 0;
    uint32_t code;
    while (text[at] != 0) {
        size_t bytes = (size_t)decodeUtf8(text + at, &code);
        if (at + bytes > room) break;
        at += bytes;
    }
    return at;
}

// Applies a non-empty `value` to the field of `key`; a value the key does not
// accept changes nothing.
void applySetting(const SettingKey &key, char *value) {
    if (key.kind == keyLetter || key.kind == keyListing || key.kind == keyHardLinks) {
        const char *found = std::strchr(key.accepted, upperAscii(value[0]));
        if (value[0] == 0 || found == nullptr) return;
        char letter = key.stored[found - key.accepted];
        if (key.kind == keyLetter)
            rs.*key.letter = letter;
        else if (key.kind == keyListing)
            rs.*key.listing = (Listing)letter;
        else
            rs.hardLinks = (HardLinks)letter;
    } else if (key.kind == keyNumber) {
        long number = readDecimal(value);
        if (number < key.low || number > key.high) return;
        rs.*key.number = (int)number;
    } else if (key.kind == keyDriveList) {
        for (char *c = value; *c; ++c) *c = upperAscii(*c);
        if (value[0] < 'C' || value[0] > 'Z') return;
        rs.runMode = RunMode::allDrives;
        setDriveList(value);
    } else if (key.kind == keyPatterns) {
        addExcludePatterns(value);
    } else {
        char *field = rs.*key.path;
        size_t length = fittingBytes(value, sizeof(rs.*key.path) - 1);
        std::memcpy(field, value, length);
        field[length] = 0;
    }
}

// The first key whose name `line` begins with, or null.
const SettingKey *matchKey(const char *line) {
    for (const SettingKey &key : settingKeys)
        if (startsWithNoCase(line, key.name)) return &key;
    return nullptr;
}

// A carriage return at `text` that belongs to the line break: a line feed or
// the end of the text follows it.
bool isCrLineBreak(const char *text) { return text[0] == '\r' && (text[1] == '\n' || text[1] == 0); }

// Built-in settings when no settings file could be opened.
void applyDefaults() {
    conText("\n");
    conText("Folmar==>  " FOLMAR_SETTINGS_SHARED_PATH " File Not Found \n");
    conText("Folmar==>  Default Parameters will be used \n");
    const char *places = sharedSettingsPlaces();
    if (places != nullptr) {  // where the host keeps settings, not C:\Orvan
        conText("Folmar==>  Looked for Folmar.ini here and in ");
        conText(places);
        conText(" \n");
    }
    rs.showDirs = Listing::longNames;
    rs.lineWidthPrint = widestLineWidth;
    rs.pageSize = 60;
    rs.processLocalDrives = 'Y';
    rs.processRemoteDrives = 'N';
    waitForKey();
}

// Removes the leading blanks and tabs of `text`, moving the rest (with its
// terminator) to the start.
void trimLeft(char *text) {
    size_t skip = std::strspn(text, " \t");
    if (skip > 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

// The value after the first '=' of `line`, without its leading blanks and
// tabs, ended in place at the first blank or line break. Null when the value
// is empty, or when there is no '=' (after the "Invalid User Parameter
// Record" message naming settingsLineNumber, and a wait).
char *settingValue(char *line) {
    char *value = std::strchr(line, '=');
    if (value == nullptr) {
        conText("Folmar==>  Invalid User Parameter Record \n");
        conFormat("Folmar==>  At record Number %d\n", settingsLineNumber);
        waitForKey();
        return nullptr;
    }
    ++value;
    trimLeft(value);
    char *end = value;
    while (*end != 0 && *end != ' ' && *end != '\n' && !isCrLineBreak(end)) ++end;
    *end = 0;
    return value[0] != 0 ? value : nullptr;
}

// Reads the pieces of the settings text and applies each key line, until a
// piece that begins with '[' after its indentation (consumed, not examined
// further) or the end of the file. Comments and unknown lines are skipped.
void readSettingsSection() {
    while (readPiece()) {
        char *line = settingsLine;
        trimLeft(line);
        if (line[0] == 0 || line[0] == ';' || line[0] == '\'' || line[0] == '\\') continue;
        if (line[0] == '[') return;
        const SettingKey *key = matchKey(line);
        if (key == nullptr) continue;
        char *value = settingValue(line);
        if (value != nullptr) applySetting(*key, value);
    }
}

}  // namespace

// Reads "Folmar.ini", else the shared file, piece by piece; each piece that
// begins with "[Folmar " in any case hands the following lines to
// readSettingsSection. Without either file (or with none of at most 1 MiB):
// the defaults, after a message and a wait. Leaves rs.settingsRead naming
// the file read, or null.
void readSettings() {
    settingsLineNumber = 0;
    rs.settingsRead = "Folmar.ini";
    if (!loadSettingsFile(rs.settingsRead, false)) {
        rs.settingsRead = FOLMAR_SETTINGS_SHARED_PATH;
        if (!loadSettingsFile(rs.settingsRead, true)) rs.settingsRead = nullptr;
    }
    if (rs.settingsRead == nullptr) {
        applyDefaults();
        return;
    }
    while (readPiece())
        if (startsWithNoCase(settingsLine, "[Folmar ")) readSettingsSection();
}
