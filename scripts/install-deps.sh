#!/usr/bin/env bash
# Installs the Debian packages a job needs (build, test, run, package, bench,
# fuzz, format or all), for the Debian release this machine runs.
# Quick when everything is already there: it only calls apt-get for what is missing.
#
# Each group below is a list of packages every known release shares, then one
# line per release where that release differs. A new package is one more word
# in the right list; a new release is one more entry in each `case`.
set -euo pipefail

# The release: VERSION_CODENAME from /etc/os-release, or QUILLMERE_RELEASE to
# pick a known package set by hand (on a derivative, for example).
release=${QUILLMERE_RELEASE:-}
if [[ -z "$release" && -r /etc/os-release ]]; then
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
fi
case "$release" in
  bookworm | trixie) ;;
  *)
    echo "install-deps: this script knows the packages of Debian 12 (bookworm) and 13 (trixie), not of" \
      "'${release:-an unnamed release}'; set QUILLMERE_RELEASE=bookworm or trixie to use one of those lists" >&2
    exit 1
    ;;
esac

build_packages=(
  build-essential cmake ninja-build pkg-config gettext
  qt6-base-dev
  libjpeg62-turbo-dev libtiff-dev libpng-dev zlib1g-dev libopenjp2-7-dev
  libinih-dev libssl-dev
  libgtest-dev libgmock-dev
)
# The sanitizer builds use gcc's own runtimes (they come with gcc; named for clarity).
# man-db and groff check the manual pages; desktop-file-utils the desktop entry;
# locales gives localedef, with which the tests make an English locale; the
# openssl command checks the digests.
# libxlsxwriter is the reference the workbook is compared with; LibreOffice
# and Gnumeric read both back.
test_packages=(
  python3 python3-openpyxl xauth xvfb imagemagick qt6-translations-l10n libasan8 libubsan1 libtsan2
  man-db groff-base desktop-file-utils locales openssl
  libxlsxwriter-dev libreoffice-calc-nogui gnumeric
)
case "$release" in
  # Debian 13's xlsxwriter.pc requires minizip.
  trixie) test_packages+=(libminizip-dev) ;;
esac

run_packages=(xdg-utils fonts-noto-cjk qt6-translations-l10n)

# packaging/build-deb.sh: dpkg-shlibdeps computes Depends; lintian checks the package.
package_packages=(dpkg-dev lintian desktop-file-utils man-db groff-base)

bench_packages=(
  time strace libbenchmark-dev libimage-exiftool-perl graphicsmagick imagemagick clang fonts-noto-cjk x11-utils
  poppler-utils
  dpkg-dev linux-perf
)

# libFuzzer and the sanitizer runtimes come with Debian's clang runtime package,
# named after the release's default clang.
fuzz_packages=(clang)
case "$release" in
  bookworm) fuzz_packages+=(libclang-rt-14-dev) ;;
  trixie) fuzz_packages+=(libclang-rt-19-dev) ;;
esac

format_packages=(clang-format)

case "${1:-test}" in
  build) wanted=("${build_packages[@]}") ;;
  test) wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
  run) wanted=("${build_packages[@]}" "${run_packages[@]}") ;;
  package) wanted=("${build_packages[@]}" "${package_packages[@]}") ;;
  bench) wanted=("${build_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
  fuzz) wanted=("${build_packages[@]}" "${fuzz_packages[@]}") ;;
  format) wanted=("${format_packages[@]}") ;;
  all)
    wanted=("${build_packages[@]}" "${test_packages[@]}" "${run_packages[@]}" "${package_packages[@]}"
      "${bench_packages[@]}" "${fuzz_packages[@]}" "${format_packages[@]}")
    ;;
  *)
    echo "usage: $0 [build|test|run|package|bench|fuzz|format|all]" >&2
    exit 2
    ;;
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
