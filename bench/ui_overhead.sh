#!/usr/bin/env bash
# Window overhead per file at 50,000 files under the offscreen platform:
# status line, pending events, batch-fact reads, and the appended path.
#
# usage: bench/ui_overhead.sh [files]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${QUILLMERE_BUILD_DIR:-build-bench}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_APP=ON \
  -DQUILLMERE_BUILD_TESTS=OFF -DQUILLMERE_BUILD_BENCH=ON >/dev/null
ninja -C "$build_dir" -j2 ui_overhead >/dev/null
QT_QPA_PLATFORM=offscreen "$build_dir/bench/ui_overhead" "${1:-50000}"
