#!/usr/bin/env bash
# The window program's whole run over a tree of many tiny files, with
# 显示文件名选择框 unticked and ticked: wall time and peak memory of each.
# The tree holds files of a few bytes (corpus_gen empty) and is made when missing.
#
# usage: bench/window_run.sh [files]   (default 1000000; DIR=/tmp/quillmere-bench)
set -euo pipefail
export LC_NUMERIC=C
cd "$(dirname "$0")/.."
count=${1:-1000000}
root=${DIR:-/tmp/quillmere-bench}
build_dir=${QUILLMERE_BUILD_DIR:-build-bench}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_APP=ON \
  -DQUILLMERE_BUILD_TESTS=OFF -DQUILLMERE_BUILD_BENCH=ON >/dev/null
ninja -C "$build_dir" -j2 window_run corpus_gen >/dev/null

if ((count == 1000000)); then tree=$root/empty1m; else tree=$root/empty$count; fi
mkdir -p "$root"
if [[ "$(cat "$tree.done" 2>/dev/null)" != "$count" ]]; then
  rm -rf "$tree" "$tree.done"
  echo "making $count files in $tree ..."
  "$build_dir/bench/corpus_gen" empty "$tree" "$count"
  echo "$count" >"$tree.done"
  sleep 3  # a folder changed in the last seconds is listed twice by the scan
fi
find "$tree" -type f >/dev/null  # warm the directory cache

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for mode in unticked ticked; do
  QT_QPA_PLATFORM=offscreen /usr/bin/time -f "$mode: wall %e s, peak RSS %M KiB" \
    "$build_dir/bench/window_run" "$tree" "$out" "$mode"
  rm -f "$out"/*.xlsx
done
