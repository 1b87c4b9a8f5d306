#!/usr/bin/env bash
# Generates the seed corpora into fuzz/seeds/<target> (or OUT/<target>):
# make_seeds.sh [OUT]. Small valid files of every format, made fresh each
# time by fuzz/make_seeds.cpp, so no corpus lives in the repository.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/seeds}
build_dir=${QUILLMERE_FUZZ_BUILD_DIR:-build-fuzz}
bash "$here/build_fuzz.sh" quillmere_make_seeds
rm -rf "$out"
"$here/../$build_dir/fuzz/quillmere_make_seeds" "$out"
for target in "$out"/*/; do
  echo "$(basename "$target"): $(find "$target" -type f | wc -l) seeds"
done
