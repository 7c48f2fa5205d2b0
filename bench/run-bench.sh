#!/usr/bin/env bash
# run-bench.sh: times a single-path report of folmar against du over the
# synthetic benchmark tree (bench/make-tree.py, scale 1 unless SCALE is set), warm
# cache, the three commands alternating for several rounds, and prints the
# median times, the ratios folmar/du and the peak RSS of each.
#
# Usage: bench/run-bench.sh            (from anywhere; the repository's
#        build/folmar is used, a Release build)
# Environment: SCALE (1), ROUNDS (7), WARMUP (2), BENCH_DIR (/tmp/folmar-bench),
#              FOLMAR (the program, default <repo>/build/folmar).
# Requires: bash, python3, GNU time (/usr/bin/time), du.

set -euo pipefail
export LC_ALL=C

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

FOLMAR=${FOLMAR:-$REPO/build/folmar}
SCALE=${SCALE:-1}
ROUNDS=${ROUNDS:-7}
WARMUP=${WARMUP:-2}
BENCH_DIR=${BENCH_DIR:-/tmp/folmar-bench}
TREE=$BENCH_DIR/tree-s$SCALE
STAMP=$BENCH_DIR/tree-s$SCALE.made2.txt

[[ -x $FOLMAR ]] || { echo "$0: $FOLMAR not found; build it first (cmake -S . -B build && cmake --build build)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "$0: /usr/bin/time not found (Debian package 'time')" >&2; exit 1; }

# The tree is made once and kept: its stamp holds make-tree's own figures. A
# tree made before dot-directories were counted (its stamp .made.txt) gets
# them anew without being made again; a fresh one gets the older stamp too.
OLD_STAMP=$BENCH_DIR/tree-s$SCALE.made.txt
if [[ ! -f $STAMP && -f $OLD_STAMP ]]; then
    python3 "$REPO/bench/make-tree.py" --figures "$TREE" "$SCALE" > "$STAMP.tmp"
    mv "$STAMP.tmp" "$STAMP"
fi
if [[ ! -f $STAMP ]]; then
    rm -rf "$TREE"
    mkdir -p "$BENCH_DIR"
    echo "making the scale-$SCALE tree in $TREE ..." >&2
    python3 "$REPO/bench/make-tree.py" "$TREE" "$SCALE" > "$STAMP.tmp"
    sed -n 's/^dotless //p' "$STAMP.tmp" > "$OLD_STAMP"
    mv "$STAMP.tmp" "$STAMP"
fi

OUT=$(mktemp -d --tmpdir folmar-bench.XXXXXX)
trap 'rm -rf "$OUT"' EXIT

# C is the tree's parent, so the target is a directory of drive C.
export FOLMAR_DRIVES="C=$BENCH_DIR"
NAMES=(folmar du-S du-s)
run() {     # run NAME: one timed run, appends "seconds peak-KiB" to $OUT/NAME
    local name=$1 start end
    local -a cmd
    case $name in
        folmar) cmd=("$FOLMAR" "C:\\tree-s$SCALE") ;;
        du-S) cmd=(du -S --apparent-size -B1 "$TREE") ;;
        du-s) cmd=(du -s --apparent-size -B1 "$TREE") ;;
    esac
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$OUT/rss" "${cmd[@]}" < /dev/null > "$OUT/$name.out"
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(cat "$OUT/rss")" >> "$OUT/$name"
}

for ((i = 0; i < WARMUP; i++)); do
    for name in "${NAMES[@]}"; do run "$name"; done
done
for name in "${NAMES[@]}"; do : > "$OUT/$name"; done
for ((i = 0; i < ROUNDS; i++)); do
    for name in "${NAMES[@]}"; do run "$name"; done
done

# The report's totals must be make-tree's figures (the target itself counts
# as one directory in a single-path report).
python3 - "$OUT" "$STAMP" "$SCALE" "$ROUNDS" <<'PYTHON'
import re, statistics, sys
out, stamp, scale, rounds = sys.argv[1:]
made = dict(re.findall(r"^(directories|entries|bytes):\s+(\d+)", open(stamp).read(), re.M))
report = open(out + "/folmar.out", encoding="latin-1").read()
got = {k: int(v.replace(",", "")) for k, v in re.findall(
    r"^   (Number of Dirs\.|Number of Files|Allocation) += +([\d,]+)", report, re.M)}
want = {"Number of Dirs.": int(made["directories"]) + 1,
        "Number of Files": int(made["entries"]), "Allocation": int(made["bytes"])}
if got != want:
    print("folmar totals differ from make-tree's figures: got %r, want %r" % (got, want))
    sys.exit(1)

runs = {}
for name in ("folmar", "du-S", "du-s"):
    rows = [line.split() for line in open(out + "/" + name)]
    runs[name] = ([int(r[0]) / 1e6 for r in rows], [int(r[1]) for r in rows])
print("scale-%s tree, %s rounds, warm cache, commands alternating; folmar totals checked" % (scale, rounds))
print("%-8s %9s %9s %9s %12s" % ("command", "median s", "min s", "max s", "peak RSS"))
for name, (secs, rss) in runs.items():
    print("%-8s %9.3f %9.3f %9.3f %8.1f MiB" % (name, statistics.median(secs), min(secs), max(secs), max(rss) / 1024))
f = runs["folmar"]
for peer in ("du-S", "du-s"):
    p = runs[peer]
    print("folmar/%-5s time %.2f (median), %.2f (min); peak RSS %.2f" % (
        peer, statistics.median(f[0]) / statistics.median(p[0]), min(f[0]) / min(p[0]),
        max(f[1]) / max(p[1])))
PYTHON
