#!/bin/bash
# wine-prefix.sh DIR [VERSION] [LETTER=FOLDER[,TYPE]]...   |   wine-prefix.sh DIR stop
# Makes a throwaway wine prefix in DIR (4-6 s, 700 MB) or sets up the one there: the Windows version (win95:
# build 950, win10: 9200) and the drive letters (TYPE: fixed, remote, cdrom, removable, ramdisk; a missing FOLDER
# is never ready; LETTER=,TYPE retypes, LETTER=- removes). Its wineserver stays up until "stop": a wine run then
# takes milliseconds and ends with its program even when its stderr is a pipe.
set -euo pipefail
trap 'echo "wine-prefix.sh: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
WINEPREFIX=$(realpath -m -- "$1"); export WINEPREFIX; shift
run="sh $(dirname "$0")/wine-run.sh"
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
stop() { "$server" -k 2>/dev/null || true; "$server" -w 2>/dev/null || true; }
[ "${1:-}" != stop ] || { stop; exit 0; }
# A wine command right after the prefix or its server (re)starts fails now and then: three tries.
again() { "$@" || { sleep 1; "$@"; } || { sleep 2; "$@"; }; }
add() { again $run reg add "$@" /f </dev/null >/dev/null 2>&1; }
remove() { $run reg delete "$@" /f </dev/null >/dev/null 2>&1 || true; }  # there or not
declare -A wine_types=([fixed]=hd [remote]=network [removable]=floppy [cdrom]=cdrom [ramdisk]=ramdisk)

[ -f "$WINEPREFIX/system.reg" ] || $run wineboot -i </dev/null >/dev/null 2>&1
if [ $# -ge 1 ] && [[ $1 != *=* ]]; then add 'HKCU\Software\Wine' /v Version /d "$1"; shift; fi
for spec in "$@"; do
    letter=${spec%%=*}; letter=${letter,,}; rest=${spec#*=}
    folder=${rest%%,*}; type=${rest#"$folder"}; type=${type#,}
    link=$WINEPREFIX/dosdevices/$letter:
    [ "$rest" != - ] || rm -f -- "$link"
    [ "$rest" = - ] || [ -z "$folder" ] || ln -sfn -- "$(realpath -m -- "$folder")" "$link"
    [ -n "$type" ] || remove 'HKLM\Software\Wine\Drives' /v "$letter:"
    [ -z "$type" ] || add 'HKLM\Software\Wine\Drives' /v "$letter:" /d "${wine_types[$type]?unknown TYPE in $spec}"
done
# Drives are read when the wineserver starts: it is restarted, to stay (-p), its services' output on /dev/null.
stop
"$server" -p </dev/null >/dev/null 2>&1
again $run cmd /c exit 0 </dev/null >/dev/null 2>&1
