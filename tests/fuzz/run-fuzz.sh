#!/bin/bash
# Builds the settings-reader fuzzer (clang++, libFuzzer, ASan, UBSan) against
# the fake platform and runs it: tests/fuzz/run-fuzz.sh [seconds, default 60].
# Build and grown corpus go to $FOLMAR_FUZZ_DIR (default build-fuzz/); the
# checked-in corpus only seeds the run.
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${FOLMAR_FUZZ_DIR:-$root/build-fuzz}
mkdir -p "$work/corpus"

"${CXX_FUZZ:-clang++}" -std=c++17 -g -O1 -Wall -Wextra -I"$root" \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
    "$here/fuzz_settings.cpp" "$root/settings/settings.cpp" "$root/platform/fake/fake.cpp" \
    "$root"/common/*.cpp -o "$work/fuzz_settings"

"$work/fuzz_settings" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
    -dict="$here/settings.dict" -print_final_stats=1 "$work/corpus" "$here/corpus"
