#!/usr/bin/env bash
# Builds Folmar and runs every test: the Linux build's unit and end-to-end tests, then the
# Windows build's tests under Wine (reported as skipped without the cross compiler and Wine).
# Names what is missing: the tools here, GoogleTest when the tests are configured.
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in cmake c++ python3; do
    command -v "$tool" >/dev/null ||
        { echo "run-all.sh: $tool is not installed (Debian: apt-get install cmake g++ python3 googletest)"; exit 1; }
done
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DFOLMAR_TESTS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
bash tests/wine/run-wine-tests.sh
