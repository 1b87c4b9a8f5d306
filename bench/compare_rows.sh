#!/usr/bin/env bash
# Runs two builds of the extractor over the same folders and compares every
# cell of the workbooks they write, byte for byte (as openpyxl reads them,
# through tests/sheet/dump_xlsx.py). For checking that a change to the probe,
# the scan or the file system changes no row.
#
#   bash bench/compare_rows.sh OLD_EXTRACTOR NEW_EXTRACTOR FOLDER...
#
# Prints one line per folder (rows, and "same" or "DIFFERENT" with the first
# differing lines) and exits 1 when any folder differs. Work files go to
# $COMPARE_WORK (default: a fresh folder under /tmp, removed at the end).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
old=$1
new=$2
shift 2
work=${COMPARE_WORK:-$(mktemp -d /tmp/quillmere-compare-XXXXXX)}
[ -n "${COMPARE_WORK:-}" ] || trap 'rm -rf "$work"' EXIT
mkdir -p "$work"

status=0
n=0
for folder in "$@"; do
  n=$((n + 1))
  for side in old new; do
    extractor=${!side}
    "$extractor" --scanner 张三 --maker Fujitsu --model fi-7160 --processor 李四 --software "Capture 1.0" \
      -o "$work/$n-$side.xlsx" "$folder" 2>"$work/$n-$side.log" </dev/null
    /usr/bin/python3 "$here/../tests/sheet/dump_xlsx.py" "$work/$n-$side.xlsx" >"$work/$n-$side.cells"
  done
  rows=$(grep -c $'^cell\t[^\t]*\tA' "$work/$n-new.cells" || true)
  if cmp -s "$work/$n-old.cells" "$work/$n-new.cells"; then
    echo "$folder: $rows rows (header rows included), every cell the same"
  else
    echo "$folder: $rows rows, DIFFERENT:"
    diff "$work/$n-old.cells" "$work/$n-new.cells" | head -n 10 || true
    status=1
  fi
done
exit $status
