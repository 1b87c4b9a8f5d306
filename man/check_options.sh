#!/bin/sh
# check_options.sh EXTRACTOR PAGE LOCALE...: the options the extractor's
# --help lists (in that locale) are the options the page's OPTIONS section
# describes.
set -u
extractor=$1 page=$2
shift 2
options() { grep -oE '(^|[ ,])--?[a-z][a-z-]*' | sed 's/^[ ,]*//' | sort -u; }
from_help=$(env "$@" "$extractor" --help | sed -n '/^ *-/p' | options)
# The OPTIONS section (选项 in Chinese): each .TP item's first line.
from_page=$(sed -n '/^\.SH \(OPTIONS\|选项\)/,/^\.SH/{/^\.TP/{n;p}}' "$page" | sed 's/\\-/-/g' | options)
if [ -z "$from_help" ] || [ "$from_help" != "$from_page" ]; then
  echo "--help lists:"; echo "$from_help"
  echo "$page describes:"; echo "$from_page"
  exit 1
fi
