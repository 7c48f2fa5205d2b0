#!/bin/bash
# wine-prefix.sh DIR [VERSION] [LETTER=FOLDER[,TYPE]]...   |   wine-prefix.sh DIR stop
# Makes a throwaway wine prefix in DIR (4-6 s, 700 MB) or sets up the one
# there: the Windows version (win95: build 950, win10: 9200) and the drive
# letters (TYPE: fixed, remote, cdrom, removable, ramdisk; a missing FOLDER
# is a drive never ready; LETTER=,TYPE retypes a letter, LETTER=- removes it).
# Its wineserver then stays up, so a wine run takes milliseconds and returns
# when its program ends even if its stderr is a pipe; "stop" ends it.
set -euo pipefail
trap 'echo "wine-prefix.sh: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
[ $# -ge 1 ] || { echo "usage: wine-prefix.sh DIR [VERSION] [LETTER=FOLDER[,TYPE]]... | DIR stop" >&2; exit 2; }
WINEPREFIX=$(realpath -m -- "$1"); export WINEPREFIX; shift
run="sh $(dirname "$0")/wine-run.sh"
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
stop() { "$server" -k 2>/dev/null || true; "$server" -w 2>/dev/null || true; }
[ "${1:-}" != stop ] || { stop; exit 0; }
# A wine command right after the prefix or its server (re)starts fails now
# and then: each is given three tries.
again() { "$@" || { sleep 1; "$@"; } || { sleep 2; "$@"; }; }
add() { again $run reg add "$@" /f </dev/null >/dev/null 2>&1; }
remove() { $run reg delete "$@" /f </dev/null >/dev/null 2>&1 || true; }  # there or not
drives='HKLM\Software\Wine\Drives'

[ -f "$WINEPREFIX/system.reg" ] || $run wineboot -i </dev/null >/dev/null 2>&1 ||
    { echo "wine-prefix.sh: wineboot failed in $WINEPREFIX" >&2; exit 1; }
if [ $# -ge 1 ] && [[ $1 != *=* ]]; then add 'HKCU\Software\Wine' /v Version /d "$1"; shift; fi
for spec in "$@"; do
    letter=${spec%%=*}; letter=${letter,,}; rest=${spec#*=}
    folder=${rest%%,*}; type=${rest#"$folder"}; type=${type#,}
    link=$WINEPREFIX/dosdevices/$letter:
    if [ "$rest" = - ]; then rm -f -- "$link"; remove "$drives" /v "$letter:"; continue; fi
    [ -z "$folder" ] || ln -sfn -- "$(realpath -m -- "$folder")" "$link"
    case $type in
        "") remove "$drives" /v "$letter:" ;;
        fixed) add "$drives" /v "$letter:" /d hd ;;
        remote) add "$drives" /v "$letter:" /d network ;;
        removable) add "$drives" /v "$letter:" /d floppy ;;
        cdrom | ramdisk) add "$drives" /v "$letter:" /d "$type" ;;
        *) echo "wine-prefix.sh: unknown drive type '$type' in '$spec'" >&2; exit 2 ;;
    esac
done
# Drive letters and types are read when the wineserver starts: it is started
# afresh, to stay (-p), with wine's services, their output on /dev/null.
stop
"$server" -p </dev/null >/dev/null 2>&1
again $run cmd /c exit 0 </dev/null >/dev/null 2>&1
