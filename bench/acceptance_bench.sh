#!/usr/bin/env bash
# What the acceptance check costs in a whole run (bench/acceptance_bench.cpp):
#   1. 50,000 small files, warm cache: rules without digests against no rules (goal <= 1.05x),
#      for three sets of rules (bench/acceptance_bench.cpp): clean (every file judged, nothing
#      found), archive (a finding for about one file in seven) and strict (most files fail);
#   2. 1,900 A4 300-dpi scans, warm cache: rules with digests against `openssl dgst -sm3` plus
#      `sha256sum` over the same files, one process per core (goal <= 1.2x);
#   3. the same scans, cold cache: rules with digests against `cat` of every file, one process per
#      core (goal <= 1.2x). The cache is emptied file by file with posix_fadvise(DONTNEED), which
#      needs no privilege; pages of a file another process maps stay.
#
#   4. the cold run again on a device slower than the digests, as a network share or a spinning
#      disk is (--only slow, root): SLOW_FILES of the scans (default 300) copied into an ext4 image
#      on a loop device whose reads a blkio throttle holds at SLOW_MBPS (default 110, about a
#      gigabit share); rules with digests against `cat` with one process per core, both throttled.
#
#   bash bench/acceptance_bench.sh [--dir DIR] [--runs N] [--only 50k,warm,cold,slow]
#
# Corpora as run_bench.sh makes them (bench/corpus_gen), kept in DIR (default
# /tmp/quillmere-bench) between runs. Each figure is the best of N runs
# (default 3), runs of the two sides interleaved, so a machine shared with
# other work disturbs both alike.
set -euo pipefail
export LC_NUMERIC=C
cd "$(dirname "$0")/.."
root=/tmp/quillmere-bench
runs=3
only=50k,warm,cold
while (($#)); do
  case $1 in
    --only) only=$2; shift 2 ;;
    --dir) root=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "acceptance_bench: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
