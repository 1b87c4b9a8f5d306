#!/usr/bin/env bash
# Probe benchmark: our header probe against `exiftool -fast2` and
# `gm identify -ping` over the same files, single-threaded.
#
#   bash bench/probe_bench.sh [DATA_DIR] [BUILD_DIR]
#
# DATA_DIR (default /tmp/quillmere-probe-bench) receives 1,500 A4 scans and
# 50,000 small JPEGs on the first run and is reused afterwards.
# EXIFTOOL_SAMPLE (default 5000) limits exiftool to the first N files of a set,
# since it is by far the slowest; its rate is per file either way.
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-/tmp/quillmere-probe-bench}
build=${2:-build-bench}
exiftool_sample=${EXIFTOOL_SAMPLE:-5000}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_BENCH=ON \
  -DQUILLMERE_BUILD_APP=OFF -DQUILLMERE_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" -j2 probe_bench >/dev/null
bench="$build/bench/probe_bench"

if [ ! -d "$data/small" ]; then
  "$bench" generate "$data"
fi

# Seconds a command takes, its output discarded.
elapsed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

rate() { echo "scale=0; $1 / $2" | bc -l; }

for set in scans small; do
  list="$data/$set.list"
  find "$data/$set" -type f | sort >"$list"
  files=$(wc -l <"$list")
  cat $(head -n 2000 "$list") >/dev/null 2>&1 || true  # warm the page cache a little for everyone

  # Best of three for the probe and gm (the machine is shared); exiftool,
  # slower by two orders of magnitude, runs once.
  ours=0
  rss=0
  for run in 1 2 3; do
    /usr/bin/time -v "$bench" probe "$list" >"$data/$set.probe" 2>"$data/$set.time"
    r=$(awk '{for (i = 1; i < NF; ++i) if ($i == "files_per_second") print $(i + 1)}' "$data/$set.probe")
    m=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$data/$set.time")
    [ "$r" -gt "$ours" ] && ours=$r
    [ "$m" -gt "$rss" ] && rss=$m
  done

  head -n "$exiftool_sample" "$list" >"$list.exiftool"
  exiftool_files=$(wc -l <"$list.exiftool")
  exiftool_seconds=$(elapsed exiftool -fast2 -q -q -s3 -ImageWidth -ImageHeight -XResolution -@ "$list.exiftool")
  exiftool_rate=$(rate "$exiftool_files" "$exiftool_seconds")

  gm_rate=0
  for run in 1 2 3; do
    gm_seconds=$(elapsed sh -c "tr '\n' '\0' <'$list' | xargs -0 -n 2000 gm identify -ping -format '%f %w %h %x\n'")
    r=$(rate "$files" "$gm_seconds")
    [ "$r" -gt "$gm_rate" ] && gm_rate=$r
  done

  echo "== $set: $files files"
  echo "quillmere probe : $ours files/s, peak RSS ${rss} KiB (largest of the runs)"
  echo "exiftool -fast2 : $exiftool_rate files/s ($exiftool_files files)  -> ratio $(echo "scale=1; $ours / $exiftool_rate" | bc -l)x"
  echo "gm identify -ping: $gm_rate files/s  -> ratio $(echo "scale=1; $ours / $gm_rate" | bc -l)x"
done
