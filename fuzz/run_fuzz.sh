#!/usr/bin/env bash
# Runs one fuzz target, or all of them one after another, for a given time:
#   run_fuzz.sh decode|exif|text|stream|all SECONDS
# The corpus grows in fuzz/corpus/<target> (kept between runs, not committed),
# starting from the generated seeds and fuzz/<target>.dict. A crash, leak, sanitizer report, hang
# (over 5 s on one input) or memory blow-up (over 512 MB) stops the run and
# leaves the input in fuzz/findings/<target>/. The log is kept beside it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build_dir=${QUILLMERE_FUZZ_BUILD_DIR:-build-fuzz}

if (($# != 2)) || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 decode|exif|text|stream|all SECONDS" >&2
  exit 2
fi
case "$1" in
  all) targets=(decode exif text stream) ;;
  decode|exif|text|stream) targets=("$1") ;;
  *) echo "run_fuzz: unknown target $1" >&2; exit 2 ;;
esac
seconds=$2

max_len_for() {
  case "$1" in
    text|stream) echo 4096 ;;
    *) echo 65536 ;;  # headers, tables and EXIF blocks fit well inside
  esac
}

bash "$here/build_fuzz.sh"
[[ -d "$here/seeds" ]] || bash "$here/make_seeds.sh" >/dev/null

# Prefixes each line with the seconds since the start, so the log shows when
# coverage stopped growing.
timestamp() { perl -MTime::HiRes=time -ne 'BEGIN { $| = 1; $start = time } printf "%7.1f %s", time - $start, $_'; }

# cov/ft at the end of each minute, the executions, the final status line,
# and how many lines the target itself printed other than the EXIF reader's
# two operator diagnostics (a library printing on the terminal shows here).
summarise() {
  perl -ne '
    if (/^\s*([\d.]+) (#(\d+)\s+\S+\s+cov: (\d+) ft: (\d+).*)$/) {
      $last = $2; $minute = int($1 / 60) + 1; $at{$minute} = "$4/$5";
    }
    $runs = $1 if /stat::number_of_executed_units: (\d+)/;
    if (/^\s*[\d.]+ (.*)$/) {
      $line = $1;
      next if $line =~ /^(#\d|INFO:|stat::|Done |MS:|\s|######|"|Loaded|Dictionary|$)/;
      next if $line eq "too many padding bytes" || $line eq "No image in jpeg!";
      $other++;
    }
    END {
      printf "executions: %s\nfinal: %s\n", $runs // "?", $last // "none";
      print "cov/ft by minute:", join(",", map { " $_: $at{$_}" } sort { $a <=> $b } keys %at), "\n";
      printf "other output lines: %d\n", $other // 0;
    }' "$1"
}

status=0
for target in "${targets[@]}"; do
  corpus="$here/corpus/$target"
  findings="$here/findings/$target"
  log="$here/findings/$target.log"
  mkdir -p "$corpus" "$findings"
  options=(-max_total_time="$seconds" -max_len="$(max_len_for "$target")" -timeout=5 -rss_limit_mb=512
           -artifact_prefix="$findings/" -print_final_stats=1 -use_value_profile=1)
  [[ -f "$here/$target.dict" ]] && options+=(-dict="$here/$target.dict")
  set +e
  "$here/../$build_dir/fuzz/${target}_fuzzer" "$corpus" "$here/seeds/$target" "${options[@]}" 2>&1 |
    timestamp >"$log"
  result=${PIPESTATUS[0]}
  set -e
  echo "== $target ($seconds s)"
  summarise "$log"
  if ((result != 0)); then
    echo "$target: stopped with a finding (exit $result); see $log and $findings/" >&2
    grep -E '(==[0-9]+==ERROR|SUMMARY|runtime error|fuzz check failed|ALARM|Test unit written)' "$log" | head -n 8 >&2 || true
    status=1
  fi
done
exit "$status"
