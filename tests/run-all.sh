#!/usr/bin/env bash
# Builds Folmar and runs every test: the Linux build's unit and end-to-end tests, then the
# Windows build's tests under Wine (reported as skipped without the cross compiler and Wine).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DFOLMAR_TESTS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
bash tests/wine/run-wine-tests.sh
