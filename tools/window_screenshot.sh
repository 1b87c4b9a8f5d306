#!/usr/bin/env bash
# Shows the real window program on a virtual X server with a Chinese font and
# saves a screenshot of its client area, so a person can check every
# control's place and caption.
#
#   tools/window_screenshot.sh OUTPUT.png [PROGRAM]
#
# PROGRAM defaults to build/app/quillmere. Needs Xvfb (xvfb), xwininfo
# (x11-utils), ImageMagick's import (imagemagick) and a CJK font
# (fonts-noto-cjk).
set -euo pipefail

usage() { echo "usage: $0 OUTPUT.png [PROGRAM]" >&2; exit 2; }
[[ $# -ge 1 && $# -le 2 ]] || usage
output=$1
program=${2:-"$(cd "$(dirname "$0")/.." && pwd)/build/app/quillmere"}

for tool in Xvfb xwininfo import fc-list; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing (scripts/install-deps.sh bench)" >&2; exit 1; }
done
[[ -x "$program" ]] || { echo "$0: no program at $program; build it first" >&2; exit 1; }
fc-list :lang=zh family | grep -q . || { echo "$0: no Chinese font; install fonts-noto-cjk" >&2; exit 1; }

# A display number nobody uses.
display=
for number in $(seq 90 160); do
  if [[ ! -e /tmp/.X11-unix/X$number && ! -e /tmp/.X$number-lock ]]; then display=:$number; break; fi
done
[[ -n "$display" ]] || { echo "$0: no free X display number" >&2; exit 1; }

scratch=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
  [[ -n "$program_pid" ]] && kill "$program_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [[ -e /tmp/.X11-unix/X${display#:} ]] && break
  sleep 0.1
done

# A home of its own, so the program leaves nothing behind.
HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  "$program" >"$scratch/program.log" 2>&1 &
program_pid=$!

# The window is ready once the X server knows it by its caption.
for _ in $(seq 100); do
  window=$(xwininfo -display "$display" -name Quillmere 2>/dev/null | awk '/Window id:/ {print $4}') || true
  if [[ -n "$window" ]]; then
    sleep ${QUILLMERE_SCREENSHOT_DELAY:-1}  # let the first paint settle
    timeout 20 import -display "$display" -window "$window" "$output"
    xwininfo -display "$display" -id "$window" | grep -E 'Absolute|Width|Height' >&2
    echo "$output"
    exit 0
  fi
  kill -0 "$program_pid" 2>/dev/null || { cat "$scratch/program.log" >&2; echo "$0: the program ended" >&2; exit 1; }
  sleep 0.1
done
echo "$0: the window did not appear" >&2
exit 1
