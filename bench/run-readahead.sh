#!/usr/bin/env bash
# run-readahead.sh: times folmar with read-ahead on and off (FOLMAR_READAHEAD=0)
# against du -s, du -S and gdu (when installed), all commands alternating,
# on the scale-1 tree with a warm cache and with a cold one (the page cache
# dropped before every command; needs root) and on the scale-10 tree warm.
# Prints median times, ratios to du -s and peak RSS, how busy the rest of
# the machine kept its cores meanwhile (a shared machine skews a parallel
# walker most), and checks the targets:
# warm <= 0.6 x du -s, cold <= 0.7 x du -s and faster than gdu, scale 10
# peak RSS <= 16 MiB. Folmar's totals are checked against make-tree's figures,
# and its reports with read-ahead on and off must be the same.
#
# Usage: bench/run-readahead.sh   (FOLMAR: the program, default <repo>/build/folmar,
#        a Release build)
# Environment: ROUNDS (7, warm scale 1), COLD_ROUNDS (5), ROUNDS10 (3), WARMUP (2),
#              BENCH_DIR (/tmp/folmar-bench), SKIP_COLD=1, SKIP_SCALE10=1.
# Requires: bash, python3, GNU time (/usr/bin/time), du; gdu optional.

set -euo pipefail
export LC_ALL=C

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

FOLMAR=${FOLMAR:-$REPO/build/folmar}
ROUNDS=${ROUNDS:-7}
COLD_ROUNDS=${COLD_ROUNDS:-5}
ROUNDS10=${ROUNDS10:-3}
WARMUP=${WARMUP:-2}
BENCH_DIR=${BENCH_DIR:-/tmp/folmar-bench}

[[ -x $FOLMAR ]] || { echo "$0: $FOLMAR not found; build it first (cmake -S . -B build && cmake --build build)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "$0: /usr/bin/time not found (Debian package 'time')" >&2; exit 1; }

NAMES=(folmar-ra folmar-off du-s du-S)
command -v gdu > /dev/null && NAMES+=(gdu)

# make_tree SCALE: the tree is made once and kept; its stamp holds make-tree's
# figures. A tree made before dot-directories were counted (its stamp
# .made.txt) gets them anew without being made again; a fresh one gets the
# older stamp too.
make_tree() {
    local scale=$1 tree=$BENCH_DIR/tree-s$1 stamp=$BENCH_DIR/tree-s$1.made2.txt
    local old=$BENCH_DIR/tree-s$1.made.txt
    if [[ ! -f $stamp && -f $old ]]; then
        python3 "$REPO/bench/make-tree.py" --figures "$tree" "$scale" > "$stamp.tmp"
        mv "$stamp.tmp" "$stamp"
    fi
    [[ -f $stamp ]] && return
    local free
    free=$(df -Pi "$(dirname "$BENCH_DIR")" | awk 'NR == 2 { print $4 }')
    if (( free < 130000 * scale )); then
        echo "$0: too few free inodes ($free) for the scale-$scale tree" >&2; exit 1
    fi
    rm -rf "$tree"
    mkdir -p "$BENCH_DIR"
    echo "making the scale-$scale tree in $tree ..." >&2
    python3 "$REPO/bench/make-tree.py" "$tree" "$scale" > "$stamp.tmp"
    sed -n 's/^dotless //p' "$stamp.tmp" > "$old"
    mv "$stamp.tmp" "$stamp"
}

OUT=$(mktemp -d --tmpdir folmar-readahead.XXXXXX)
trap 'rm -rf "$OUT"' EXIT
export FOLMAR_DRIVES="C=$BENCH_DIR"   # C is the trees' parent

drop_caches() { sync; echo 3 > /proc/sys/vm/drop_caches; }
# CPU time of the whole machine so far, in clock ticks (iowait counts as idle).
cpu_busy() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 + $9 }' /proc/stat; }

# run PHASE SCALE NAME [cold]: one timed run; appends "microseconds peak-KiB
# cpu-seconds" to $OUT/PHASE.NAME.
run() {
    local phase=$1 scale=$2 name=$3 cold=${4:-} start end tree=$BENCH_DIR/tree-s$2
    local -a cmd
    case $name in
        folmar-ra) cmd=(env -u FOLMAR_READAHEAD "$FOLMAR" "C:\\tree-s$scale") ;;
        folmar-off) cmd=(env FOLMAR_READAHEAD=0 "$FOLMAR" "C:\\tree-s$scale") ;;
        du-s) cmd=(du -s --apparent-size -B1 "$tree") ;;
        du-S) cmd=(du -S --apparent-size -B1 "$tree") ;;
        gdu) cmd=(gdu -n -p -c -s -a --no-prefix "$tree") ;;
    esac
    [[ -n $cold ]] && drop_caches
    start=$(date +%s%N)
    /usr/bin/time -f '%M %U %S' -o "$OUT/rss" "${cmd[@]}" < /dev/null > "$OUT/$phase.$name.out"
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(awk '{ print $1, $2 + $3 }' "$OUT/rss")" >> "$OUT/$phase.$name"
}

