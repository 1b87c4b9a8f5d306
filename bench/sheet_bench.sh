#!/usr/bin/env bash
# Sheet export benchmark: ROWS rows of fourteen short Chinese and ASCII texts
# written (1) through the row workbook a run writes into (rows: whole rows,
# the save built beside the destination, synced, read back and renamed),
# (2) the same as CSV, (3) by a minimal direct libxlsxwriter loop and (4) by
# openpyxl in write-only mode. Prints wall and CPU seconds, peak RSS, the
# ratios, the peak space the row workbook takes on the destination's file
# system (on a tmpfs of its own when run as root, so that nothing else
# writing there counts) and every file it creates under /tmp (strace).
#
#   bash bench/sheet_bench.sh [ROWS]        (default 1000000)
#   BUILD_DIR=... picks the build directory (default build); it is configured
#   with -DQUILLMERE_BUILD_BENCH=ON and the benchmark built if needed.
#   SKIP_OPENPYXL=1 leaves openpyxl out (it takes minutes).
set -euo pipefail
cd "$(dirname "$0")/.."

rows=${1:-1000000}
build_dir=${BUILD_DIR:-build}
python=/usr/bin/python3  # the interpreter with python3-openpyxl

if [[ ! -x "$build_dir/bench/sheet_bench" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DQUILLMERE_BUILD_BENCH=ON >/dev/null
fi
ninja -C "$build_dir" -j2 sheet_bench >/dev/null

out_dir=$(mktemp -d "${TMPDIR:-/tmp}/quillmere-sheet-bench-XXXXXX")
# The row workbook's destination: a file system of its own where possible.
dest=$out_dir/dest
mkdir -p "$dest"
if [[ $(id -u) == 0 ]] && mount -t tmpfs -o size=4g tmpfs "$dest" 2>/dev/null; then
  dest_note="a tmpfs of its own"
else
  dest_note="shared with whatever else writes there: the peak is approximate"
fi
trap 'umount "$dest" 2>/dev/null || true; rm -rf "$out_dir"' EXIT

# run NAME FILE COMMAND...: runs it under /usr/bin/time -v, its output kept
# in $out_dir/NAME.out, and records wall seconds, user+system seconds and
# peak RSS in MB; then shows the size of FILE, its output, and removes FILE.
declare -A wall cpu rss
run() {
  local name=$1 file=$2; shift 2
  local log="$out_dir/$name.time"
  /usr/bin/time -v -o "$log" "$@" >"$out_dir/$name.out"
  cat "$out_dir/$name.out"
  wall[$name]=$(awk -F': ' '/Elapsed \(wall clock\)/ {
      n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.2f", s }' "$log")
  cpu[$name]=$(awk -F': ' '/User time/ {u = $2} /System time/ {s = $2} END {printf "%.2f", u + s}' "$log")
  rss[$name]=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$log")
  ls -l "$file" | awk '{printf "  file: %.1f MB\n", $5 / 1048576}'
  rm -f "$file"
}

run direct "$dest/direct.xlsx" "$build_dir/bench/sheet_bench" direct "$rows" "$dest/direct.xlsx"
run rows "$dest/rows.xlsx" "$build_dir/bench/sheet_bench" rows "$rows" "$dest/rows.xlsx"
run csv "$dest/rows.csv" "$build_dir/bench/sheet_bench" csv "$rows" "$dest/rows.csv"
names=(rows csv direct)
if [[ "${SKIP_OPENPYXL:-0}" != 1 ]]; then
  run openpyxl "$out_dir/openpyxl.xlsx" "$python" bench/sheet_bench_openpyxl.py "$rows" "$out_dir/openpyxl.xlsx"
  names+=(openpyxl)
fi

echo
printf '%-10s %10s %10s %12s\n' method wall_s cpu_s peak_rss_MB
for name in "${names[@]}"; do
  printf '%-10s %10s %10s %12s\n' "$name" "${wall[$name]}" "${cpu[$name]}" "${rss[$name]}"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
echo "rows / direct libxlsxwriter: wall $(ratio "${wall[rows]}" "${wall[direct]}")x," \
     "cpu $(ratio "${cpu[rows]}" "${cpu[direct]}")x   (goal <= 1.2; rows also syncs and reads back)"
echo "  $(grep 'read-back alone' "$out_dir/rows.out")"
echo "  $(grep 'peak space' "$out_dir/rows.out")   ($dest_note)"
echo "  $(grep 'peak space' "$out_dir/csv.out")"
if command -v strace >/dev/null; then
  strace -f -qq -e trace=open,openat,creat,mkdir,mkdirat -o "$out_dir/rows.strace" \
    "$build_dir/bench/sheet_bench" rows "$rows" "$dest/traced.xlsx" >/dev/null
  tmp_writes=$(grep -E '"/tmp[/"]' "$out_dir/rows.strace" | grep -Ev "\"$out_dir" | grep -cE 'O_CREAT|O_WRONLY|O_RDWR|O_TMPFILE|creat\(|mkdir' || true)
  echo "files the row workbook created or wrote under /tmp (outside the destination): $tmp_writes   (goal 0)"
  strace -f -qq -e trace=open,openat,creat,mkdir,mkdirat -o "$out_dir/direct.strace" \
    "$build_dir/bench/sheet_bench" direct 1000 "$dest/traced.xlsx" >/dev/null
  echo "  (the same count for the bare loop, which keeps its rows in /tmp:" \
       "$(grep -E '"/tmp[/"]' "$out_dir/direct.strace" | grep -Ev "\"$out_dir" | grep -cE 'O_CREAT|O_WRONLY|O_RDWR|O_TMPFILE|creat\(|mkdir' || true))"
fi
if [[ -n "${wall[openpyxl]:-}" ]]; then
  echo "openpyxl / rows: wall $(ratio "${wall[openpyxl]}" "${wall[rows]}")x," \
       "cpu $(ratio "${cpu[openpyxl]}" "${cpu[rows]}")x   (goal >= 5)"
fi
echo "rows peak RSS: ${rss[rows]} MB   (goal < 100)"
