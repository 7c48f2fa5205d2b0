#!/bin/sh
# Builds the settings-reader fuzzer with clang++ (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) against the fake platform and runs it for a
# bounded time. Usage: tests/fuzz/run-fuzz.sh [seconds]   (default 60)
# The build and the grown corpus go to $FOLMAR_FUZZ_DIR (default build-fuzz/
# in the source tree); the checked-in corpus is only read.
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${FOLMAR_FUZZ_DIR:-$root/build-fuzz}
cxx=${CXX_FUZZ:-clang++}
mkdir -p "$work/corpus"

"$cxx" -std=c++17 -g -O1 -Wall -Wextra \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
    -I"$root" \
    "$here/fuzz_settings.cpp" \
    "$root/settings/settings.cpp" \
    "$root/common/console.cpp" \
    "$root/common/output.cpp" \
    "$root/common/runstate.cpp" \
    "$root/common/text.cpp" \
    "$root/platform/fake/fake.cpp" \
    -o "$work/fuzz_settings"

# New inputs go to the first folder; the checked-in corpus seeds the run.
"$work/fuzz_settings" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -dict="$here/settings.dict" -print_final_stats=1 \
    "$work/corpus" "$here/corpus"
