#!/usr/bin/env bash
# Builds the Debian package in a release build directory, checks it with
# lintian (any error fails) and its desktop entry with desktop-file-validate,
# installs it on this machine with apt-get, runs the installed extractor
# from PATH in both its languages, finds its manual pages, and removes the
# package again.
#
#   bash packaging/build-deb.sh [--no-install]     (BUILD_DIR: default build-deb;
#                                                    QUILLMERE_BUILD_APP=OFF leaves the window out)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build-deb}
install=1
[[ "${1:-}" == "--no-install" ]] && install=0

for tool in dpkg-shlibdeps lintian desktop-file-validate; do
  command -v $tool >/dev/null || { echo "build-deb: $tool is missing: bash scripts/install-deps.sh package" >&2; exit 1; }
done

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_TESTS=OFF \
  -DQUILLMERE_BUILD_BENCH=OFF -DQUILLMERE_BUILD_APP="${QUILLMERE_BUILD_APP:-ON}" >/dev/null
ninja -C "$build_dir" -j2
(cd "$build_dir" && rm -f quillmere_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/quillmere_*.deb)
echo "built $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
dpkg-deb --contents "$deb" | awk '{ print "  " $6 }'

echo "desktop-file-validate: $(desktop-file-validate packaging/quillmere.desktop 2>&1 || true)"
# Errors fail the package; warnings and the rest are shown.
lintian_output=$(lintian --info --display-info "$deb" 2>&1 || true)
echo "lintian:"
echo "${lintian_output:-  (nothing)}" | sed 's/^/  /'
if grep -q '^E: ' <<<"$lintian_output"; then
  echo "build-deb: lintian found errors" >&2
  exit 1
fi

((install)) || exit 0
if [[ $(id -u) -ne 0 ]]; then
  echo "build-deb: installing needs root; run again as root or with --no-install" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "./$deb" >/dev/null
trap 'apt-get remove -y -qq quillmere >/dev/null' EXIT
echo "installed: $(command -v quillmere-extract)"
(cd / && quillmere-extract --version)
(cd / && env -i LC_ALL=C.UTF-8 quillmere-extract --help | head -1)
(cd / && env -i LC_ALL=C.UTF-8 LANGUAGE=en quillmere-extract --help | head -1)
echo "manual pages: $(man -w quillmere-extract) $(man -w -L zh_CN quillmere-extract)"
if dpkg-query -W -f='${Status}' quillmere 2>/dev/null | grep -q "install ok installed"; then
  echo "package quillmere is installed; removing it again"
fi
