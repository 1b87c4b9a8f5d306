#!/usr/bin/env bash
# quillmere-extract over 1,000,000 tiny images: the peak space the run takes
# on the destination against the final workbook, the peak resident memory,
# the time from the last row to the saved workbook, and the whole run's wall
# time.
#
#   bash bench/million_run.sh [--dir DIR] [--count N] [--jobs N]
#
#   --dir DIR    where the corpus goes (default /tmp/quillmere-bench, on the local disk; never
#                inside the repository); made once (corpus_gen tiny: valid JPEG/PNG/TIFF/BMP
#                files of a few hundred bytes, hard links within each folder) and kept.
#   --count N    files (default 1000000).
#   --jobs N     passed to the extractor (default: its own choice).
#   BUILD_DIR=...  the build directory (default build).
#
# The workbook goes to a tmpfs of its own in a private mount namespace when
# run as root (nothing else writes there, so its used space is the run's),
# else to a folder beside the corpus (the space figure is then approximate).
# The used space is sampled every 2 ms. The extractor runs on a terminal
# (script(1)) so that it draws its progress line: the moment the line turns
# to the save is the last row, the completion line is the saved workbook;
# both are stamped as they arrive. Peak memory and wall time come from
# /usr/bin/time -v around the extractor.
set -euo pipefail
export LC_NUMERIC=C
cd "$(dirname "$0")/.."
repo=$(pwd)

root=/tmp/quillmere-bench
count=1000000
jobs=()
while (($#)); do
  case $1 in
    --dir) root=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --jobs) jobs=(--jobs "$2"); shift 2 ;;
    -h|--help) sed -n '2,23p' "$0"; exit 0 ;;
    *) echo "million_run: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
root=$(realpath -m "$root")
case "$root/" in "$repo"/*) echo "million_run: keep the corpus out of the repository ($root)" >&2; exit 2 ;; esac
for tool in script /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "million_run: $tool is missing" >&2; exit 1; }
done

build_dir=${BUILD_DIR:-build}
if [[ -z "${QUILLMERE_MILLION_INSIDE:-}" ]]; then
  if ! grep -q 'QUILLMERE_BUILD_BENCH:BOOL=ON' "$build_dir/CMakeCache.txt" 2>/dev/null; then
    cmake -S . -B "$build_dir" -G Ninja -DQUILLMERE_BUILD_BENCH=ON >/dev/null
  fi
  ninja -C "$build_dir" -j2 quillmere-extract corpus_gen >/dev/null

  tree=$root/tiny$count
  if [[ "$(cat "$tree.done" 2>/dev/null)" != "$count" ]]; then
    rm -rf "$tree" "$tree.done"
    mkdir -p "$root"
    echo "making $count tiny images in $tree ..."
    t0=$SECONDS
    "$build_dir/bench/corpus_gen" tiny "$tree" "$count"
    echo "$count" >"$tree.done"
    echo "  made in $((SECONDS - t0)) s, $(du -sh "$tree" | cut -f1) on disk"
    sleep 3  # a folder changed in the last seconds is listed twice by the scan
  fi
  # Warm: every name listed and stated, every file read once.
  find "$tree" -type f -print0 | xargs -0 -n 5000 cat >/dev/null

  export QUILLMERE_MILLION_INSIDE=1 QUILLMERE_MILLION_TREE=$tree
  if [[ $(id -u) == 0 ]] && command -v unshare >/dev/null; then
    exec unshare -m --propagation private bash "$0" --dir "$root" --count "$count" "${jobs[@]}"
  fi
  exec bash "$0" --dir "$root" --count "$count" "${jobs[@]}"
fi

tree=$QUILLMERE_MILLION_TREE
extract=$(realpath "$build_dir")/cli/quillmere-extract
work=$(mktemp -d "$root/million.XXXXXX")
dest=$work/dest
mkdir -p "$dest"
note="a tmpfs of its own"
if ! { [[ $(id -u) == 0 ]] && mount -t tmpfs -o size=4g tmpfs "$dest" 2>/dev/null; }; then
  note="a folder on a file system others write to as well: approximate"
fi
trap 'umount "$dest" 2>/dev/null || true; rm -rf "$work"' EXIT

facts=(--scanner 张三 --maker Fujitsu --model fi-7160 --processor 李四 --software "PaperStream Capture 2.0")
command=(/usr/bin/time -v -o "$work/time" "$extract" "${facts[@]}" "${jobs[@]}" -o "$dest/million.xlsx" "$tree")
printf -v quoted '%q ' "${command[@]}"

echo "== quillmere-extract over $count tiny images ($tree), workbook on $note"
echo "   load before the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
python3 - "$dest" "$quoted" <<'PY'
import os, subprocess, sys, threading, time
dest, command = sys.argv[1], sys.argv[2]

def used():
    s = os.statvfs(dest)
    return (s.f_blocks - s.f_bfree) * s.f_frsize

base = used()
peak = 0
done = False
def sample():
    global peak
    while not done:
        peak = max(peak, used() - base)
        time.sleep(0.002)
sampler = threading.Thread(target=sample)
sampler.start()

start = time.monotonic()
saving_at = completed_at = None
child = subprocess.Popen(['script', '-qfec', command, '/dev/null'], stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, env=dict(os.environ, COLUMNS='100', LINES='30'))
seen = b''
while True:
    chunk = os.read(child.stdout.fileno(), 65536)
    if not chunk:
        break
    now = time.monotonic()
    seen = (seen + chunk)[-4096:]
    if saving_at is None and ('保存'.encode() in seen or b'saving' in seen.lower()):
        saving_at = now
    if completed_at is None and ('提取元数据完成'.encode() in seen or b'Done:' in seen):
        completed_at = now
status = child.wait()
end = time.monotonic()
done = True
sampler.join()
final = os.path.getsize(os.path.join(dest, 'million.xlsx')) if os.path.exists(os.path.join(dest, 'million.xlsx')) else 0
print(f"   exit status {status}; tail of the terminal: {seen[-160:].decode('utf-8', 'replace')!r}")
mb = 1048576
print(f"   peak space on the destination {peak / mb:.1f} MB, final workbook {final / mb:.1f} MB:"
      f" peak / final = {peak / final if final else float('nan'):.3f}   (goal <= 1.1)")
if saving_at and completed_at:
    print(f"   last row -> saved workbook (progress line turns to the save -> completion line):"
          f" {completed_at - saving_at:.2f} s   (goal <= 1)")
else:
    print("   last row -> saved: the progress line's save or completion was not seen")
print(f"   whole run as seen here: {end - start:.2f} s wall")
PY
awk -F': ' '/Maximum resident set size/ { printf "   peak RSS %.1f MB   (goal <= 150)\n", $2 / 1024 }
            /Elapsed \(wall clock\)/ { print "   wall time (time -v): " $2 }
            /User time/ { u = $2 } /System time/ { s = $2 }
            END { printf "   cpu %.2f s (user %.2f + sys %.2f)\n", u + s, u, s }' "$work/time"
echo "   load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
