#!/usr/bin/env bash
# check-packages.sh: makes the .deb (in build) and the Windows zip (in
# build-win) with CPack and checks what a user gets: names, fields, files, the
# manual page; folmar installed from the .deb and folmar.exe from the zip
# (under wine) run on a small tree with the sample Folmar.ini; the .deb removed.
# Exits 1 on any failure; a part whose tools are missing prints SKIPPED.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^#define FOLMAR_VERSION "\(.*\)"$/\1/p' "$root/common/version.h")
failures=0 skipped=0 installed=0 pfx=""
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIPPED (not run, not passed): $*"; skipped=$((skipped + 1)); }
# missing TOOL...: names the first tool that is not installed.
missing() {
    for tool in "$@"; do command -v "$tool" >/dev/null || { echo "$tool is not installed"; return 0; }; done
    return 1
}
tmp=$(mktemp -d /tmp/folmar-pkg.XXXXXX)
cleanup() {
    [ "$installed" = 0 ] || dpkg -r folmar >/dev/null
    [ -z "$pfx" ] || bash "$root/tests/wine/wine-prefix.sh" "$pfx" stop
    rm -rf "$tmp"
}
trap cleanup EXIT

# The small tree: 4 directories, 4 files, 15,945 bytes.
mkdir -p "$tmp/tree/a/b" "$tmp/tree/with space" "$tmp/work"
for file in f1:1000 a/f2:2500 a/b/f3:100 "with space/f4:12345"; do
    head -c "${file#*:}" /dev/zero >"$tmp/tree/${file%:*}"
done

