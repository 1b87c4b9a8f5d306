#!/usr/bin/env bash
# Folder scan benchmark: builds a tree of 100,000 files in nested folders
# and times ScanImageFolder against `find DIR` over the same tree, both as
# whole processes, interleaved, several repetitions; prints the medians and
# the memory the entry list takes per entry.
#
# usage: bench/scan_bench.sh [repetitions]   (QUILLMERE_BENCH_DIR: where the tree goes)
set -euo pipefail
cd "$(dirname "$0")/.."
reps=${1:-9}
build_dir=${QUILLMERE_BUILD_DIR:-build-bench}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_APP=OFF \
  -DQUILLMERE_BUILD_TESTS=OFF -DQUILLMERE_BUILD_BENCH=ON >/dev/null
ninja -C "$build_dir" -j2 scan_bench >/dev/null
driver="$build_dir/bench/scan_bench"

work=$(mktemp -d "${QUILLMERE_BENCH_DIR:-${TMPDIR:-/tmp}}/quillmere-scan-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# 10 volumes x 10 boxes x 1,000 pages; every other volume has a Chinese name,
# every tenth box has Chinese page names, so the name conversion is measured too.
python3 - "$work/tree" <<'PY'
import os, sys
root = sys.argv[1]
for v in range(10):
    volume = os.path.join(root, (f"卷{v:02d}" if v % 2 else f"vol{v:02d}"))
    for b in range(10):
        box = os.path.join(volume, f"box{b:02d}")
        os.makedirs(box)
        chinese = (v * 10 + b) % 10 == 3
        for p in range(1000):
            name = (f"档案-{p:05d}.jpg" if chinese else f"{v:02d}{b:02d}{p:05d}.jpg")
            os.close(os.open(os.path.join(box, name), os.O_CREAT | os.O_WRONLY, 0o644))
PY

# A folder changed in the last two seconds is read twice by the scan (its
# listing is not reused); archives being scanned have settled long before.
sleep 3

median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# Warm the page cache and the dentry cache for both.
find "$work/tree" >/dev/null
"$driver" "$work/tree" >/dev/null

# Wall time and CPU time (user + system) of each process, interleaved; CPU
# time is the steadier figure on a machine shared with other work.
TIMEFORMAT='%R %U %S'
: >"$work/find.times"
: >"$work/scan.times"
report=""
for ((i = 0; i < reps; i++)); do
  { time find "$work/tree" >/dev/null; } 2>>"$work/find.times"
  { time report=$("$driver" "$work/tree"); } 2>>"$work/scan.times"
  sed -n 's/.*scan_ms=\([0-9.]*\).*/\1/p' <<<"$report" >>"$work/inner.ms"
done

wall() { awk '{ print $1 * 1000 }' "$1" | median; }
cpu() { awk '{ print ($2 + $3) * 1000 }' "$1" | median; }
find_wall=$(wall "$work/find.times") find_cpu=$(cpu "$work/find.times")
scan_wall=$(wall "$work/scan.times") scan_cpu=$(cpu "$work/scan.times")
inner=$(median <"$work/inner.ms")

echo "tree: $(find "$work/tree" -type f | wc -l) files, $(find "$work/tree" -type d | wc -l) directories; $reps runs each"
echo "last run: $report"
awk -v fw="$find_wall" -v fc="$find_cpu" -v sw="$scan_wall" -v sc="$scan_cpu" -v i="$inner" 'BEGIN {
  printf "%-32s %10s %10s\n", "median", "wall ms", "cpu ms"
  printf "%-32s %10.1f %10.1f\n", "find DIR", fw, fc
  printf "%-32s %10.1f %10.1f\n", "scan_bench (whole process)", sw, sc
  printf "%-32s %10.1f\n", "ScanImageFolder alone", i
  printf "scan / find: wall %.2f, cpu %.2f\n", sw / fw, sc / fc
}'
