#!/usr/bin/env bash
# Builds the Debian package in a release build directory, installs it on
# this machine with apt-get, runs the installed extractor from PATH, and
# removes the package again.
#
#   bash packaging/build-deb.sh [--no-install]     (BUILD_DIR: default build-deb;
#                                                    QUILLMERE_BUILD_APP=OFF leaves the window out)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build-deb}
install=1
[[ "${1:-}" == "--no-install" ]] && install=0

command -v dpkg-shlibdeps >/dev/null || { echo "build-deb: dpkg-shlibdeps is missing: bash scripts/install-deps.sh bench" >&2; exit 1; }

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_TESTS=OFF \
  -DQUILLMERE_BUILD_BENCH=OFF -DQUILLMERE_BUILD_APP="${QUILLMERE_BUILD_APP:-ON}" >/dev/null
ninja -C "$build_dir" -j2
(cd "$build_dir" && rm -f quillmere_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/quillmere_*.deb)
echo "built $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
dpkg-deb --contents "$deb" | awk '{ print "  " $6 }'

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
if dpkg-query -W -f='${Status}' quillmere 2>/dev/null | grep -q "install ok installed"; then
  echo "package quillmere is installed; removing it again"
fi
