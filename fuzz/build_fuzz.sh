#!/usr/bin/env bash
# Configures (once) and builds the clang fuzz build: build_fuzz.sh [TARGET...]
# Builds every fuzzer and the seed generator when no target is named.
# QUILLMERE_FUZZ_BUILD_DIR overrides the build directory (default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh fuzz
build_dir=${QUILLMERE_FUZZ_BUILD_DIR:-build-fuzz}
if [[ ! -f "$build_dir/build.ninja" ]]; then
  CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLMERE_BUILD_FUZZ=ON -DQUILLMERE_BUILD_APP=OFF -DQUILLMERE_BUILD_TESTS=OFF >/dev/null
fi
targets=("$@")
((${#targets[@]} > 0)) || targets=(decode_fuzzer exif_fuzzer text_fuzzer stream_fuzzer quillmere_make_seeds)
ninja -C "$build_dir" -j2 "${targets[@]}" >/dev/null
