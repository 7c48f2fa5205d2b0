#!/usr/bin/env bash
# check-packages.sh: makes the .deb (in build) and the Windows zips (64-bit in build-win, 32-bit in build-win32)
# with CPack and checks what a user gets: names, fields, files, lintian's verdict, the conffile, the manual page,
# each exe's version resource; folmar installed from the .deb and folmar.exe from each zip (under wine) run on a
# small tree with the sample Folmar.ini, and the installed folmar in an empty folder with the system's; the .deb
# purged. Exits 1 on any failure; a part whose tools are missing prints SKIPPED. Arguments name the parts to run
# (deb, win64, win32; all by default).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^#define FOLMAR_VERSION "\(.*\)"$/\1/p' "$root/common/version.h")
failures=0 skipped=0 installed=0 pfx=""
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIPPED (not run, not passed): $*"; skipped=$((skipped + 1)); }
have() { for tool in "$@"; do command -v "$tool" >/dev/null || return 1; done; }
tmp=$(mktemp -d /tmp/folmar-pkg.XXXXXX)
cleanup() {
    [ "$installed" = 0 ] || dpkg --purge folmar >/dev/null
    [ -z "$pfx" ] || bash "$root/tests/wine/wine-prefix.sh" "$pfx" stop
    rm -rf "$tmp"
}
trap cleanup EXIT

# The small tree: 4 directories, 4 files, 15,945 bytes.
mkdir -p "$tmp/tree/a/b" "$tmp/tree/with space" "$tmp/work"
for file in f1:1000 a/f2:2500 a/b/f3:100 "with space/f4:12345"; do
    head -c "${file#*:}" /dev/zero >"$tmp/tree/${file%:*}"
done

