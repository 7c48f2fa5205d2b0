// Drive letters on a POSIX machine: the FOLMAR_DRIVES mapping of letters to
// directories (C = "/" without it), the logical-drive list and the drive
// type, taken from the mapping or from the file system of the directory.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

#include "platform/platform.h"
#include "platform/posix/posix.h"
#include "platform/utf8.h"

namespace posix {

static std::string trimmed(const std::string &text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// Type code of a TYPE word of the mapping, 0 when it is none.
static uint32_t typeOfWord(const std::string &word) {
    static const struct { const char *word; uint32_t type; } words[] = {
        {"fixed", driveFixed}, {"remote", driveRemote}, {"removable", driveRemovable},
        {"cdrom", driveCdrom}, {"ramdisk", driveRamdisk}};
    for (const auto &w : words)
        if (equalNoCase(word.c_str(), w.word)) return w.type;
    return 0;
}

// One "LETTER=DIRECTORY[,TYPE]" entry into `map`; false when it is unusable
// (no letter, a directory that is not absolute, an unknown type, a letter
// already mapped).
static bool parseDriveEntry(const std::string &entry, DriveMap *map) {
    size_t equals = entry.find('=');
    if (equals == std::string::npos) return false;
    std::string letter = trimmed(entry.substr(0, equals));
    char upper = letter.size() == 1 ? (char)(letter[0] & ~0x20) : 0;
    if (upper < 'A' || upper > 'Z') return false;
    std::string dir = entry.substr(equals + 1);
    uint32_t type = 0;
    size_t comma = dir.rfind(',');
    if (comma != std::string::npos) {
        type = typeOfWord(trimmed(dir.substr(comma + 1)));
        if (type == 0) return false;
        dir.resize(comma);
    }
    dir = trimmed(dir);
    if (dir.empty() || dir[0] != '/') return false;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    int index = upper - 'A';
    if (map->mapped[index]) return false;
    map->mapped[index] = true;
    map->dir[index] = dir;
    map->type[index] = type;
    return true;
}

void parseDriveMapping(const char *text, DriveMap *map, std::vector<std::string> *malformed) {
    std::string mapping(text);
    size_t begin = 0;
    while (begin <= mapping.size()) {
        size_t end = mapping.find(';', begin);
        if (end == std::string::npos) end = mapping.size();
        std::string entry = trimmed(mapping.substr(begin, end - begin));
        if (!entry.empty() && !parseDriveEntry(entry, map)) malformed->push_back(entry);
        begin = end + 1;
    }
}

// `text` as it may be shown on a terminal: each control character (direction
// controls too) and each byte that is no UTF-8 becomes '?'.
static std::string shownText(const std::string &text) {
    std::string shown;
    for (const char *c = text.c_str(); *c != '\0';) {
        uint32_t code;
        int length = decodeUtf8(c, &code);
        if (code == invalidCode || isControlCode(code) || isDirectionControl(code))
            shown += '?';
        else
            shown.append(c, (size_t)length);
        c += length;
    }
    return shown;
}

// The table from the environment, each existing directory made canonical
// so that it compares with the working directory and the mount table.
static DriveMap *buildDriveMap() {
    DriveMap *map = new DriveMap();
    const char *mapping = std::getenv("FOLMAR_DRIVES");
    if (mapping == nullptr || trimmed(mapping).empty()) {
        map->mapped['C' - 'A'] = true;
        map->dir['C' - 'A'] = "/";
        map->type['C' - 'A'] = driveFixed;
        return map;
    }
    std::vector<std::string> malformed;
    parseDriveMapping(mapping, map, &malformed);
    for (const std::string &entry : malformed) {
        std::fputs("Folmar: FOLMAR_DRIVES entry ignored: ", stderr);
        std::fputs(shownText(entry).c_str(), stderr);
        std::fputs("\n", stderr);
    }
    for (int i = 0; i < 26; ++i) {
        char canonical[PATH_MAX];
        if (map->mapped[i] && realpath(map->dir[i].c_str(), canonical) != nullptr)
            map->dir[i] = canonical;
    }
    return map;
}

const DriveMap &driveMap() {
    static const DriveMap *map = buildDriveMap();
    return *map;
}

const char *driveDirectory(char letter) {
    int index = (letter & ~0x20) - 'A';
    if (index < 0 || index >= 26 || !driveMap().mapped[index]) return nullptr;
    return driveMap().dir[index].c_str();
}

char rootPathLetter(const char *rootPath) {
    char letter = (char)(rootPath[0] & ~0x20);
    if (letter < 'A' || letter > 'Z' || rootPath[1] != ':') return 0;
    const char *rest = rootPath + 2;
    if (*rest == '\\' || *rest == '/') ++rest;
    return *rest == '\0' ? letter : 0;
}

char driveLetterOf(const char *rootPath) {
    if (rootPath != nullptr) return rootPathLetter(rootPath);
    std::string current = currentWindowsDirectory();
    return current.empty() ? 0 : current[0];
}

// FUSE file systems that reach another machine, by their mount subtype.
static bool isNetworkFuse(const char *mountType) {
    static const char *const network[] = {
        "sshfs", "rclone", "s3fs", "gcsfuse", "glusterfs", "ceph-fuse", "curlftpfs",
        "smbnetfs", "goofys", "blobfuse", "blobfuse2", "juicefs", "davfs", "davfs2"};
    if (std::strncmp(mountType, "fuse.", 5) != 0) return false;
    for (const char *name : network)
        if (std::strcmp(mountType + 5, name) == 0) return true;
    return false;
}

uint32_t driveTypeOfFileSystem(uint64_t magic, const char *mountType) {
    switch (magic) {
    case 0x6969:       // NFS
    case 0x517B:       // SMB
    case 0xFF534D42:   // CIFS
    case 0xFE534D42:   // SMB2
    case 0x01021997:   // 9p
    case 0x00C36400:   // Ceph
    case 0x0BD00BD0:   // Lustre
    case 0x5346414F:   // AFS
    case 0x6B414653:   // kAFS
    case 0x73757245:   // Coda
    case 0x564C:       // NCP
        return driveRemote;
    case 0x9660:       // ISO 9660
    case 0x15013346:   // UDF
        return driveCdrom;
    case 0x65735546:   // FUSE
        return isNetworkFuse(mountType) ? driveRemote : driveFixed;
    default:
        return driveFixed;
    }
}

// Type of a mapped directory that exists, from its file system.
static uint32_t typeFromFileSystem(const char *dir) {
#ifdef __linux__
    struct statfs fs;
    if (statfs(dir, &fs) != 0) return driveFixed;
    const Mount *mount = mountOf(dir);
    return driveTypeOfFileSystem((uint64_t)(unsigned long)fs.f_type,
                                 mount != nullptr ? mount->type.c_str() : "");
#else
    (void)dir;
    return driveFixed;
#endif
}

}  // namespace posix

using namespace posix;

uint32_t getLogicalDriveStrings(uint32_t length, char *buffer) {
    const DriveMap &map = driveMap();
    uint32_t needed = 1;
    for (int i = 0; i < 26; ++i)
        if (map.mapped[i]) needed += 4;
    if (needed > length) return needed;
    char *out = buffer;
    for (int i = 0; i < 26; ++i) {
        if (!map.mapped[i]) continue;
        *out++ = (char)('A' + i);
        *out++ = ':';
        *out++ = '\\';
        *out++ = '\0';
    }
    *out = '\0';
    return needed - 1;
}

uint32_t getDriveType(const char *rootPath) {
    char letter = driveLetterOf(rootPath);
    const char *dir = letter != 0 ? driveDirectory(letter) : nullptr;
    struct stat st;
    if (dir == nullptr || stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) return driveNoRootDir;
    uint32_t type = driveMap().type[letter - 'A'];
    return type != 0 ? type : typeFromFileSystem(dir);
}
