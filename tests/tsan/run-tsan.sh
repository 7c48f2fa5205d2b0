#!/usr/bin/env bash
# run-tsan.sh: the tests that drive the read-ahead threads (the POSIX tests, the schedule's,
# the end-to-end walk over real trees) built under ThreadSanitizer in
# BUILD_DIR (default <repo>/build-tsan); a race ends a test with exit code 66.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD_DIR:-$REPO/build-tsan}
cmake -S "$REPO" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLMAR_TESTS=ON -DFOLMAR_SANITIZE=OFF \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
cmake --build "$BUILD" -j2 --target folmar posix_tests schedule_tests

export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# Where the kernel randomises mappings more than ThreadSanitizer expects, it runs without randomisation.
RUN=()
if "$BUILD/tests/posix_tests" --gtest_list_tests 2>&1 | grep -q "unexpected memory mapping"; then
    RUN=(setarch "$(uname -m)" -R)
fi
"${RUN[@]}" ctest --test-dir "$BUILD" --output-on-failure -j2 -R '^(posix\.|schedule\.|e2e\.test_posix_walk$)'
