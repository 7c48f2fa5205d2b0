#!/bin/bash
# Builds the fuzzers (clang++, libFuzzer, ASan, UBSan) and runs each for a
# bounded time: tests/fuzz/run-fuzz.sh [seconds each, default 20] [names].
# settings: the settings reader on the fake platform; layout: the directory
# lines; pathkeys: the one spelling of a Windows path. Builds and grown
# corpora go to $FOLMAR_FUZZ_DIR (default build-fuzz/); a checked-in corpus
# only seeds a run.
set -eu
seconds=${1:-20}
shift || true
names=${*:-settings layout pathkeys}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${FOLMAR_FUZZ_DIR:-$root/build-fuzz}

for name in $names; do
    case $name in
        settings) sources=("$root/settings/settings.cpp" "$root/platform/fake/fake.cpp" "$root"/common/*.cpp)
                  options=(-max_len=8192 -dict="$here/settings.dict") ;;
        layout)   sources=("$root"/report/*.cpp "$root/platform/fake/fake.cpp" "$root"/common/*.cpp)
                  options=(-max_len=4096) ;;
        pathkeys) sources=("$root"/platform/posix/{paths,drives,mounts}.cpp)
                  options=(-max_len=1024) ;;
        *) echo "run-fuzz.sh: no fuzzer $name" >&2; exit 2 ;;
    esac
    mkdir -p "$work/corpus-$name"
    "${CXX_FUZZ:-clang++}" -std=c++17 -g -O1 -Wall -Wextra -Werror -I"$root" \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
        "$here/fuzz_$name.cpp" "${sources[@]}" -o "$work/fuzz_$name"
    seeds=()
    [ "$name" = settings ] && seeds=("$here/corpus")
    "$work/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" "${options[@]}" \
        "$work/corpus-$name" "${seeds[@]}"
done