build_dir=${BUILD_DIR:-build-bench}
if [[ ! -f "$build_dir/build.ninja" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DQUILLMERE_BUILD_APP=OFF -DQUILLMERE_BUILD_TESTS=OFF \
    -DQUILLMERE_BUILD_BENCH=ON >/dev/null
fi
ninja -C "$build_dir" -j2 acceptance_bench corpus_gen >/dev/null
bench=$(realpath "$build_dir")/bench/acceptance_bench
cores=$(nproc)

corpus() {
  local kind=$1 dir=$2 count=$3
  if [[ "$(cat "$dir.done" 2>/dev/null)" == "$count" ]]; then return; fi
  rm -rf "$dir" "$dir.done"
  "$build_dir/bench/corpus_gen" "$kind" "$dir" "$count"
  echo "$count" >"$dir.done"
  sleep 3
}
warm() { find "$1" -type f -print0 | xargs -0 -n 2000 cat >/dev/null; }
evict() {
  find "$1" -type f -print0 | python3 -c '
import os, sys
for path in sys.stdin.buffer.read().split(b"\0"):
    if not path: continue
    fd = os.open(path, os.O_RDONLY)
    os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    os.close(fd)'
}
seconds() {  # seconds COMMAND...: wall time of the command
  local t0=$EPOCHREALTIME
  "$@" >/dev/null 2>&1
  awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'
}
least() { printf '%s\n' "$@" | sort -g | head -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

work=$(mktemp -d "$root/acceptance.XXXXXX")
slow_cleanup=()
cleanup() {
  local step
  for step in "${slow_cleanup[@]}"; do eval "$step" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
run() { "$bench" "$1" "$2" "$work/out.xlsx"; }
tools() {
  find "$1" -type f -print0 | xargs -0 -P "$cores" -n 64 openssl dgst -sm3 >/dev/null
  find "$1" -type f -print0 | xargs -0 -P "$cores" -n 64 sha256sum >/dev/null
}
cats() { find "$1" -type f -print0 | xargs -0 -P "$cores" -n 64 cat >/dev/null; }

wants() { [[ ",$only," == *",$1,"* ]]; }

if wants 50k; then
small=$root/small50k
corpus small "$small" 50000
warm "$small"
sets=(clean archive strict)
none=()
declare -A rules=()
for ((i = 0; i < runs; i++)); do
  none+=("$(seconds run none "$small")")
  for set in "${sets[@]}"; do rules[$set]+="$(seconds run "$set" "$small") "; done
done
for set in "${sets[@]}"; do
  read -ra times <<<"${rules[$set]}"
  echo "50,000 files, warm, $set rules ($(run "$set" "$small" | sed 's/.*files, //')): no rules" \
       "$(least "${none[@]}") s, rules without digests $(least "${times[@]}") s," \
       "ratio $(ratio "$(least "${times[@]}")" "$(least "${none[@]}")") (runs: ${none[*]} / ${times[*]})"
done
fi

a4=$root/a4-1900
if wants warm; then
corpus a4 "$a4" 1900
warm "$a4"
digests=() reference=()
for ((i = 0; i < runs; i++)); do
  digests+=("$(seconds run digests "$a4")")
  reference+=("$(seconds tools "$a4")")
done
echo "1,900 A4 scans, warm: rules with digests $(least "${digests[@]}") s, openssl dgst -sm3 + sha256sum" \
     "$(least "${reference[@]}") s, ratio $(ratio "$(least "${digests[@]}")" "$(least "${reference[@]}")")" \
     "(runs: ${digests[*]} / ${reference[*]})"
fi

if wants cold; then
corpus a4 "$a4" 1900
digests=() reference=()
for ((i = 0; i < runs; i++)); do
  evict "$a4"; digests+=("$(seconds run digests "$a4")")
  evict "$a4"; reference+=("$(seconds cats "$a4")")
done
echo "1,900 A4 scans, cold: rules with digests $(least "${digests[@]}") s, cat $(least "${reference[@]}") s," \
     "ratio $(ratio "$(least "${digests[@]}")" "$(least "${reference[@]}")") (runs: ${digests[*]} / ${reference[*]})"
fi

if wants slow; then
if [[ $(id -u) != 0 ]]; then
  echo "acceptance_bench: slow needs root (a loop device and a blkio throttle)" >&2
  exit 1
fi
for tool in mkfs.ext4 losetup lsblk mount; do
  if ! command -v "$tool" >/dev/null; then
    echo "acceptance_bench: slow needs $tool (Debian: e2fsprogs, mount, util-linux)" >&2
    exit 1
  fi
done
corpus a4 "$a4" 1900
mbps=${SLOW_MBPS:-110}
count=${SLOW_FILES:-300}
mapfile -t files < <(find "$a4" -type f | sort | head -n "$count")
bytes=$(du -cb "${files[@]}" | tail -n 1 | cut -f 1)
image=$work/slow.img
mnt=$work/slow
truncate -s $(((bytes + bytes / 5) / 1048576 * 1048576 + 128 * 1048576)) "$image"
mkfs.ext4 -q -F "$image"
mkdir "$mnt"
loop=$(losetup --find --show "$image")
slow_cleanup=("losetup -d $loop")
mount "$loop" "$mnt"
slow_cleanup=("umount $mnt" "${slow_cleanup[@]}")
mkdir "$mnt/scans"
cp "${files[@]}" "$mnt/scans/"
sync
device=$(lsblk -dno MAJ:MIN "$loop" | tr -d ' ')
if [[ -d /sys/fs/cgroup/blkio ]]; then
  group=/sys/fs/cgroup/blkio/quillmere-slow
  mkdir -p "$group"
  echo "$device $((mbps * 1000 * 1000))" >"$group/blkio.throttle.read_bps_device"
elif grep -qw io /sys/fs/cgroup/cgroup.controllers 2>/dev/null; then
  echo +io >/sys/fs/cgroup/cgroup.subtree_control
  group=/sys/fs/cgroup/quillmere-slow
  mkdir -p "$group"
  echo "$device rbps=$((mbps * 1000 * 1000))" >"$group/io.max"
else
  echo "acceptance_bench: no blkio or io cgroup controller to throttle with" >&2
  exit 1
fi
slow_cleanup=("rmdir $group" "${slow_cleanup[@]}")
# throttled COMMAND...: runs it, and everything it starts, in the throttled group.
throttled() { sh -c 'echo $$ >"$0/cgroup.procs" && exec "$@"' "$group" "$@"; }
slow_cats() { throttled sh -c 'find "$0" -type f -print0 | xargs -0 -P "$1" -n 16 cat >/dev/null' "$1" "$cores"; }
digests=() reference=()
for ((i = 0; i < runs; i++)); do
  evict "$mnt/scans"; digests+=("$(seconds throttled "$bench" digests "$mnt/scans" "$work/out.xlsx")")
  evict "$mnt/scans"; reference+=("$(seconds slow_cats "$mnt/scans")")
done
echo "$count A4 scans ($((bytes / 1000000)) MB), cold, reads held at $mbps MB/s: rules with digests" \
     "$(least "${digests[@]}") s, cat $(least "${reference[@]}") s," \
     "ratio $(ratio "$(least "${digests[@]}")" "$(least "${reference[@]}")") (runs: ${digests[*]} / ${reference[*]})"
fi
