#!/usr/bin/env bash
# Runs one fuzz target, or all of them one after another, for a given time:
#   run_fuzz.sh decode|exif|text|all SECONDS
# The corpus grows in fuzz/corpus/<target> (kept between runs, not committed),
# starting from the generated seeds. A crash, leak, sanitizer report, hang
# (over 5 s on one input) or memory blow-up (over 512 MB) stops the run and
# leaves the input in fuzz/findings/<target>/. The log is kept beside it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build_dir=${QUILLMERE_FUZZ_BUILD_DIR:-build-fuzz}

if (($# != 2)) || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 decode|exif|text|all SECONDS" >&2
  exit 2
fi
case "$1" in
  all) targets=(decode exif text) ;;
  decode|exif|text) targets=("$1") ;;
  *) echo "run_fuzz: unknown target $1" >&2; exit 2 ;;
esac
seconds=$2

max_len_for() {
  case "$1" in
    text) echo 4096 ;;
    *) echo 65536 ;;  # headers, tables and EXIF blocks fit well inside
  esac
}

bash "$here/build_fuzz.sh"
[[ -d "$here/seeds" ]] || bash "$here/make_seeds.sh" >/dev/null

status=0
for target in "${targets[@]}"; do
  corpus="$here/corpus/$target"
  findings="$here/findings/$target"
  log="$here/findings/$target.log"
  mkdir -p "$corpus" "$findings"
  set +e
  "$here/../$build_dir/fuzz/${target}_fuzzer" "$corpus" "$here/seeds/$target" \
    -max_total_time="$seconds" -max_len="$(max_len_for "$target")" -timeout=5 -rss_limit_mb=512 \
    -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1
  result=$?
  set -e
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' || true)
  echo "$target: ${runs:-?} executions; last status: ${last:-none}"
  if ((result != 0)); then
    echo "$target: stopped with a finding (exit $result); see $log and $findings/" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|fuzz check failed|ALARM|artifact_prefix|Test unit written)' "$log" | head -n 8 >&2 || true
    status=1
  fi
done
exit "$status"
