// The mount table, read once from /proc/self/mountinfo: which directories are
// mount points of kernel pseudo file systems (they cannot be opened by the
// walk) or of others (the walk checks that they do not lead back up its
// branch), and which file system holds a path (for the drive type); and
// which open files lie on a kernel pseudo file system.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdint>
#ifdef __linux__
#include <sys/vfs.h>
#endif
#include <unordered_map>

#include "platform/posix/posix.h"

namespace posix {

// Decodes the octal escapes ("\040" for a blank) of a mountinfo field.
static std::string decodeField(const char *begin, const char *end) {
    std::string text;
    for (const char *c = begin; c < end; ++c) {
        if (*c == '\\' && end - c >= 4 && c[1] >= '0' && c[1] <= '3' && c[2] >= '0' && c[2] <= '7' &&
            c[3] >= '0' && c[3] <= '7') {
            text += (char)((c[1] - '0') * 64 + (c[2] - '0') * 8 + (c[3] - '0'));
            c += 3;
        } else {
            text += *c;
        }
    }
    return text;
}

// The fields of a line, split at blanks.
static std::vector<std::pair<const char *, const char *>> fieldsOf(const char *line) {
    std::vector<std::pair<const char *, const char *>> fields;
    const char *c = line;
    while (*c != '\0' && *c != '\n') {
        while (*c == ' ') ++c;
        const char *begin = c;
        while (*c != '\0' && *c != ' ' && *c != '\n') ++c;
        if (c > begin) fields.emplace_back(begin, c);
    }
    return fields;
}

bool parseMountInfoLine(const char *line, Mount *mount) {
    auto fields = fieldsOf(line);
    if (fields.size() < 7) return false;
    for (size_t i = 6; i + 1 < fields.size(); ++i) {
        if (fields[i].second - fields[i].first == 1 && *fields[i].first == '-') {
            mount->path = decodeField(fields[4].first, fields[4].second);
            mount->type = decodeField(fields[i + 1].first, fields[i + 1].second);
            return !mount->path.empty() && mount->path[0] == '/';
        }
    }
    return false;
}

bool isPseudoFileSystem(const char *type) {
    static const char *const pseudo[] = {
        "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "debugfs",
        "tracefs", "pstore", "bpf", "configfs", "efivarfs", "fusectl", "mqueue", "hugetlbfs",
        "binfmt_misc", "autofs", "nsfs", "rpc_pipefs"};
    for (const char *name : pseudo)
        if (std::strcmp(type, name) == 0) return true;
    return false;
}

struct MountTable {
    std::vector<Mount> mounts;                    // in mount order; a later one covers an earlier
    std::unordered_map<std::string, bool> points; // mount point: its top mount is pseudo
    std::vector<std::string> lastNames;           // the mount points' last components, once each
};

// The last component of a path ("" for "/").
static std::string lastName(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

static MountTable *readMountTable() {
    MountTable *table = new MountTable();
    FILE *file = std::fopen("/proc/self/mountinfo", "re");
    if (file == nullptr) return table;
    char line[8192];
    Mount mount;
    while (std::fgets(line, sizeof line, file) != nullptr)
        if (parseMountInfoLine(line, &mount)) table->mounts.push_back(mount);
    std::fclose(file);
    for (const Mount &m : table->mounts) {
        table->points[m.path] = isPseudoFileSystem(m.type.c_str());
        std::string name = lastName(m.path);
        if (std::find(table->lastNames.begin(), table->lastNames.end(), name) == table->lastNames.end())
            table->lastNames.push_back(name);
    }
    return table;
}

static const MountTable &mountTable() {
    static const MountTable *table = readMountTable();
    return *table;
}

// `dir` is `path` or a directory above it.
static bool holds(const std::string &dir, const std::string &path) {
    if (dir == "/") return !path.empty() && path[0] == '/';
    return path.compare(0, dir.size(), dir) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
}

const Mount *mountOf(const std::string &path) {
    const Mount *best = nullptr;
    for (const Mount &m : mountTable().mounts)
        if (holds(m.path, path) && (best == nullptr || m.path.size() >= best->path.size())) best = &m;
    return best;
}

bool isPseudoMountPoint(const std::string &path) { return mountPointKind(path) == pseudoMountPoint; }

bool namedLikeMountPoint(const char *name) {
    for (const std::string &last : mountTable().lastNames)
        if (last == name) return true;
    return false;
}

MountKind mountPointKind(const std::string &path) {
    const MountTable &table = mountTable();
    auto found = table.points.find(path);
    if (found == table.points.end()) return notMountPoint;
    return found->second ? pseudoMountPoint : otherMountPoint;
}

bool isOnPseudoFileSystem(const std::string &path) {
    const Mount *mount = mountOf(path);
    return mount != nullptr && isPseudoFileSystem(mount->type.c_str());
}

#ifdef __linux__
bool onPseudoFileSystem(int fd, const std::string &native) {
    static const uint32_t pseudo[] = {
        0x9fa0,      /* proc */     0x62656572, /* sysfs */    0x1cd1,     /* devpts */
        0x27e0eb,    /* cgroup */   0x63677270, /* cgroup2 */  0x73636673, /* securityfs */
        0x64626720,  /* debugfs */  0x74726163, /* tracefs */  0x6165676C, /* pstore */
        0xcafe4a11,  /* bpf */      0x62656570, /* configfs */ 0xde5e81e4, /* efivarfs */
        0x65735543,  /* fusectl */  0x19800202, /* mqueue */   0x958458f6, /* hugetlbfs */
        0x42494e4d,  /* binfmt_misc */ 0x0187,  /* autofs */   0x6e736673, /* nsfs */
        0x67596969,  /* rpc_pipefs */ 0xf97cff8c, /* selinuxfs */ 0x43415d53, /* smackfs */};
    struct statfs fs;
    if (fstatfs(fd, &fs) == 0)
        for (uint32_t magic : pseudo)
            if ((uint32_t)fs.f_type == magic) return true;
    return isOnPseudoFileSystem(native);
}
#else
bool onPseudoFileSystem(int, const std::string &native) { return isOnPseudoFileSystem(native); }
#endif

}  // namespace posix
