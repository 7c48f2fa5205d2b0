// Shared set-up of the unit tests: a fresh RunState and an empty fake machine
// before every test, and helpers to read what the program wrote.
#pragma once

#include <gtest/gtest.h>

#include <string>

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
};
