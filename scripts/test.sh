#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# the whole test suite; then builds again, each in its own directory, under
# AddressSanitizer with UndefinedBehaviorSanitizer for the whole suite and under
# ThreadSanitizer for the tests that run threads. QUILLMERE_SANITIZERS=off runs
# the normal build only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh test
build_dir=${QUILLMERE_BUILD_DIR:-build}
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

section_start=$SECONDS
finish_section() {
  echo "test.sh: $1 took $((SECONDS - section_start)) s" >&2
  section_start=$SECONDS
}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMERE_BUILD_TESTS=ON \
      -DQUILLMERE_WARNINGS_AS_ERRORS=ON -DQUILLMERE_SANITIZE=
cmake --build "$build_dir" --parallel "$jobs"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs" --timeout 600
finish_section "the normal build and suite"

[[ "${QUILLMERE_SANITIZERS:-on}" == off ]] && exit 0

# Sanitizer builds: -O1 with line tables only, which keeps them quick to
# build and still gives readable reports. gcc's flow-based warnings (such as
# maybe-uninitialized) change with the optimisation level and the
# instrumentation, so only the normal build holds warnings as errors.
sanitizer_build() {
  local dir=$1 sanitizers=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DQUILLMERE_BUILD_TESTS=ON -DQUILLMERE_SANITIZE="$sanitizers"
  cmake --build "$dir" --parallel "$jobs" "$@"
}
# Some tests run the extractor as nobody, who must read the suppressions
# too, wherever the checkout lies (root's home is closed to others).
suppressions=$(mktemp -d)
trap 'rm -rf "$suppressions"' EXIT
cp tests/sanitizers/*.supp "$suppressions/"
chmod 755 "$suppressions"
chmod 644 "$suppressions"/*.supp

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$suppressions/lsan.supp:print_suppressions=0
sanitizer_build "$build_dir-asan" address,undefined
ctest --test-dir "$build_dir-asan" --output-on-failure --parallel "$jobs" --timeout 1200
finish_section "AddressSanitizer with UndefinedBehaviorSanitizer"

# The workflow's worker pool is used by the workflow and extractor tests; the
# image library's probes are also run from several threads at once.
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp
sanitizer_build "$build_dir-tsan" thread --target workflow_tests cli_tests image_tests quillmere-extract
ctest --test-dir "$build_dir-tsan" --output-on-failure --parallel "$jobs" --timeout 1200 --no-tests=error \
      -L '^(workflow|cli)$'
ctest --test-dir "$build_dir-tsan" --output-on-failure --parallel "$jobs" --timeout 1200 --no-tests=error \
      -L '^image$' -R 'Thread'
finish_section "ThreadSanitizer"
