#!/bin/bash
# run-wine-tests.sh: builds the Windows program and its unit tests with
# MinGW-w64, makes a throwaway wine prefix with drive letters mapped to
# temporary folders, and runs the unit tests (ctest) and the end-to-end checks
# of folmar.exe (test_wine_e2e.py) under wine. Exits non-zero on any failure;
# exits 0 with a "SKIPPED" line when the cross compiler or wine is missing.
#
# Environment: FOLMAR_WIN_BUILD_DIR (default: <source>/build-win),
# KEEP=1 keeps the temporary folder (prefix, trees, copies of the program).
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${FOLMAR_WIN_BUILD_DIR:-$root/build-win}
triple=x86_64-w64-mingw32

skip() {
    echo "Windows tests SKIPPED (not run, not passed): $*"
    exit 0
}

command -v "$triple-g++-win32" >/dev/null 2>&1 || command -v "$triple-g++" >/dev/null 2>&1 ||
    skip "no MinGW-w64 cross compiler ($triple-g++); install g++-mingw-w64-x86-64-win32"
if command -v wine >/dev/null 2>&1; then WINE=wine; elif [ -x /usr/lib/wine/wine64 ]; then WINE=/usr/lib/wine/wine64; else
    skip "wine is not installed; install wine and wine64"
fi
command -v cmake >/dev/null 2>&1 || skip "cmake is not installed"
command -v python3 >/dev/null 2>&1 || skip "python3 is not installed"
export WINE

now() { date +%s; }
started=$(now)
failures=0

echo "=== building the Windows program in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null &&
    cmake --build "$build" -j2 || { echo "run-wine-tests.sh: the Windows build failed"; exit 1; }
exe=$build/folmar.exe

# A 64-bit console program importing nothing but KERNEL32 and msvcrt: a
# 32-bit one would exit 0 silently under wine64, a missing DLL with 53.
imports=$("$triple-objdump" -p "$exe" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
if [ "$imports" != "KERNEL32.dll msvcrt.dll " ]; then
    echo "FAIL: folmar.exe imports '$imports', want only KERNEL32.dll and msvcrt.dll"; failures=$((failures + 1))
fi
# The extended free-space query and every wide call (which the first
# Windows 95 lacks) are looked up at run time, never imported: the program
# must still load there.
looked_up=$("$triple-objdump" -p "$exe" | awk '/DLL Name:/ {dll = $3}
    dll == "KERNEL32.dll" && NF == 3 && $3 ~ /(W|GetDiskFreeSpaceExA)$/ {print $3}' | tr '\n' ' ')
if [ -n "$looked_up" ]; then
    echo "FAIL: folmar.exe imports $looked_up(to be looked up at run time)"; failures=$((failures + 1))
fi
if ! "$triple-objdump" -f "$exe" | grep -q "file format pei-x86-64"; then
    echo "FAIL: folmar.exe is not a 64-bit (PE32+ x86-64) program"; failures=$((failures + 1))
fi

tmp=$(mktemp -d /tmp/folmar-wine.XXXXXX)
pfx=$tmp/pfx
cleanup() {
    sh "$here/wine-server.sh" stop "$pfx" >/dev/null 2>&1
    if [ "${KEEP:-0}" = 1 ]; then echo "kept $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT

# Drives: D fixed, E remote, F CD-ROM, H listed but never ready (its folder is
# missing: wine gives it type 1), C kept as wine needs it but typed CD-ROM, Z (= /) removed;
# W (the build tree, so the unit tests run from a drive) and B (the program
# copies) are CD-ROMs too, so an all-drives run walks D (and E, H) only.
mkdir -p "$tmp/d" "$tmp/e" "$tmp/f" "$tmp/bin"
cp "$exe" "$tmp/bin/folmar.exe" && cp "$exe" "$tmp/bin/folmar95.exe"
echo "=== making the wine prefix"
bash "$here/make-prefix.sh" "$pfx" win10 C=,cdrom Z=- D="$tmp/d" E="$tmp/e,remote" F="$tmp/f,cdrom" \
    H="$tmp/h-missing,fixed" W="$build,cdrom" B="$tmp/bin,cdrom" 2>/dev/null ||
    { echo "run-wine-tests.sh: cannot make the wine prefix"; exit 1; }
sh "$here/wine-server.sh" start "$pfx" || { echo "run-wine-tests.sh: cannot start the wineserver"; exit 1; }
export WINEPREFIX=$pfx
# folmar95.exe sees Windows 95 (build 950), folmar.exe the prefix's Windows 10 (9200).
WINEDEBUG=-all "$WINE" reg add 'HKCU\Software\Wine\AppDefaults\folmar95.exe' /v Version /d win95 /f \
    </dev/null >/dev/null 2>&1 || { echo "run-wine-tests.sh: cannot set the version of folmar95.exe"; exit 1; }

echo "=== unit tests under wine"
t=$(now)
ctest --test-dir "$build" --output-on-failure </dev/null || failures=$((failures + 1))
echo "unit tests: $(( $(now) - t )) s"

echo "=== end-to-end tests of folmar.exe under wine"
t=$(now)
FOLMAR_WINE_ROOT=$tmp python3 "$here/test_wine_e2e.py" </dev/null || failures=$((failures + 1))
echo "end-to-end tests: $(( $(now) - t )) s"

echo "=== Windows tests: $(( $(now) - started )) s in all"
if [ "$failures" -ne 0 ]; then
    echo "Windows tests FAILED ($failures part(s))"
    exit 1
fi
echo "Windows tests passed"
exit 0
