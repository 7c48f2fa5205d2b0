#!/bin/bash
# run-wine-tests.sh: builds folmar.exe and the unit tests with MinGW-w64 in $FOLMAR_WIN_BUILD_DIR (default
# build-win), checks folmar.exe's imports, and runs the unit tests (ctest) and test_wine_e2e.py under wine, in a
# throwaway prefix (KEEP=1 keeps it). Exits 1 on any failure; a missing tool: SKIPPED.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${FOLMAR_WIN_BUILD_DIR:-$root/build-win}
skip() { echo "Windows tests SKIPPED (not run, not passed): $*"; exit 0; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in x86_64-w64-mingw32-g++ cmake python3; do
    command -v $tool >/dev/null || skip "$tool is not installed"
done
command -v wine >/dev/null || [ -x /usr/lib/wine/wine64 ] || skip "wine is not installed"

echo "=== building the Windows program in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null &&
    cmake --build "$build" -j2 || { echo "run-wine-tests.sh: the Windows build failed"; exit 1; }

# It loads on every 64-bit Windows: KERNEL32 and msvcrt only, the wide calls and GetDiskFreeSpaceExA looked up.
dump=$(x86_64-w64-mingw32-objdump -p "$build/folmar.exe")
grep -q "file format pei-x86-64" <<<"$dump" || fail "folmar.exe is not a 64-bit (PE32+ x86-64) program"
dlls=$(awk '/DLL Name:/ { print $3 }' <<<"$dump" | sort | tr '\n' ' ')
[ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "folmar.exe imports $dlls; want KERNEL32.dll and msvcrt.dll only"
imported=$(awk '/DLL Name:/ { dll = $3 }
    dll == "KERNEL32.dll" && NF == 3 && $3 ~ /(W|GetDiskFreeSpaceExA)$/ { printf "%s ", $3 }' <<<"$dump")
[ -z "$imported" ] || fail "folmar.exe imports $imported(to be looked up at run time)"

# The drives of test_wine_e2e.py; W (the build, where ctest runs) and B (the programs) are CD-ROMs.
tmp=$(mktemp -d /tmp/folmar-wine.XXXXXX)
export WINEPREFIX=$tmp/pfx
cleanup() {
    bash "$here/wine-prefix.sh" "$WINEPREFIX" stop
    if [ "${KEEP:-0}" = 1 ]; then echo "kept $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT
mkdir -p "$tmp/d" "$tmp/e" "$tmp/f" "$tmp/bin"
cp "$build/folmar.exe" "$tmp/bin/folmar.exe" && cp "$build/folmar.exe" "$tmp/bin/folmar95.exe"
bash "$here/wine-prefix.sh" "$WINEPREFIX" win10 C=,cdrom Z=- D="$tmp/d" E="$tmp/e,remote" F="$tmp/f,cdrom" \
    H="$tmp/h-missing,fixed" W="$build,cdrom" B="$tmp/bin,cdrom" &&
    sh "$here/wine-run.sh" reg add 'HKCU\Software\Wine\AppDefaults\folmar95.exe' /v Version /d win95 /f >/dev/null ||
    { echo "run-wine-tests.sh: cannot make the wine prefix"; exit 1; }

ctest --test-dir "$build" --output-on-failure </dev/null || fail "unit tests under wine"
FOLMAR_WINE_ROOT=$tmp python3 "$here/test_wine_e2e.py" </dev/null || fail "end-to-end tests under wine"

[ "$failures" = 0 ] || { echo "Windows tests FAILED ($failures part(s))"; exit 1; }
echo "Windows tests passed"
