#!/bin/sh
# check_page.sh PAGE: fails, showing them, on any warning man (groff -ww)
# gives while rendering the page.
set -u
command -v man >/dev/null || { echo "man is missing (scripts/install-deps.sh test)"; exit 1; }
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  printf '%s: %s\n' "$1" "$warnings"
  exit 1
fi