# package GENERATOR FOLDER [CMAKE ARGS]: FOLDER built (configured without tests if new), its package in $tmp/GENERATOR.
package() {
    local generator=$1 dir=$root/$2; shift 2
    { [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root" -B "$dir" -DFOLMAR_TESTS=OFF "$@" >/dev/null; } &&
        cmake --build "$dir" -j2 >/dev/null &&
        (cd "$dir" && cpack -G "$generator" -B "$tmp/$generator" >"$tmp/cpack.log" 2>&1) ||
        { cat "$tmp/cpack.log"; fail "building $2 or cpack -G $generator"; return 1; }
}

# check_run NAME DIR COMMAND...: COMMAND, run in DIR, accepts the sample Folmar.ini there and reports the tree.
check_run() {
    local name=$1 dir=$2 out=$tmp/report.txt totals; shift 2
    (cd "$dir" && "$@" </dev/null >"$out" 2>&1) || fail "$name exited with $?"
    totals=$(grep -E '^ +(Number of Dirs\.|Number of Files|Allocation) ' "$out" | head -n 3 |
        grep -oE '[0-9][0-9,]*' | tr '\n' ' ')
    grep -q "File Not Found\|Invalid User Parameter" "$out" && totals+="(the sample Folmar.ini not read or accepted)"
    [ "$totals" = "4 4 15,945 " ] || { fail "$name: totals '$totals', want '4 4 15,945 '"; sed 's/^/    | /' "$out"; }
}

# check_version_resource EXE WINDRES: the version resource of EXE, read back by WINDRES, names the product, its
# version and its copyright.
check_version_resource() {
    local want got
    want=$(printf 'VALUE "%s", "%s"\n' FileDescription "Folmar directory summary report generator" \
        FileVersion "$version" LegalCopyright "Copyright (c) 2026 the Folmar authors" ProductName Folmar \
        ProductVersion "$version")
    got=$("$2" -J coff -O rc -i "$1" 2>&1 | grep -oE 'VALUE "(File|Product|Legal)[A-Za-z]*", ".*"' | LC_ALL=C sort)
    [ "$got" = "$want" ] || fail "the version resource of $1 holds '$got'"
}

# check_readme FILE: the Windows user's README.txt: CR LF line ends, printable ASCII (in every code page), lines
# under 80 columns, and the three example commands.
check_readme() {
    local long
    if LC_ALL=C grep -qv $'^[ -~]*\r$' "$1"; then
        fail "$1: a line without CR LF or with a character beyond ASCII:"
        LC_ALL=C grep -nv $'^[ -~]*\r$' "$1" | head -n 3 | cat -A | sed 's/^/    | /'
    fi
    long=$(tr -d '\r' <"$1" | awk 'length($0) >= 80 { printf "%d ", NR }')
    [ -z "$long" ] || fail "$1: lines of 80 columns or more: $long"
    for command in 'folmar D: /C > d.txt' 'folmar /ALL' 'folmar C:\Users /X:users.csv'; do
        grep -qxF "  $command"$'\r' "$1" || fail "$1 has no example line '  $command'"
    done
}

deb_part() {
    local deb depends man=/usr/share/man/man1/folmar.1.gz
    have cmake cpack dpkg-deb dpkg-shlibdeps || { skip "Debian package: needs cmake and dpkg-dev"; return; }
    package DEB build || return
    deb=$tmp/DEB/folmar_${version}_$(dpkg --print-architecture).deb
    [ -f "$deb" ] || { fail "no $(basename "$deb"); cpack made: $(ls "$tmp/DEB")"; return; }
    [ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "not in Section utils: $(dpkg-deb -f "$deb")"
    # Depends: the shared libraries dpkg-shlibdeps found, libc6 among them, nothing else.
    depends=$(dpkg-deb -f "$deb" Depends)
    grep -q '^libc6 ' <<<"$depends" && ! tr ',' '\n' <<<"$depends" | grep -vqE '^ ?lib[a-z0-9.+-]+ \(>= [^)]+\)$' ||
        fail "Depends: $depends"
    diff <(printf '%s\n' ./etc/folmar/Folmar.ini ./usr/bin/folmar \
        ./usr/share/doc/folmar/{Folmar.ini,README.md,changelog.gz,copyright} ".$man") \
        <(dpkg-deb -c "$deb" | awk '!/\/$/ { print $NF }' | LC_ALL=C sort) || fail "the files of the .deb (diff above)"
    [ "$(dpkg-deb -I "$deb" conffiles)" = /etc/folmar/Folmar.ini ] || fail "conffiles: $(dpkg-deb -I "$deb" conffiles)"
    if ! have lintian; then
        skip "lintian on the .deb: lintian is not installed"
    elif ! lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1; then
        fail "lintian reports errors or warnings:"
        sed 's/^/    | /' "$tmp/lintian.log"
    fi

    [ "$(id -u)" = 0 ] || { skip "installing the .deb: not root"; return; }
    dpkg -s folmar >/dev/null 2>&1 && { skip "installing the .deb: a folmar package is installed already"; return; }
    installed=1  # the path-includes undo the path-excludes of slim Debian images
    dpkg --path-include="$man" --path-include='/usr/share/doc/folmar/*' -i "$deb" >"$tmp/dpkg.log" 2>&1 ||
        { cat "$tmp/dpkg.log"; fail "dpkg -i"; return; }
    cp /usr/share/doc/folmar/Folmar.ini "$tmp/work/"
    check_run "the installed folmar" "$tmp/work" env FOLMAR_DRIVES="C=$tmp/tree;D=$tmp/work" /usr/bin/folmar 'C:\'
    # In a folder without settings, for a user without any, /etc/folmar/Folmar.ini is read: no notice, no wait.
    mkdir "$tmp/empty" && (cd "$tmp/empty" && env -u FOLMAR_DRIVES XDG_CONFIG_HOME="$tmp/empty" /usr/bin/folmar \
        </dev/null >"$tmp/plain.txt" 2>&1) || fail "the installed folmar in an empty folder exited with $?"
    ! grep -q "Press Enter\|File Not Found" "$tmp/plain.txt" && grep -q '^ *Number of Dirs\. *= *1$' "$tmp/plain.txt" ||
        { fail "the installed folmar in an empty folder:"; sed 's/^/    | /' "$tmp/plain.txt"; }
    if ! have groff man; then
        skip "the manual page: needs groff and man (groff-base, man-db)"
    elif ! { zcat "$man" | groff -ww -man -z; MANWIDTH=80 man --warnings -l "$man" >/dev/null; } >"$tmp/man.log" 2>&1 ||
        [ -s "$tmp/man.log" ] || [ "$(man -w folmar)" != "$man" ]; then
        fail "the manual page: man -w folmar gives '$(man -w folmar)'; groff and man say:"
        sed 's/^/    | /' "$tmp/man.log"
    fi
    dpkg --purge folmar >/dev/null && installed=0 && [ ! -e /usr/bin/folmar ] && [ ! -e /etc/folmar ] ||
        fail "dpkg --purge folmar"
}

# zip_part SYSTEM FOLDER TRIPLE TOOLCHAIN: the Windows zip folmar-<version>-SYSTEM.zip of the cross build in FOLDER.
zip_part() {
    local name=folmar-$version-$1 dir=$tmp/unzip/folmar-$version-$1 build=$2
    have cmake cpack "$3-g++" || { skip "Windows zip $name: needs cmake and $3-g++"; return; }
    package ZIP "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$4" || return
    mkdir -p "$tmp/unzip" && (cd "$tmp/unzip" && cmake -E tar xf "$tmp/ZIP/$name.zip") ||
        { fail "cannot unpack $name.zip; cpack made: $(ls "$tmp/ZIP")"; return; }
    # One folder: folmar.exe, README.txt, LICENSE.txt and Folmar.ini, the texts with CR LF line ends.
    diff <(printf '%s\n' "./$name/"{Folmar.ini,LICENSE.txt,README.txt,folmar.exe}) \
        <(cd "$tmp/unzip" && find "./$name" -type f | LC_ALL=C sort) || fail "the files of $name.zip (diff above)"
    for text in README.txt:docs/README-windows.txt LICENSE.txt:LICENSE Folmar.ini:docs/Folmar.ini; do
        sed 's/$/\r/' "$root/${text#*:}" | cmp -s - "$dir/${text%:*}" || fail "${text%:*} is not ${text#*:} with CR LF"
    done
    check_readme "$dir/README.txt"
    check_version_resource "$dir/folmar.exe" "$3-windres"
    have wine || [ -x /usr/lib/wine/wine64 ] || { skip "folmar.exe of $name under wine: wine is not installed"; return; }
    [ "$1" != win32 ] || [ -x /usr/lib/wine/wine ] ||
        { skip "folmar.exe of $name under wine: 32-bit wine (wine32) is not installed"; return; }
    # Started in its folder (on B:) it reads the zip's Folmar.ini; D: is the tree.
    if [ -z "$pfx" ]; then
        pfx=$tmp/pfx
        bash "$root/tests/wine/wine-prefix.sh" "$pfx" win10 C=,cdrom Z=- D="$tmp/tree" B="$tmp/unzip,cdrom" ||
            { fail "cannot make a wine prefix"; pfx=""; return; }
    fi
    check_run "folmar.exe from $name.zip under wine" "$dir" \
        env WINEPREFIX="$pfx" sh "$root/tests/wine/wine-run.sh" folmar.exe 'D:\'
}

# The parts named as arguments (deb, win64, win32), or all three.
parts=("$@")
[ $# -gt 0 ] || parts=(deb win64 win32)
for part in "${parts[@]}"; do
    case $part in
        deb) deb_part ;;
        win64) zip_part win64 build-win x86_64-w64-mingw32 mingw-w64-x86_64.cmake ;;
        win32) zip_part win32 build-win32 i686-w64-mingw32 mingw-w64-i686.cmake ;;
        *) echo "check-packages.sh: no part '$part' (deb, win64, win32)"; exit 2 ;;
    esac
done
[ "$failures" = 0 ] || { echo "Package checks FAILED ($failures failure(s))"; exit 1; }
echo "Package checks passed ($skipped part(s) SKIPPED)"
