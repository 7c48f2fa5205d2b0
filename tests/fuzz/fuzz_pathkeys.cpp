// libFuzzer target of the path keys: any bytes as a target path (up to the
// first NUL) and a working directory (the rest, made a Windows path on a
// drive, or none when empty). Besides the sanitizers it checks what holds
// for every key: one drive letter, the path's own or the working
// directory's, and no component that could climb above it.
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/posix/posix.h"

// The components of `text` from `offset`: none empty, none "." or "..", no
// '/' and no control character.
static void checkComponents(const std::string &text, size_t offset) {
    while (offset < text.size()) {
        size_t end = text.find('\\', offset);
        if (end == std::string::npos) end = text.size();
        const std::string name = text.substr(offset, end - offset);
        assert(!name.empty() && name != "." && name != "..");
        for (unsigned char c : name) assert(c >= 0x20 && c != 0x7F && c != '/');
        offset = end + 1;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    const std::string path = input.substr(0, input.find('\0'));
    std::string currentDir;
    if (path.size() < input.size() && path.size() + 1 < input.size()) {
        currentDir = std::string(1, (char)('A' + (unsigned char)input[path.size() + 1] % 26)) + ":";
        for (char c : input.substr(path.size() + 2))
            if ((unsigned char)c >= 0x20 && c != 0x7F && c != '/' && c != '.') currentDir += c;
        if (currentDir.size() > 2 && currentDir[2] != '\\') currentDir.insert(2, "\\");
        while (currentDir.size() > 2 && currentDir.back() == '\\') currentDir.pop_back();
        if (currentDir.find("\\\\") != std::string::npos) currentDir = currentDir.substr(0, 2);
    }
    posix::PathKey key;
    if (!posix::makePathKey(path.c_str(), currentDir.c_str(), &key)) return 0;
    if (!key.onDrive) {
        assert(currentDir.empty() && (key.text.empty() || key.text[0] != '\\'));
        checkComponents(key.text, 0);
        return 0;
    }
    // On a drive: "X:" and "\name" per component, X the path's letter, else the working directory's.
    assert(key.text.size() >= 2 && key.text[0] >= 'A' && key.text[0] <= 'Z' && key.text[1] == ':');
    bool lettered = path.size() >= 2 && path[1] == ':' && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z');
    assert(key.text[0] == (lettered ? (path[0] & ~0x20) : currentDir[0]));
    assert(key.text.size() == 2 || key.text[2] == '\\');
    checkComponents(key.text, 3);
    assert(posix::firstComponent(key) == (key.text.size() > 2 ? 3 : 2));
    return 0;
}
