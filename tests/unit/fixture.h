// Shared set-up of the unit tests: an empty fake machine and the initial
// RunState before every test and on fresh(), for each row of a table.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/internal.h"
#include "common/console.h"
#include "common/runstate.h"
#include "platform/fake/fake.h"
#include "report/report.h"
#include "scan/scan.h"

class FolmarTest : public ::testing::Test {
protected:
    void SetUp() override { fresh(); }
    void fresh() {
        if (rs.outFile != nullptr) std::fclose(rs.outFile);
        fakeReset();
        resetRunState();
        useReportSink(&consoleSink);  // as a single-path run chooses
        prepare();
    }
    virtual void prepare() {}
    std::string out() {  // everything written to standard output so far
        std::fflush(rs.con);
        return fakeStdoutText();
    }
    void setWidth(int width) { setLineWidth(width); }  // and the line geometry derived from it
    // An all-drives run with its report file "C:\R.txt" open, and what it holds.
    void openReport() {
        rs.outFile = openFile("C:\\R.txt", "w+");
        rs.runMode = RunMode::allDrives;
        useReportSink(&reportFileSink);
    }
    std::string report() {
        std::fflush(rs.outFile);
        return fakeFileText("C:\\R.txt");
    }
    // "folmar ARGS..." as writable texts, as main hands them over.
    std::vector<char *> argv(std::vector<std::string> &args) {
        args.insert(args.begin(), "folmar");
        std::vector<char *> pointers;
        for (std::string &arg : args) pointers.push_back(&arg[0]);
        return pointers;
    }
    int run(std::vector<std::string> args) {
        std::vector<char *> pointers = argv(args);
        return folmarMain((int)pointers.size(), pointers.data());
    }
};

inline std::string dots(int count) { return std::string(count, '.'); }
inline std::string times(int count, const std::string &text) {
    std::string all;
    while (count-- > 0) all += text;
    return all;
}
inline bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
inline int countOf(const std::string &text, const std::string &part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}
inline ::testing::AssertionResult endsWith(const std::string &text, const std::string &part) {
    const std::string end = text.substr(text.size() - std::min(text.size(), part.size()));
    if (end == part) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "ends\n" << end;
}