# phase PHASE SCALE ROUNDS [cold]: every command once per round, the order
# rotated from round to round; warm phases begin with WARMUP untimed rounds.
phase() {
    local phase=$1 scale=$2 rounds=$3 cold=${4:-} i j n=${#NAMES[@]}
    if [[ -z $cold ]]; then
        for ((i = 0; i < WARMUP; i++)); do
            for name in "${NAMES[@]}"; do run "$phase" "$scale" "$name"; done
        done
    fi
    for name in "${NAMES[@]}"; do : > "$OUT/$phase.$name"; done
    local busy=$(cpu_busy) start=$(date +%s%N)
    for ((i = 0; i < rounds; i++)); do
        for ((j = 0; j < n; j++)); do run "$phase" "$scale" "${NAMES[(i + j) % n]}" "$cold"; done
    done
    echo "$phase $scale $BENCH_DIR/tree-s$scale.made2.txt $(( $(cpu_busy) - busy ))" \
         "$(getconf CLK_TCK) $(( ($(date +%s%N) - start) / 1000 ))" >> "$OUT/phases"
}

make_tree 1
phase warm1 1 "$ROUNDS"
if [[ -z ${SKIP_COLD:-} ]]; then
    if [[ -w /proc/sys/vm/drop_caches ]]; then
        phase cold1 1 "$COLD_ROUNDS" cold
    else
        echo "not root: the cold-cache phase is left out" >&2
    fi
fi
if [[ -z ${SKIP_SCALE10:-} ]]; then
    make_tree 10
    phase warm10 10 "$ROUNDS10"
fi

python3 - "$OUT" "${NAMES[@]}" <<'PYTHON'
import re, statistics, sys
out, names = sys.argv[1], sys.argv[2:]
FREE = re.compile(r"^(   (?:Total )?Free (?:S|s)pace(?: Avail\.)? *= *)[\d,]+", re.M)
failed = False
for line in open(out + "/phases"):
    phase, scale, stamp, busy, ticks, wall = line.split()
    made = dict(re.findall(r"^(directories|entries|bytes):\s+(\d+)", open(stamp).read(), re.M))
    want = {"Number of Dirs.": int(made["directories"]) + 1,
            "Number of Files": int(made["entries"]), "Allocation": int(made["bytes"])}
    reports = {}
    for name in ("folmar-ra", "folmar-off"):
        report = open("%s/%s.%s.out" % (out, phase, name), encoding="latin-1").read()
        got = {k: int(v.replace(",", "")) for k, v in re.findall(
            r"^   (Number of Dirs\.|Number of Files|Allocation) += +([\d,]+)", report, re.M)}
        if got != want:
            print("%s: %s totals %r, make-tree's %r" % (phase, name, got, want))
            failed = True
        reports[name] = FREE.sub(r"\1#", report)
    if reports["folmar-ra"] != reports["folmar-off"]:
        print("%s: the reports with read-ahead on and off differ" % phase)
        failed = True
    runs, own = {}, 0.0
    for name in names:
        rows = [r.split() for r in open("%s/%s.%s" % (out, phase, name))]
        runs[name] = ([int(r[0]) / 1e6 for r in rows], max(int(r[1]) for r in rows) / 1024)
        own += sum(float(r[2]) for r in rows)
    others = max(0.0, int(busy) / int(ticks) - own) / (int(wall) / 1e6)
    du = statistics.median(runs["du-s"][0])
    print("\n%s: scale-%s tree, %d rounds, commands alternating; folmar totals checked"
          % (phase, scale, len(runs["du-s"][0])))
    print("other work kept %.2f cores busy on average meanwhile" % others)
    print("%-11s %9s %9s %9s %9s %10s" % ("command", "median s", "min s", "max s", "/ du -s", "peak RSS"))
    for name, (secs, rss) in runs.items():
        print("%-11s %9.3f %9.3f %9.3f %9.2f %6.1f MiB" % (
            name, statistics.median(secs), min(secs), max(secs), statistics.median(secs) / du, rss))
    ra = statistics.median(runs["folmar-ra"][0])
    checks = []
    if phase == "warm1":
        checks.append(("warm, read-ahead <= 0.6 x du -s", ra <= 0.6 * du))
    if phase == "cold1":
        checks.append(("cold, read-ahead <= 0.7 x du -s", ra <= 0.7 * du))
        if "gdu" in runs:
            checks.append(("cold, read-ahead faster than gdu", ra < statistics.median(runs["gdu"][0])))
    if phase == "warm10":
        checks.append(("scale 10, read-ahead peak RSS <= 16 MiB", runs["folmar-ra"][1] <= 16))
    for text, ok in checks:
        print("  %-44s %s" % (text, "met" if ok else "NOT MET"))
sys.exit(1 if failed else 0)
PYTHON
