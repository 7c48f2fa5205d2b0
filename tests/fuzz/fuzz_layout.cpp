// libFuzzer target of the directory lines: any bytes as a directory's path
// (behind "C:\"), with a line width and a size taken from the first bytes,
// on the fake machine. Besides the sanitizers it checks what holds for every
// path: each line narrower than the line width, continuation lines
// indented, and one line, the last, that carries the size, exactly the
// line width.
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/sink.h"
#include "common/runstate.h"
#include "common/text.h"
#include "platform/fake/fake.h"
#include "report/report.h"

// Terminal columns of `line`, a character shown as the layout shows it.
static int columnsOf(const std::string &line) {
    int columns = 0;
    for (size_t at = 0; at < line.size();) {
        uint32_t code;
        at += (size_t)displayChar(line.c_str() + at, &code);
        columns += charColumns(code);
    }
    return columns;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    fakeReset();
    clearRunState();  // the record, the sinks and the display: what these layers keep
    useReportSink(&consoleSink);
    int width = 75 + data[0] % 51;
    setLineWidth(width);
    uint64_t bytes = 0;
    for (size_t i = 1; i < 9 && i < size; ++i) bytes = bytes << 8 | data[i];
    bytes >>= data[1] % 64;
    std::string name;
    for (size_t i = 9; i < size && name.size() < 8000; ++i)
        if (data[i] != 0) name += (char)data[i];
    if (name.empty()) return 0;
    printDirLine(("C:\\" + name + "\\").c_str(), bytes);
    std::fflush(rs.con);
    const std::string text = fakeStdoutText();
    assert(!text.empty() && text.back() == '\n');
    size_t lines = 0;
    for (size_t at = 0; at < text.size(); ++lines) {
        size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        bool last = end + 1 == text.size();
        assert(lines == 0 || line.compare(0, 3, "   ") == 0);
        assert(last ? columnsOf(line) == width : columnsOf(line) < width);
        at = end + 1;
    }
    char tail = text[text.size() - 2];  // the size field's last character
    assert((tail >= '0' && tail <= '9') || tail == '*');
    return 0;
}
