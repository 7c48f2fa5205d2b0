#!/usr/bin/env bash
# check-packages.sh: makes the Debian package (Linux build) and the Windows zip
# (MinGW-w64 cross build) with CPack and checks them: names, fields, contents;
# installs the .deb, runs the installed folmar on a small tree, checks its
# totals and its manual page, removes it; runs folmar.exe from the zip under
# wine. Exits 1 on any failure; a part whose tools are missing prints SKIPPED.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${FOLMAR_BUILD_DIR:-$root/build}
build_win=${FOLMAR_WIN_BUILD_DIR:-$root/build-win}
version=$(sed -n 's/^#define FOLMAR_VERSION "\(.*\)"$/\1/p' "$root/common/version.h")
jobs=$(nproc 2>/dev/null || echo 2)

failures=0
skipped=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIPPED (not run, not passed): $*"; skipped=$((skipped + 1)); }
have() { command -v "$1" >/dev/null 2>&1; }

tmp=$(mktemp -d /tmp/folmar-pkg.XXXXXX)
installed=0
pfx=""
cleanup() {
    if [ "$installed" = 1 ]; then dpkg -r folmar >/dev/null 2>&1 || true; fi
    if [ -n "$pfx" ]; then sh "$root/tests/wine/wine-server.sh" stop "$pfx" >/dev/null 2>&1 || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

[ -n "$version" ] || { echo "check-packages.sh: no FOLMAR_VERSION in common/version.h"; exit 1; }

# A small tree, and its counts as find sees them.
tree=$tmp/tree
mkdir -p "$tree/a/b/d" "$tree/c" "$tree/with space"
head -c 1000 /dev/zero >"$tree/f1"
head -c 2500 /dev/zero >"$tree/a/f2"
head -c 100 /dev/zero >"$tree/a/b/f3"
head -c 7 /dev/zero >"$tree/c/f4"
head -c 12345 /dev/zero >"$tree/with space/f5"
want_dirs=$(find "$tree" -type d | wc -l)
want_files=$(find "$tree" -type f | wc -l)
want_bytes=$(find "$tree" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')

# The figure of the first totals line that begins with LABEL, without commas.
figure() { sed -n "s/^ *$2 *= *\([0-9,]*\).*/\1/p" "$1" | head -n 1 | tr -d ,; }

# check_report NAME FILE: the totals block of FILE against the tree.
check_report() {
    local d f b
    d=$(figure "$2" 'Number of Dirs\.')
    f=$(figure "$2" 'Number of Files')
    b=$(figure "$2" 'Allocation')
    if [ "$d" = "$want_dirs" ] && [ "$f" = "$want_files" ] && [ "$b" = "$want_bytes" ]; then
        echo "ok: $1: $d dirs, $f files, $b bytes"
    else
        fail "$1: totals '$d' dirs, '$f' files, '$b' bytes; want $want_dirs, $want_files, $want_bytes"
        sed 's/^/    | /' "$2"
    fi
}

# check_settings_read NAME FILE: the run read the sample settings, and
# accepted every line of it.
check_settings_read() {
    if grep -q "Invalid User Parameter Record" "$2"; then fail "$1: the sample Folmar.ini has an invalid line"; fi
    if grep -q "File Not Found" "$2"; then fail "$1: the sample Folmar.ini was not read"; fi
}

# ---------------------------------------------------------------- .deb
deb_part() {
    local t
    for t in cmake cpack dpkg dpkg-deb dpkg-shlibdeps; do
        have "$t" || { skip "Debian package: $t is not installed (dpkg-dev has dpkg-shlibdeps)"; return 0; }
    done
    echo "=== Debian package from $build"
    if [ -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" >/dev/null
    else
        cmake -S "$root" -B "$build" -DFOLMAR_TESTS=OFF >/dev/null
    fi
    cmake --build "$build" -j"$jobs" >/dev/null
    (cd "$build" && cpack -G DEB -B "$tmp/deb" >"$tmp/cpack-deb.log" 2>&1) ||
        { cat "$tmp/cpack-deb.log"; fail "cpack -G DEB failed"; return 0; }

    local deb="$tmp/deb/folmar_${version}_$(dpkg --print-architecture).deb"
    if [ ! -f "$deb" ]; then
        fail "no $(basename "$deb"); cpack made: $(cd "$tmp/deb" && echo *.deb)"
        return 0
    fi
    echo "ok: $(basename "$deb")"

    local field
    [ "$(dpkg-deb -f "$deb" Package)" = folmar ] || fail "Package is not folmar"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
    [ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "Section is not utils"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
    field=$(dpkg-deb -f "$deb" Depends)
    echo "    Depends: $field"
    if ! echo "$field" | grep -q '^libc6 '; then fail "Depends lacks libc6 (dpkg-shlibdeps not run?)"; fi
    if echo "$field" | tr ',' '\n' | grep -vqE '^ ?lib[a-z0-9.+-]+ \(>= [^)]+\)$'; then
        fail "Depends holds more than shared libraries: $field"
    fi

    # Exactly these files; no test program, no GoogleTest.
    dpkg-deb -c "$deb" | awk '{ print $NF }' | grep -v '/$' | sort >"$tmp/deb-files"
    printf '%s\n' ./usr/bin/folmar ./usr/share/doc/folmar/Folmar.ini \
        ./usr/share/doc/folmar/README.md ./usr/share/man/man1/folmar.1 | sort >"$tmp/deb-want"
    if diff -u "$tmp/deb-want" "$tmp/deb-files"; then echo "ok: the package holds exactly its 4 files"; else
        fail "the package's files differ from the list above"; fi

    install_part "$deb"
}

install_part() {
    local deb=$1
    if [ "$(id -u)" != 0 ]; then skip "installing the .deb: not root"; return 0; fi
    if dpkg -s folmar >/dev/null 2>&1; then
        skip "installing the .deb: a folmar package is already installed here; not replacing it"
        return 0
    fi
    echo "=== installing $(basename "$deb")"
    # The path-includes undo the path-excludes of slim Debian images, which
    # would drop the manual page and the doc folder.
    installed=1
    if ! dpkg --path-include='/usr/share/man/man1/folmar.1' --path-include='/usr/share/doc/folmar/*' \
        -i "$deb" >"$tmp/dpkg.log" 2>&1; then
        cat "$tmp/dpkg.log"; fail "dpkg -i failed"; return 0
    fi
    local f
    for f in /usr/bin/folmar /usr/share/man/man1/folmar.1 /usr/share/doc/folmar/README.md \
        /usr/share/doc/folmar/Folmar.ini; do
        if ! dpkg -L folmar | grep -qx "$f" || [ ! -f "$f" ]; then fail "$f is not installed"; fi
    done
    [ -x /usr/bin/folmar ] || fail "/usr/bin/folmar is not executable"

    # The installed program on the tree, drive C mapped to it, from a working
    # folder (drive D) without settings, then with the installed sample.
    mkdir -p "$tmp/work"
    local rc=0
    (cd "$tmp/work" && FOLMAR_DRIVES="C=$tree;D=$tmp/work" /usr/bin/folmar 'C:\' \
        </dev/null >"$tmp/report.txt" 2>"$tmp/report.err") || rc=$?
    [ "$rc" = 0 ] || fail "the installed folmar exited with $rc"
    check_report "installed folmar" "$tmp/report.txt"
    if ! grep -qx 'C:\\\.*\.\. 1,000' "$tmp/report.txt"; then fail "no line for C:\\ with 1,000 bytes"; fi
    if [ "$(grep -m1 '^C:\\\.' "$tmp/report.txt" | awk '{ print length }')" != 125 ]; then
        fail "the C:\\ line is not 125 characters wide"
    fi

    cp /usr/share/doc/folmar/Folmar.ini "$tmp/work/Folmar.ini"
    rc=0
    (cd "$tmp/work" && FOLMAR_DRIVES="C=$tree;D=$tmp/work" /usr/bin/folmar 'C:\' \
        </dev/null >"$tmp/report2.txt" 2>&1) || rc=$?
    [ "$rc" = 0 ] || fail "the installed folmar with the sample Folmar.ini exited with $rc"
    check_settings_read "installed folmar with the sample Folmar.ini" "$tmp/report2.txt"
    check_report "installed folmar with the sample Folmar.ini" "$tmp/report2.txt"

    man_part /usr/share/man/man1/folmar.1

    echo "=== removing the package"
    if dpkg -r folmar >"$tmp/dpkg.log" 2>&1; then installed=0; else cat "$tmp/dpkg.log"; fail "dpkg -r folmar failed"; fi
    [ ! -e /usr/bin/folmar ] || fail "/usr/bin/folmar is still there after dpkg -r"
    [ "$installed" = 1 ] || echo "ok: installed, run and removed"
}

man_part() {
    local page=$1
    if have groff; then
        if groff -ww -man -z "$page" >"$tmp/groff.err" 2>&1 && [ ! -s "$tmp/groff.err" ]; then
            echo "ok: groff -ww -man -z: no warnings"
        else
            fail "groff -ww -man -z warns:"; sed 's/^/    | /' "$tmp/groff.err"
        fi
    else
        skip "manual page check: groff is not installed (groff-base)"
    fi
    if have man; then
        if MANPAGER=cat PAGER=cat MANWIDTH=80 man --warnings -l "$page" >"$tmp/man.txt" 2>"$tmp/man.err" &&
            [ ! -s "$tmp/man.err" ] && grep -q 'FOLMAR_DRIVES' "$tmp/man.txt"; then
            echo "ok: man -l renders it without warnings"
        else
            fail "man -l:"; sed 's/^/    | /' "$tmp/man.err"
        fi
        [ "$(man -w folmar 2>/dev/null)" = "$page" ] || fail "man -w folmar does not find $page"
    else
        skip "man -l check: man is not installed (man-db)"
    fi
}

# ---------------------------------------------------------------- .zip
zip_part() {
    local triple=x86_64-w64-mingw32
    if ! have "$triple-g++-win32" && ! have "$triple-g++"; then
        skip "Windows zip: no MinGW-w64 cross compiler ($triple-g++)"; return 0
    fi
    have python3 || { skip "Windows zip: python3 is not installed"; return 0; }
    echo "=== Windows zip from $build_win"
    if [ -f "$build_win/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build_win" >/dev/null
    else
        cmake -S "$root" -B "$build_win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
            -DFOLMAR_TESTS=OFF >/dev/null
    fi
    cmake --build "$build_win" -j"$jobs" >/dev/null
    (cd "$build_win" && cpack -G ZIP -B "$tmp/zip" >"$tmp/cpack-zip.log" 2>&1) ||
        { cat "$tmp/cpack-zip.log"; fail "cpack -G ZIP failed"; return 0; }

    local name="folmar-$version-win64"
    local zip="$tmp/zip/$name.zip"
    if [ ! -f "$zip" ]; then fail "no $name.zip; cpack made: $(cd "$tmp/zip" && echo *.zip)"; return 0; fi
    echo "ok: $name.zip"

    # Exactly folmar.exe, README.txt and Folmar.ini in one folder; the texts
    # with CR LF line ends, README.txt the README; folmar.exe a 64-bit program.
    if ! python3 - "$zip" "$name" "$root/README.md" <<'PY'
import struct, sys, zipfile
zip_path, top, readme = sys.argv[1:]
z = zipfile.ZipFile(zip_path)
names = sorted(n for n in z.namelist() if not n.endswith("/"))
want = sorted(top + "/" + n for n in ("folmar.exe", "README.txt", "Folmar.ini"))
ok = True
def bad(text):
    global ok
    print("FAIL: " + text)
    ok = False
if names != want:
    bad("the zip holds %s, want %s" % (names, want))
else:
    for n in ("README.txt", "Folmar.ini"):
        data = z.read(top + "/" + n)
        if data.count(b"\n") == 0 or data.count(b"\n") != data.count(b"\r\n"):
            bad(n + " does not have CR LF line ends throughout")
    if z.read(top + "/README.txt").replace(b"\r\n", b"\n") != open(readme, "rb").read():
        bad("README.txt is not the README")
    exe = z.read(top + "/folmar.exe")
    pe = struct.unpack_from("<I", exe, 60)[0] if exe[:2] == b"MZ" else 0
    if not pe or exe[pe:pe + 4] != b"PE\0\0" or struct.unpack_from("<H", exe, pe + 4)[0] != 0x8664:
        bad("folmar.exe is not a 64-bit Windows program")
    z.extractall(sys.argv[1] + ".d")
if ok:
    print("ok: the zip holds %s" % ", ".join(n.split("/")[-1] for n in names))
sys.exit(0 if ok else 1)
PY
    then
        fail "the zip's contents (above)"; return 0
    fi
    wine_part "$zip.d/$name"
}

# folmar.exe from the zip under wine, started in its folder (drive B) so that
# it reads the sample Folmar.ini beside it, reporting the tree as drive D.
wine_part() {
    local dir=$1 rc
    if ! have wine && [ ! -x /usr/lib/wine/wine64 ]; then skip "folmar.exe under wine: wine is not installed"; return 0; fi
    echo "=== folmar.exe from the zip under wine"
    pfx=$tmp/pfx
    if ! bash "$root/tests/wine/make-prefix.sh" "$pfx" win10 C=,cdrom Z=- D="$tree" B="$dir,cdrom" \
        >"$tmp/prefix.log" 2>&1 || ! sh "$root/tests/wine/wine-server.sh" start "$pfx"; then
        cat "$tmp/prefix.log"; fail "cannot make a wine prefix"; return 0
    fi
    rc=0
    (cd "$dir" && WINEPREFIX=$pfx sh "$root/tests/wine/wine-run.sh" "$dir/folmar.exe" '/?' \
        </dev/null >"$tmp/help.txt" 2>/dev/null) || rc=$?
    if [ "$rc" = 1 ] && grep -q "Usage:" "$tmp/help.txt"; then echo "ok: folmar.exe /? under wine"; else
        fail "folmar.exe /? under wine exited with $rc"; fi
    rc=0
    (cd "$dir" && WINEPREFIX=$pfx sh "$root/tests/wine/wine-run.sh" "$dir/folmar.exe" 'D:\' \
        </dev/null >"$tmp/wreport.crlf" 2>/dev/null) || rc=$?
    [ "$rc" = 0 ] || fail "folmar.exe 'D:\\' under wine exited with $rc"
    tr -d '\r' <"$tmp/wreport.crlf" >"$tmp/wreport.txt"
    check_settings_read "folmar.exe with the zip's Folmar.ini" "$tmp/wreport.txt"
    check_report "folmar.exe under wine" "$tmp/wreport.txt"
}

started=$(date +%s)
deb_part
zip_part
echo "=== package checks: $(( $(date +%s) - started )) s"
if [ "$failures" -ne 0 ]; then
    echo "Package checks FAILED ($failures failure(s))"
    exit 1
fi
if [ "$skipped" -ne 0 ]; then
    echo "Package checks passed, with $skipped part(s) SKIPPED (see above)"
else
    echo "Package checks passed"
fi
