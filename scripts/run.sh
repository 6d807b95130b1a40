#!/usr/bin/env bash
# `make run`: the saver full screen on the X display (any key or a mouse move
# ends it); without a display, a short preview clip rendered offscreen.
set -euo pipefail
build="${1:-build}"
program="$build/shell/harbor-lights"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "run: harbor-lights /s on $DISPLAY (press a key or move the mouse to end it)"
  exec "$program" /s
fi

out="$build/preview"
echo "run: no X display; rendering a 3-second preview clip instead"
"$program" --render "$out" --overwrite --seconds 3
count=$(find "$out" -maxdepth 1 -name 'frame-*.png' | wc -l)
echo "run: $count frames in $(cd "$out" && pwd)/frame-*.png"
