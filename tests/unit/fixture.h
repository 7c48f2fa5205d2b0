// Shared set-up of the unit tests: a fresh RunState and an empty fake machine
// before every test, and helpers to read what the program wrote and to hand
// it a command line.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/runstate.h"
#include "platform/fake/fake.h"

class FolmarTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeReset();
        resetRunState();
    }
    // Everything written to standard output so far.
    std::string out() {
        std::fflush(rs.con);
        return fakeStdoutText();
    }
    // The line geometry of a console report (78 wide).
    void useConsoleWidth() {
        rs.lineWidth = 78;
        rs.pathColumn = 64;
        rs.wrapFloor = 32;
    }
};

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
