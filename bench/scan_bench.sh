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

now_ns() { date +%s%N; }
median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# Warm the page cache and the dentry cache for both.
find "$work/tree" >/dev/null
"$driver" "$work/tree" >/dev/null

find_ms=() scan_ms=() inner_ms=() report=""
for ((i = 0; i < reps; i++)); do
  t0=$(now_ns); find "$work/tree" >/dev/null; t1=$(now_ns)
  find_ms+=("$(( (t1 - t0) / 1000 ))")
  t0=$(now_ns); report=$("$driver" "$work/tree"); t1=$(now_ns)
  scan_ms+=("$(( (t1 - t0) / 1000 ))")
  inner_ms+=("$(sed -n 's/.*scan_ms=\([0-9.]*\).*/\1/p' <<<"$report")")
done

find_median=$(printf '%s\n' "${find_ms[@]}" | median)
scan_median=$(printf '%s\n' "${scan_ms[@]}" | median)
inner_median=$(printf '%s\n' "${inner_ms[@]}" | median)
echo "tree: $(find "$work/tree" -type f | wc -l) files, $(find "$work/tree" -type d | wc -l) directories"
echo "last run: $report"
awk -v f="$find_median" -v s="$scan_median" -v i="$inner_median" -v n="$reps" 'BEGIN {
  printf "find DIR (process)        median %8.1f ms over %d runs\n", f / 1000, n
  printf "ScanImageFolder (process) median %8.1f ms\n", s / 1000
  printf "ScanImageFolder (in-process scan only) median %8.1f ms\n", i
  printf "scan / find: %.2f\n", s / f
}'
