#!/usr/bin/env bash
# Installs what is missing, builds the programs and starts the window program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run
build_dir=${QUILLMERE_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMERE_BUILD_TESTS=OFF
cmake --build "$build_dir" --parallel "$(nproc)" --target quillmere quillmere-extract
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): use the command-line extractor instead." >&2
  "$build_dir/cli/quillmere-extract" --help >&2
  exit 1
fi
exec "$build_dir/app/quillmere" "$@"
