// Shared set-up of the unit tests: a fresh RunState and an empty fake machine
// before every test (and on fresh(), for each case of a table), and helpers to
// set the width, read standard output and the report file, pass a command line.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "common/console.h"
#include "common/runstate.h"
#include "platform/fake/fake.h"

class FolmarTest : public ::testing::Test {
protected:
    void SetUp() override { fresh(); }
    void TearDown() override { closeReport(); }
    // An empty machine and the initial RunState, then the fixture's prepare().
    void fresh() {
        closeReport();
        fakeReset();
        resetRunState();
        prepare();
    }
    virtual void prepare() {}
    // Everything written to standard output so far.
    std::string out() {
        std::fflush(rs.con);
        return fakeStdoutText();
    }
    // The line geometry of a report `width` characters wide (78: a console).
    void setWidth(int width) {
        rs.lineWidth = width;
        rs.pathColumn = width - 14;
        rs.wrapFloor = (unsigned)(width - 14) / 2;
    }
    void useConsoleWidth() { setWidth(78); }
    // An all-drives run at width 78 with the extended disk query.
    void useAllDrivesRun() {
        rs.runMode = '~';
        rs.osLevel = 'N';
        rs.lineWidth = 78;
        deriveLayout();
    }
    // The report file "C:\R.txt" of an all-drives run, what it holds so far.
    void openReport() {
        rs.outFile = openFile("C:\\R.txt", "w+");
        ASSERT_NE(rs.outFile, nullptr);
        rs.runMode = '~';
    }
    std::string report() {
        std::fflush(rs.outFile);
        return fakeFileText("C:\\R.txt");
    }
    void closeReport() {
        if (rs.outFile != nullptr) std::fclose(rs.outFile);
        rs.outFile = nullptr;
    }
};

// The pieces of `text` between the `separator`s, the one after the last included.
inline std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        pieces.push_back(text.substr(start, end - start));
    pieces.push_back(text.substr(start));
    return pieces;
}
// The lines of `text`, each without its "\n"; an unfinished last line is left out.
inline std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines = split(text, '\n');
    lines.pop_back();
    return lines;
}

inline int countOf(const std::string &text, const std::string &needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++n;
    return n;
}
inline bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
inline bool endsWith(const std::string &text, const std::string &tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// rs.driveList with one root "X:\" per letter, as the settings reader builds it.
inline void setDriveList(const std::string &letters) {
    std::memset(rs.driveList, 0, sizeof rs.driveList);
    for (size_t i = 0; i < letters.size(); ++i) std::snprintf(rs.driveList + 4 * i, 4, "%c:\\", letters[i]);
}

// A writable argument vector "folmar ARGS..." as main receives it; the
// program may change the texts in place.
class CommandLine {
public:
    explicit CommandLine(std::vector<std::string> args) : texts(std::move(args)) {
        texts.insert(texts.begin(), "folmar");
        for (std::string &s : texts) pointers.push_back(&s[0]);
        pointers.push_back(nullptr);
    }
    int argc() const { return (int)texts.size(); }
    char **argv() { return pointers.data(); }

private:
    std::vector<std::string> texts;
    std::vector<char *> pointers;
};
