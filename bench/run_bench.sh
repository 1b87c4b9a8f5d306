#!/usr/bin/env bash
# Whole-run benchmark of quillmere-extract against its limit: the larger of
# the floor (a walk that stats every file and reads its first 64 KiB, one
# thread per core) and our workbook writer alone (the same rows through
# RowWorkbook, no file read); the bare libxlsxwriter loop of the same rows is
# kept as a reference. Then exiftool -fast2, gm identify -ping and identify
# -ping on the same files, all on a warm page cache; the 1,000,000-file run
# (million_run.sh: space, memory, save time), and the worker count on a slow
# file system.
#
#   bash bench/run_bench.sh [--dir DIR] [--only 50k,tools,a4,1m,slow] [--exiftool-sample N] [--clean]
#
#   --dir DIR            where the corpora go (default /tmp/quillmere-bench; never inside the repository).
#                        They are kept between runs and made again only when missing.
#   --only LIST          sections to run: 50k (50,000 small files: floor, writer, libxlsxwriter,
#                        extractor), tools (the identify tools on those files, with 50k),
#                        a4 (1,500 A4 300-dpi scans), 1m (1,000,000 tiny images),
#                        slow (5 ms per open, 1 to 32 workers).
#   --exiftool-sample N  exiftool runs on the first N files of the 50k corpus (default 5000) and its
#                        per-file rate is extrapolated: the whole corpus takes it minutes.
#   --clean              remove the corpora at the end.
#   BUILD_DIR=...        the build directory (default build-bench, kept apart from the
#                        developer's build, which this script would configure without the window).
#
# The corpora: every file is its own copy of one of a few images encoded once
# (separate inodes, so no hard link shares cached pages). Times are wall
# clock of whole processes, after one warming read of every file, the
# fastest of three; CPU time and peak memory come from a run under
# /usr/bin/time.
set -euo pipefail
export LC_NUMERIC=C  # a decimal point in $EPOCHREALTIME and in awk
cd "$(dirname "$0")/.."
repo=$(pwd)

root=/tmp/quillmere-bench
only=50k,tools,a4,1m,slow
exif_sample=5000
clean=0
while (($#)); do
  case $1 in
    --dir) root=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --exiftool-sample) exif_sample=$2; shift 2 ;;
    --clean) clean=1; shift ;;
    -h|--help) sed -n '2,28p' "$0"; exit 0 ;;
    *) echo "run_bench: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
