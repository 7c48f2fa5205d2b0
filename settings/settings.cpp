// The settings file reader. Owns rs.settingsFile, rs.settingsRead,
// rs.settingsLine and rs.settingsLineNumber, and writes the chosen settings
// into RunState.
// The file is read in pieces of at most 80 characters; every piece is a line
// of its own. The keys and what each accepts are one table, settingKeys.
#include "settings/settings.h"

#include <cstring>

#include "common/console.h"
#include "common/output.h"
#include "common/runstate.h"
#include "common/version.h"

namespace {

// What a key's value must look like.
enum KeyKind {
    keyLetter,     // first character among `accepted`, any case
    keyNumber,     // decimal integer from `low` to `high`
    keyDriveList,  // drive letters, the first from 'C' to 'Z'
    keyPath        // any text without blanks
};

struct SettingKey {
    const char *name;          // compared without regard to case, over its length
    KeyKind kind;
    const char *accepted;      // keyLetter: accepted first characters (upper case)
    const char *stored;        // keyLetter: the letter stored for each of them
    int low, high;             // keyNumber: accepted range
    char RunState::*letter;    // keyLetter: the field set
    int RunState::*number;     // keyNumber: the field set
    int RunState::*alsoNumber; // keyNumber: a second field set alike, or null
};

// In the order in which a key line is tested against them.
const SettingKey settingKeys[] = {
    {"showDirs", keyLetter, "SLNY", "SLNL", 0, 0, &RunState::showDirs, nullptr, nullptr},
    {"showFiles", keyLetter, "SLN", "SLN", 0, 0, &RunState::showFiles, nullptr, nullptr},
    {"lineWidthPrint", keyNumber, nullptr, nullptr, narrowestLineWidth, widestLineWidth, nullptr,
     &RunState::lineWidthPrint, &RunState::lineWidth},
    {"pageSize", keyNumber, nullptr, nullptr, 55, 60, nullptr, &RunState::pageSize, nullptr},
    {"processLocalDrives", keyLetter, "YN", "YN", 0, 0, &RunState::processLocalDrives,
     nullptr, nullptr},
    {"processRemoteDrives", keyLetter, "YN", "YN", 0, 0, &RunState::processRemoteDrives,
     nullptr, nullptr},
    {"driveList", keyDriveList, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr},
    {"outputFile", keyPath, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr},
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

// A carriage return just read belongs to the line break when a line feed
// follows it (consumed with it) or when it ends the file.
bool crEndsLine() {
    int next = std::getc(rs.settingsFile);
    if (next == '\n' || next == EOF) return true;
    std::ungetc(next, rs.settingsFile);
    return false;
}

// Reads the next piece of rs.settingsFile into rs.settingsLine and counts it
// in rs.settingsLineNumber. A piece is what fgets gives in text mode with 81
// bytes: up to and including a line break ("\n" or "\r\n", one character),
// at most 80 characters. The line break is not stored. The bytes are read one
// by one so that the length stays known when the text holds NUL bytes (the
// piece's text then ends at the first of them). False at the end of the file
// or when no file is open.
bool readPiece() {
    if (rs.settingsFile == nullptr) return false;
    size_t count = 0;
    bool lineBreak = false;
    while (!lineBreak && count < sizeof rs.settingsLine - 1) {
        int c = std::getc(rs.settingsFile);
        if (c == EOF) break;
        lineBreak = c == '\n' || (c == '\r' && crEndsLine());
        rs.settingsLine[count++] = lineBreak ? 0 : (char)c;
    }
    if (count == 0) return false;
    rs.settingsLine[count] = 0;
    ++rs.settingsLineNumber;
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
// "X:\<NUL>" per character, at most 27, then the ending NUL.
void setDriveList(const char *value) {
    std::memset(rs.driveList, 0, sizeof rs.driveList);
    char *entry = rs.driveList;
    for (int i = 0; i < driveListEntries && value[i] != 0; ++i, entry += 4) {
        entry[0] = value[i];
        entry[1] = ':';
        entry[2] = '\\';
    }
}

// Applies a non-empty `value` to the field of `key`; a value the key does not
// accept changes nothing.
void applySetting(const SettingKey &key, char *value) {
    if (key.kind == keyLetter) {
        const char *found = std::strchr(key.accepted, upperAscii(value[0]));
        if (value[0] != 0 && found != nullptr) rs.*key.letter = key.stored[found - key.accepted];
    } else if (key.kind == keyNumber) {
        long number = readDecimal(value);
        if (number < key.low || number > key.high) return;
        rs.*key.number = (int)number;
        if (key.alsoNumber != nullptr) rs.*key.alsoNumber = (int)number;
    } else if (key.kind == keyDriveList) {
        for (char *c = value; *c; ++c) *c = upperAscii(*c);
        if (value[0] < 'C' || value[0] > 'Z') return;
        rs.runMode = '~';
        setDriveList(value);
    } else {
        std::strncpy(rs.outputFile, value, sizeof rs.outputFile - 1);
        rs.outputFile[sizeof rs.outputFile - 1] = 0;
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
    rs.showDirs = 'L';
    rs.lineWidth = widestLineWidth;
    rs.lineWidthPrint = widestLineWidth;
    rs.pageSize = 60;
    rs.processLocalDrives = 'Y';
    rs.processRemoteDrives = 'N';
    waitForKey();
}

}  // namespace

// Reads "Folmar.ini", else the shared file, piece by piece; each piece that
// begins with "[Folmar " in any case hands the following lines to
// readSettingsSection. Without either file: the defaults, after a message and
// a wait. Leaves rs.settingsFile closed and null, and rs.settingsRead naming
// the file read, or null.
void readSettings() {
    rs.settingsRead = "Folmar.ini";
    rs.settingsFile = openFile(rs.settingsRead, "r");
    if (rs.settingsFile == nullptr) rs.settingsRead = FOLMAR_SETTINGS_SHARED_PATH;
    if (rs.settingsFile == nullptr) rs.settingsFile = openFile(rs.settingsRead, "r");
    if (rs.settingsFile == nullptr) {
        rs.settingsRead = nullptr;
        applyDefaults();
        return;
    }
    while (readPiece())
        if (startsWithNoCase(rs.settingsLine, "[Folmar ")) readSettingsSection();
    std::fclose(rs.settingsFile);
    rs.settingsFile = nullptr;
}

// Reads pieces of the open rs.settingsFile and applies each key line, until a
// piece that begins with '[' after its indentation (consumed, not examined
// further) or the end of the file. Comments and unknown lines are skipped.
void readSettingsSection() {
    while (readPiece()) {
        char *line = rs.settingsLine;
        trimLeft(line);
        if (line[0] == 0 || line[0] == ';' || line[0] == '\'' || line[0] == '\\') continue;
        if (line[0] == '[') return;
        const SettingKey *key = matchKey(line);
        if (key == nullptr) continue;
        char *value = settingValue(line);
        if (value != nullptr) applySetting(*key, value);
    }
}

// The value after the first '=' of `line`, without its leading blanks and
// tabs, ended in place at the first blank or line break. Null when the value
// is empty, or when there is no '=' (after the "Invalid User Parameter
// Record" message naming rs.settingsLineNumber, and a wait).
char *settingValue(char *line) {
    char *value = std::strchr(line, '=');
    if (value == nullptr) {
        conText("Folmar==>  Invalid User Parameter Record \n");
        conFormat("Folmar==>  At record Number %d\n", rs.settingsLineNumber);
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

// Removes the leading blanks and tabs of `text`, moving the rest (with its
// terminator) to the start.
void trimLeft(char *text) {
    size_t skip = std::strspn(text, " \t");
    if (skip > 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}
