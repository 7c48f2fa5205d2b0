#!/bin/bash
# run-wine-tests.sh: builds folmar.exe and the unit tests with MinGW-w64 for 64-bit Windows in $FOLMAR_WIN_BUILD_DIR
# (default build-win) and for 32-bit Windows in $FOLMAR_WIN32_BUILD_DIR (default build-win32), checks each
# folmar.exe's imports, and runs the unit tests (ctest) and test_wine_e2e.py under wine, in one throwaway prefix
# (KEEP=1 keeps it). Exits 1 on any failure; a missing tool: SKIPPED (the 32-bit part alone when only it lacks one).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${FOLMAR_WIN_BUILD_DIR:-$root/build-win}
build32=${FOLMAR_WIN32_BUILD_DIR:-$root/build-win32}
skip() { echo "Windows tests SKIPPED (not run, not passed): $*"; exit 0; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in x86_64-w64-mingw32-g++ cmake python3; do
    command -v $tool >/dev/null || skip "$tool is not installed"
done
command -v wine >/dev/null || [ -x /usr/lib/wine/wine64 ] || skip "wine is not installed"
with32=1
command -v i686-w64-mingw32-g++ >/dev/null || with32="i686-w64-mingw32-g++ is not installed"
[ -x /usr/lib/wine/wine ] || with32="32-bit wine (wine32:i386) is not installed"
[ "$with32" = 1 ] || echo "32-bit Windows tests SKIPPED (not run, not passed): $with32"

# build DIR TOOLCHAIN-FILE
build() {
    echo "=== building the Windows program in $1"
    cmake -S "$root" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" -DFOLMAR_TESTS=ON >/dev/null && cmake --build "$1" -j2 ||
        { echo "run-wine-tests.sh: the Windows build in $1 failed"; exit 1; }
}

# check_imports EXE TRIPLE FORMAT: it loads on every Windows of its width: KERNEL32 and msvcrt only, the wide calls
# and GetDiskFreeSpaceExA looked up at run time.
check_imports() {
    local dump dlls imported
    dump=$("$2-objdump" -p "$1")
    grep -q "file format $3" <<<"$dump" || fail "$1 is not a $3 program"
    dlls=$(awk '/DLL Name:/ { print $3 }' <<<"$dump" | sort | tr '\n' ' ')
    [ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "$1 imports $dlls; want KERNEL32.dll and msvcrt.dll only"
    imported=$(awk '/DLL Name:/ { dll = $3 }
        dll == "KERNEL32.dll" && NF == 3 && $3 ~ /(W|GetDiskFreeSpaceExA)$/ { printf "%s ", $3 }' <<<"$dump")
    [ -z "$imported" ] || fail "$1 imports $imported(to be looked up at run time)"
}

build "$build" mingw-w64-x86_64.cmake
check_imports "$build/folmar.exe" x86_64-w64-mingw32 pei-x86-64
if [ "$with32" = 1 ]; then
    build "$build32" mingw-w64-i686.cmake
    check_imports "$build32/folmar.exe" i686-w64-mingw32 pei-i386
fi

# The drives of test_wine_e2e.py; W and V (the builds, where ctest runs) and B (the programs) are CD-ROMs.
tmp=$(mktemp -d /tmp/folmar-wine.XXXXXX)
export WINEPREFIX=$tmp/pfx
cleanup() {
    bash "$here/wine-prefix.sh" "$WINEPREFIX" stop
    if [ "${KEEP:-0}" = 1 ]; then echo "kept $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT
mkdir -p "$tmp/d" "$tmp/e" "$tmp/f" "$tmp/bin"
# folmar.exe: 64-bit; folmar32.exe: 32-bit; folmar95.exe: the 32-bit one (the 64-bit one without 32-bit wine),
# which wine shows Windows 95.
cp "$build/folmar.exe" "$tmp/bin/folmar.exe"
if [ "$with32" = 1 ]; then
    cp "$build32/folmar.exe" "$tmp/bin/folmar32.exe" && cp "$build32/folmar.exe" "$tmp/bin/folmar95.exe"
else
    cp "$build/folmar.exe" "$tmp/bin/folmar95.exe"
fi
bash "$here/wine-prefix.sh" "$WINEPREFIX" win10 C=,cdrom Z=- D="$tmp/d" E="$tmp/e,remote" F="$tmp/f,cdrom" \
    H="$tmp/h-missing,fixed" W="$build,cdrom" V="$build32,cdrom" B="$tmp/bin,cdrom" &&
    sh "$here/wine-run.sh" reg add 'HKCU\Software\Wine\AppDefaults\folmar95.exe' /v Version /d win95 /f >/dev/null ||
    { echo "run-wine-tests.sh: cannot make the wine prefix"; exit 1; }

ctest --test-dir "$build" --output-on-failure </dev/null || fail "unit tests under wine"
[ "$with32" != 1 ] || ctest --test-dir "$build32" --output-on-failure </dev/null || fail "32-bit unit tests under wine"
# Each end-to-end test with the read-ahead on (its threads, one listing of each directory) and off.
FOLMAR_WINE_ROOT=$tmp python3 "$here/test_wine_e2e.py" </dev/null || fail "end-to-end tests under wine"
FOLMAR_READAHEAD=0 FOLMAR_WINE_ROOT=$tmp python3 "$here/test_wine_e2e.py" </dev/null ||
    fail "end-to-end tests under wine, read-ahead off"

[ "$failures" = 0 ] || { echo "Windows tests FAILED ($failures part(s))"; exit 1; }
echo "Windows tests passed"
