#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Quick when everything is already there: it only calls apt-get for what is missing.
set -euo pipefail

build_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev
  libjpeg62-turbo-dev libtiff-dev libpng-dev zlib1g-dev libopenjp2-7-dev
  libgtest-dev libgmock-dev
)
# The sanitizer builds use gcc's own runtimes (they come with gcc; named for clarity).
# libxlsxwriter is the reference the workbook is compared with (its pkg-config
# file needs minizip's on newer releases); LibreOffice and Gnumeric read it back.
test_packages=(libxlsxwriter-dev libminizip-dev libreoffice-calc-nogui gnumeric python3 python3-openpyxl xauth xvfb imagemagick qt6-translations-l10n libasan8 libubsan1 libtsan2)
run_packages=(xdg-utils fonts-noto-cjk qt6-translations-l10n)
bench_packages=(time strace libbenchmark-dev libimage-exiftool-perl graphicsmagick imagemagick clang fonts-noto-cjk x11-utils dpkg-dev linux-perf)
# libFuzzer and the sanitizer runtimes come with Debian's clang runtime package.
fuzz_packages=(clang libclang-rt-14-dev)
format_packages=(clang-format)

case "${1:-test}" in
  build) wanted=("${build_packages[@]}") ;;
  test)  wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
  run)   wanted=("${build_packages[@]}" "${run_packages[@]}") ;;
  bench) wanted=("${build_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
  fuzz)  wanted=("${build_packages[@]}" "${fuzz_packages[@]}") ;;
  format) wanted=("${format_packages[@]}") ;;
  all)   wanted=("${build_packages[@]}" "${test_packages[@]}" "${run_packages[@]}" "${bench_packages[@]}"
                 "${fuzz_packages[@]}" "${format_packages[@]}") ;;
  *) echo "usage: $0 [build|test|run|bench|fuzz|format|all]" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages: ${missing[*]}; run as root or install them with apt-get" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