root=$(realpath -m "$root")
case "$root/" in "$repo"/*) echo "run_bench: keep the corpora out of the repository ($root)" >&2; exit 2 ;; esac
wants() { [[ ",$only," == *",$1,"* ]]; }

for tool in /usr/bin/time $(wants tools && echo exiftool gm identify); do
  if ! command -v "$tool" >/dev/null; then
    echo "run_bench: $tool is missing; run: bash scripts/install-deps.sh bench" >&2
    exit 1
  fi
done

build_dir=${BUILD_DIR:-build-bench}
if [[ ! -f "$build_dir/build.ninja" ]] || ! grep -q 'QUILLMERE_BUILD_BENCH:BOOL=ON' "$build_dir/CMakeCache.txt"; then
  cmake -S . -B "$build_dir" -G Ninja -DQUILLMERE_BUILD_APP=OFF -DQUILLMERE_BUILD_BENCH=ON >/dev/null
fi
ninja -C "$build_dir" -j2 quillmere-extract sheet_bench corpus_gen floor_walk slow_open_shim >/dev/null
bin=$(realpath "$build_dir")
extract=$bin/cli/quillmere-extract
shim=$bin/bench/libslow_open_shim.so

mkdir -p "$root"
work=$(mktemp -d "$root/run.XXXXXX")
trap 'umount "$work/dest" 2>/dev/null || true; rm -rf "$work"' EXIT

# The five batch facts, as an archivist types them: every row gets fourteen texts.
facts=(--scanner 张三 --maker Fujitsu --model fi-7160 --processor 李四 --software "PaperStream Capture 2.0")

# corpus KIND DIR COUNT: makes the corpus unless a finished one is there.
corpus() {
  local kind=$1 dir=$2 count=$3
  if [[ "$(cat "$dir.done" 2>/dev/null)" == "$count" ]]; then return; fi
  rm -rf "$dir" "$dir.done"
  echo "making $count files in $dir ..."
  local t0=$SECONDS
  "$bin/bench/corpus_gen" "$kind" "$dir" "$count"
  echo "$count" >"$dir.done"
  echo "  made in $((SECONDS - t0)) s, $(du -sh "$dir" | cut -f1)"
  # A folder changed in the last seconds is listed twice by the scan; settled archives are not.
  sleep 3
}

warm() { find "$1" -type f -print0 | xargs -0 -n 2000 cat >/dev/null; }

# wall_of COMMAND...: seconds from the command's start to its exit. Read
# from bash's own clock with nothing between it and the command: a timing
# wrapper such as time(1) is a process of its own and adds its start-up
# (several milliseconds here) to every run, a tenth of a short one.
wall_of() {
  local t0 t1
  t0=$EPOCHREALTIME
  "$@" >"$work/out" 2>"$work/err" || true
  t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

# measure NAME FILES COMMAND...: CPU seconds and peak RSS of one run under
# time(1), wall seconds of one run without it; sets wall[NAME], cpu[NAME],
# rss[NAME] (MB) and rate[NAME] (files per second).
declare -A wall cpu rss rate
measure() {
  local name=$1 files=$2; shift 2
  local status=0
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >"$work/out" 2>"$work/err" || status=$?
  if ((status != 0)); then
    echo "  note: $name exited with $status: $(tail -n 2 "$work/err" | tr '\n' ' ')"
  fi
  read -r _ u k r < <(tail -n 1 "$work/time")
  cpu[$name]=$(awk -v u="$u" -v k="$k" 'BEGIN { printf "%.2f", u + k }')
  rss[$name]=$(awk -v k="$r" 'BEGIN { printf "%.1f", k / 1024 }')
  wall[$name]=$(wall_of "$@")
  rate[$name]=$(awk -v n="$files" -v w="${wall[$name]}" 'BEGIN { printf "%.0f", (w > 0) ? n / w : 0 }')
}

# best NAME FILES COMMAND...: as measure, with the fastest of three wall
# runs, the one least disturbed by whatever else the machine was doing.
best() {
  local name=$1 files=$2; shift 2
  measure "$name" "$files" "$@"
  local w
  for _ in 2 3; do
    w=$(wall_of "$@")
    if awk -v a="$w" -v b="${wall[$name]}" 'BEGIN { exit !(a < b) }'; then wall[$name]=$w; fi
  done
  rate[$name]=$(awk -v n="$files" -v w="${wall[$name]}" 'BEGIN { printf "%.0f", (w > 0) ? n / w : 0 }')
}

row() {  # row NAME LABEL
  printf '  %-40s %8s s wall %8s s cpu %9s files/s %8s MB peak\n' "$2" "${wall[$1]}" "${cpu[$1]}" "${rate[$1]}" "${rss[$1]}"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }'; }
verdict() { awk -v v="$1" -v op="$2" -v g="$3" 'BEGIN { ok = (op == "<=") ? v <= g : v >= g; print ok ? "met" : "NOT MET" }'; }

# limit LABEL DIR FILES: quillmere-extract against its limit on one corpus:
# the floor, our writer alone and the bare libxlsxwriter loop with the same
# number of rows, then the extractor (default jobs and jobs 1).
limit() {
  local label=$1 dir=$2 files=$3
  echo
  echo "== $label: $files files in $dir  (load $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores)"
  warm "$dir"
  best floor "$files" "$bin/bench/floor_walk" "$dir"
  best writer "$files" "$bin/bench/sheet_bench" rows "$files" "$work/writer.xlsx"
  best xlsx "$files" "$bin/bench/sheet_bench" direct "$files" "$work/direct.xlsx"
  best extract "$files" "$extract" "${facts[@]}" -o "$work/extract.xlsx" "$dir"
  best extract1 "$files" "$extract" "${facts[@]}" --jobs 1 -o "$work/extract1.xlsx" "$dir"
  row floor "floor: stat + read 64 KiB, $(nproc) threads"
  row writer "our writer alone (RowWorkbook, 14 texts)"
  row xlsx "bare libxlsxwriter loop (reference)"
  row extract "quillmere-extract (default jobs)"
  row extract1 "quillmere-extract --jobs 1"
  local bound bound_name
  if awk -v f="${wall[floor]}" -v w="${wall[writer]}" 'BEGIN { exit !(f >= w) }'; then
    bound=${wall[floor]} bound_name=floor
  else
    bound=${wall[writer]} bound_name=writer
  fi
  local whole writer_share
  whole=$(ratio "${wall[extract]}" "$bound")
  echo "  extract / max(floor, writer) = ${wall[extract]} / $bound ($bound_name) = $whole   (goal <= 1.25: $(verdict "$whole" '<=' 1.25))"
  writer_share=$(ratio "${wall[writer]}" "${wall[xlsx]}")
  echo "  writer / bare libxlsxwriter = ${wall[writer]} / ${wall[xlsx]} = $writer_share   (goal <= 0.5: $(verdict "$writer_share" '<=' 0.5))"
  # CPU seconds tell the same story with less noise when other work shares the machine.
  echo "  in CPU seconds: floor ${cpu[floor]}, writer ${cpu[writer]}, libxlsxwriter ${cpu[xlsx]}, extract ${cpu[extract]};" \
       "writer / libxlsxwriter = $(ratio "${cpu[writer]}" "${cpu[xlsx]}")"
}

# tools LABEL DIR FILES SAMPLE: the identify tools on the same corpus, after limit.
tools() {
  local label=$1 dir=$2 files=$3 sample=$4
  find "$dir" -type f -print0 | sort -z >"$work/all.list0"
  tr '\0' '\n' <"$work/all.list0" | awk -v n="$sample" 'NR <= n' >"$work/sample.list"
  best exiftool "$sample" exiftool -r -csv -fast2 -FileName -FileSize -FileModifyDate -ImageSize \
    -XResolution -ColorComponents -@ "$work/sample.list"
  best gm "$files" xargs -0 -a "$work/all.list0" gm identify -ping
  measure identify "$files" xargs -0 -a "$work/all.list0" identify -ping
  echo "  $label, other tools:"
  row exiftool "exiftool -r -csv -fast2"
  ((sample < files)) && echo "      exiftool: first $sample files, rate extrapolated"
  row gm "gm identify -ping"
  row identify "identify -ping"
  echo "  time per file relative to the floor (1.00 = floor), and how many times faster quillmere-extract is:"
  for name in extract extract1 exiftool gm identify; do
    printf '    %-10s %6s x floor    extract is %7s x faster\n' "$name" \
      "$(ratio "${rate[floor]}" "${rate[$name]}")" "$(ratio "${rate[extract]}" "${rate[$name]}")"
  done
}

# space_and_tmp FILES DIR: one more extract of DIR whose workbook goes to a
# folder of its own (a tmpfs of its own when run as root, so that nothing
# else writing to the disk counts), its used space sampled every 10 ms;
# prints the peak the run took there while writing and saving, and every
# file the run created or opened for writing under /tmp (strace), which
# must be none.
space_and_tmp() {
  local files=$1 dir=$2
  local dest=$work/dest note="on a tmpfs of its own"
  mkdir -p "$dest"
  if ! { [[ $(id -u) == 0 ]] && mount -t tmpfs -o size=8g tmpfs "$dest" 2>/dev/null; }; then
    note="on a file system others write to as well: approximate"
  fi
  local before used peak=0
  before=$(df --output=used -B1 "$dest" | tail -n 1)
  "$extract" "${facts[@]}" -o "$dest/extract.xlsx" "$dir" >"$work/out" 2>"$work/err" &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    used=$(df --output=used -B1 "$dest" | tail -n 1)
    ((used - before > peak)) && peak=$((used - before))
    sleep 0.01
  done
  wait "$pid" || echo "  note: the extract exited with $?: $(tail -n 2 "$work/err" | tr '\n' ' ')"
  echo "  peak temporary space on the destination's file system: $(awk -v b="$peak" 'BEGIN { printf "%.1f", b / 1048576 }') MB" \
       "for $files rows, final workbook $(ls -l "$dest/extract.xlsx" 2>/dev/null | awk '{ printf "%.1f", $5 / 1048576 }') MB ($note)"
  rm -f "$dest/extract.xlsx"
  if command -v strace >/dev/null; then
    strace -f -qq --seccomp-bpf -e trace=open,openat,creat,mkdir,mkdirat -o "$work/extract.strace" \
      "$extract" "${facts[@]}" -o "$dest/extract.xlsx" "$dir" >/dev/null 2>&1 || true
    local writes
    writes=$(grep -E '"/tmp[/"]' "$work/extract.strace" | grep -Ev "\"($work|$dir)" |
      grep -cE 'O_CREAT|O_WRONLY|O_RDWR|O_TMPFILE|creat\(|mkdir' || true)
    echo "  files created or written under /tmp outside the destination: $writes   (goal 0: $(verdict "$writes" '<=' 0))"
  else
    echo "  (strace is missing: the /tmp check was skipped; bash scripts/install-deps.sh bench)"
  fi
  umount "$dest" 2>/dev/null || true
}

if wants 50k; then
  corpus small "$root/small50k" 50000
  limit "50,000 small files" "$root/small50k" 50000
  space_and_tmp 50000 "$root/small50k"
  if wants tools; then
    tools "50,000 small files" "$root/small50k" 50000 "$exif_sample"
    e=$(ratio "${rate[extract]}" "${rate[exiftool]}"); g=$(ratio "${rate[extract]}" "${rate[gm]}")
    echo "  vs exiftool -fast2: ${e}x (goal >= 50: $(verdict "$e" '>=' 50));  vs gm identify -ping: ${g}x (goal >= 2: $(verdict "$g" '>=' 2))"
  fi
  echo "  warm cache, by worker count:"
  for jobs in 0 1 2 4 8 16; do
    best "jobs$jobs" 50000 "$extract" "${facts[@]}" --jobs "$jobs" -o "$work/jobs.xlsx" "$root/small50k"
    printf '    --jobs %-3s %6s s wall %6s s cpu %8s files/s\n' "$jobs" "${wall[jobs$jobs]}" "${cpu[jobs$jobs]}" "${rate[jobs$jobs]}"
  done
fi

if wants a4; then
  corpus a4 "$root/a4" 1500
  limit "1,500 A4 300-dpi scans" "$root/a4" 1500
  if wants tools; then
    tools "1,500 A4 300-dpi scans" "$root/a4" 1500 1500
    e=$(ratio "${rate[extract]}" "${rate[exiftool]}")
    echo "  vs exiftool -fast2: ${e}x (goal >= 30: $(verdict "$e" '>=' 30))"
  fi
fi

if wants 1m; then
  echo
  BUILD_DIR=$build_dir bash bench/million_run.sh --dir "$root"
fi

if wants slow; then
  # A slow file system stood in for by an LD_PRELOAD shim rather than a
  # FileSystem decorator: the probe opens image files itself, outside the
  # FileSystem interface, and a shim slows every open the real program makes
  # (listings, probes) without changing it. 5 ms per open is a busy SMB share.
  corpus small "$root/small50k" 50000
  slow_dir=$root/small50k/vol00
  slow_files=1000
  rm -rf "$work/slow" && mkdir -p "$work/slow"
  cp -r "$slow_dir/box000" "$slow_dir/box001" "$work/slow/"
  sleep 3
  echo
  echo "== slow file system: $slow_files files, 5 ms per open"
  slow_extract=(env LD_PRELOAD="$shim" QUILLMERE_SLOW_PREFIX="$work/slow" QUILLMERE_SLOW_OPEN_MS=5 "$extract" "${facts[@]}")
  for jobs in 1 2 4 8 16 32; do
    measure "slow$jobs" "$slow_files" "${slow_extract[@]}" --jobs "$jobs" -o "$work/slow.xlsx" "$work/slow"
    printf '    --jobs %-3s %6s s %8s files/s   %5s x faster than 1 worker\n' "$jobs" "${wall[slow$jobs]}" \
      "${rate[slow$jobs]}" "$(ratio "${wall[slow1]}" "${wall[slow$jobs]}")"
  done
  # No --jobs: the pool starts at one worker per core and grows while the cores sit idle.
  measure slowdefault "$slow_files" "${slow_extract[@]}" -o "$work/slow.xlsx" "$work/slow"
  printf '    default %6s s %8s files/s   %5s x faster than 1 worker\n' "${wall[slowdefault]}" \
    "${rate[slowdefault]}" "$(ratio "${wall[slow1]}" "${wall[slowdefault]}")"
  s=$(ratio "${wall[slow1]}" "${wall[slow8]}")
  echo "  8 workers vs 1: ${s}x (goal >= 5: $(verdict "$s" '>=' 5))"
fi

if ((clean)); then
  rm -rf "$root/small50k" "$root/small50k.done" "$root/a4" "$root/a4.done" "$root/tiny1000000" "$root/tiny1000000.done"
fi
