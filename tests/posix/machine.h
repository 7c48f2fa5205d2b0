// The temporary tree of the POSIX tests (drive C, see test_machine.cpp) and
// enumerations read whole into "name:size" ("name:size/" for directories).
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <string>

#include "platform/platform.h"

typedef std::set<std::string> Listing;

extern std::string root;  // the directory of drive C
std::string native(const std::string &relative);
void makeDir(const std::string &relative);
void makeFile(const std::string &relative, off_t size);  // sparse
void removeTree(const std::string &relative);
// Every entry of the enumeration open as `handle`, which is closed.
Listing drain(FindHandle handle, FindData *data);
Listing list(const std::string &searchPath);  // empty when it cannot be opened