# make_build FOLDER [CMAKE ARGS]: builds FOLDER, configured (without tests) if new.
make_build() {
    local dir=$root/$1; shift
    { [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root" -B "$dir" -DFOLMAR_TESTS=OFF "$@" >/dev/null; } &&
        cmake --build "$dir" -j2 >/dev/null
}

# check_run NAME DIR COMMAND...: COMMAND, run in DIR beside the sample
# Folmar.ini, reports the tree; the sample is read and every line accepted.
check_run() {
    local name=$1 dir=$2 out=$tmp/report.txt totals; shift 2
    (cd "$dir" && "$@" </dev/null 2>&1 | tr -d '\r' >"$out") || fail "$name exited with ${PIPESTATUS[0]}"
    totals=$(sed -n 's/^ *\(Number of Dirs\.\|Number of Files\|Allocation\) *= *\([0-9,]*\).*/\2/p' "$out" |
        head -n 3 | tr '\n' ' ')
    grep -q "File Not Found\|Invalid User Parameter" "$out" && totals+="(the sample Folmar.ini not read or accepted)"
    if [ "$totals" = "4 4 15,945 " ]; then echo "ok: $name reports 4 dirs, 4 files, 15,945 bytes"; return; fi
    fail "$name: totals '$totals', want '4 4 15,945 '"
    sed 's/^/    | /' "$out"
}

deb_part() {
    local why deb depends before=$failures man=/usr/share/man/man1/folmar.1
    why=$(missing cmake cpack dpkg-deb dpkg-shlibdeps) && { skip "Debian package: $why (dpkg-dev)"; return; }
    echo "=== Debian package"
    make_build build && (cd "$root/build" && cpack -G DEB -B "$tmp/deb" >"$tmp/cpack.log" 2>&1) ||
        { cat "$tmp/cpack.log"; fail "cpack -G DEB"; return; }
    deb=$tmp/deb/folmar_${version}_$(dpkg --print-architecture).deb
    [ -f "$deb" ] || { fail "no $(basename "$deb"); cpack made: $(ls "$tmp/deb")"; return; }
    [ "$(dpkg-deb -f "$deb" Package Version Section | tr '\n' ' ')" = \
        "Package: folmar Version: $version Section: utils " ] || fail "fields: $(dpkg-deb -f "$deb")"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
    # Depends: the shared libraries dpkg-shlibdeps found, libc6 among them, nothing else.
    depends=$(dpkg-deb -f "$deb" Depends)
    grep -q '^libc6 ' <<<"$depends" && ! tr ',' '\n' <<<"$depends" | grep -vqE '^ ?lib[a-z0-9.+-]+ \(>= [^)]+\)$' ||
        fail "Depends: $depends"
    diff <(printf '%s\n' ./usr/bin/folmar ./usr/share/doc/folmar/{Folmar.ini,README.md} ".$man") \
        <(dpkg-deb -c "$deb" | awk '!/\/$/ { print $NF }' | sort) || fail "the files of the .deb (diff above)"
    [ "$failures" != "$before" ] || echo "ok: $(basename "$deb"), its fields and its 4 files"

    [ "$(id -u)" = 0 ] || { skip "installing the .deb: not root"; return; }
    dpkg -s folmar >/dev/null 2>&1 && { skip "installing the .deb: a folmar package is installed already"; return; }
    installed=1  # the path-includes undo the path-excludes of slim Debian images
    dpkg --path-include="$man" --path-include='/usr/share/doc/folmar/*' -i "$deb" >"$tmp/dpkg.log" 2>&1 ||
        { cat "$tmp/dpkg.log"; fail "dpkg -i"; return; }
    cp /usr/share/doc/folmar/Folmar.ini "$tmp/work/"
    check_run "the installed folmar" "$tmp/work" env FOLMAR_DRIVES="C=$tmp/tree;D=$tmp/work" /usr/bin/folmar 'C:\'
    if why=$(missing groff man); then
        skip "the manual page: $why (groff-base, man-db)"
    elif { groff -ww -man -z "$man"; MANWIDTH=80 man --warnings -l "$man" >/dev/null; } >"$tmp/man.log" 2>&1 &&
        [ ! -s "$tmp/man.log" ] && [ "$(man -w folmar)" = "$man" ]; then
        echo "ok: man -w finds the manual page; groff and man render it without warnings"
    else
        fail "the manual page: man -w folmar gives '$(man -w folmar)'; groff and man say:"
        sed 's/^/    | /' "$tmp/man.log"
    fi
    dpkg -r folmar >/dev/null && installed=0 && [ ! -e /usr/bin/folmar ] || fail "dpkg -r folmar"
}

zip_part() {
    local why name=folmar-$version-win64 dir
    why=$(missing cmake cpack python3 x86_64-w64-mingw32-g++) && { skip "Windows zip: $why"; return; }
    echo "=== Windows zip"
    make_build build-win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" &&
        (cd "$root/build-win" && cpack -G ZIP -B "$tmp/zip" >"$tmp/cpack.log" 2>&1) ||
        { cat "$tmp/cpack.log"; fail "cpack -G ZIP"; return; }
    [ -f "$tmp/zip/$name.zip" ] || { fail "no $name.zip; cpack made: $(ls "$tmp/zip")"; return; }
    # One folder: folmar.exe, README.txt and Folmar.ini, the README and the sample with CR LF line ends.
    python3 - "$tmp/zip/$name.zip" "$name" "$root" <<'PY' || { fail "the zip's contents"; return; }
import sys, zipfile
path, top, root = sys.argv[1:]
z = zipfile.ZipFile(path)
names = sorted(n for n in z.namelist() if not n.endswith("/"))
assert names == sorted(top + "/" + n for n in ("folmar.exe", "README.txt", "Folmar.ini")), names
for text, source in (("README.txt", "README.md"), ("Folmar.ini", "docs/Folmar.ini")):
    crlf = open(root + "/" + source, "rb").read().replace(b"\n", b"\r\n")
    assert z.read(top + "/" + text) == crlf, text + " is not " + source + " with CR LF line ends"
z.extractall(path + ".d")
PY
    echo "ok: $name.zip holds folmar.exe, README.txt and Folmar.ini"
    why=$(missing wine) && [ ! -x /usr/lib/wine/wine64 ] && { skip "folmar.exe under wine: $why"; return; }
    # Started in its folder (B:) it reads the zip's Folmar.ini; D: is the tree.
    pfx=$tmp/pfx dir=$tmp/zip/$name.zip.d/$name
    bash "$root/tests/wine/wine-prefix.sh" "$pfx" win10 C=,cdrom Z=- D="$tmp/tree" B="$dir,cdrom" ||
        { fail "cannot make a wine prefix"; return; }
    check_run "folmar.exe from the zip under wine" "$dir" \
        env WINEPREFIX="$pfx" sh "$root/tests/wine/wine-run.sh" folmar.exe 'D:\'
}

deb_part
zip_part
[ "$failures" = 0 ] || { echo "Package checks FAILED ($failures failure(s))"; exit 1; }
[ "$skipped" = 0 ] || echo "$skipped part(s) SKIPPED: see above"
echo "Package checks passed"
