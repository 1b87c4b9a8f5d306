#!/usr/bin/env bash
# Sheet export benchmark: ROWS rows of fourteen short Chinese and ASCII texts
# written (1) through the row workbook as the run writes them, saved and
# verified, (2) by a minimal direct libxlsxwriter loop and (3) by openpyxl in
# write-only mode. Prints wall and CPU seconds, peak RSS and the ratios.
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
trap 'rm -rf "$out_dir"' EXIT

# run NAME COMMAND...: runs it under /usr/bin/time -v and records
# wall seconds, user+system seconds and peak RSS in MB.
declare -A wall cpu rss
run() {
  local name=$1; shift
  local log="$out_dir/$name.time"
  /usr/bin/time -v -o "$log" "$@"
  wall[$name]=$(awk -F': ' '/Elapsed \(wall clock\)/ {
      n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.2f", s }' "$log")
  cpu[$name]=$(awk -F': ' '/User time/ {u = $2} /System time/ {s = $2} END {printf "%.2f", u + s}' "$log")
  rss[$name]=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$log")
  ls -l "$out_dir/$name.xlsx" | awk '{printf "  file: %.1f MB\n", $5 / 1048576}'
}

run direct "$build_dir/bench/sheet_bench" direct "$rows" "$out_dir/direct.xlsx"
run rows "$build_dir/bench/sheet_bench" rows "$rows" "$out_dir/rows.xlsx"
names=(rows direct)
if [[ "${SKIP_OPENPYXL:-0}" != 1 ]]; then
  run openpyxl "$python" bench/sheet_bench_openpyxl.py "$rows" "$out_dir/openpyxl.xlsx"
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
     "cpu $(ratio "${cpu[rows]}" "${cpu[direct]}")x   (goal <= 1.3)"
if [[ -n "${wall[openpyxl]:-}" ]]; then
  echo "openpyxl / rows: wall $(ratio "${wall[openpyxl]}" "${wall[rows]}")x," \
       "cpu $(ratio "${cpu[openpyxl]}" "${cpu[rows]}")x   (goal >= 5)"
fi
echo "rows peak RSS: ${rss[rows]} MB   (goal < 100)"
