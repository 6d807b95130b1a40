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
dir="$(cd "$out" && pwd)"
echo "run: $count frames (30 a second) in $dir/frame-*.png"
echo "run: to watch them on a machine with a display:"
echo "       animate -delay 3 $dir/frame-*.png      (ImageMagick; or open one in any image viewer)"
echo "     or make a video:"
echo "       ffmpeg -framerate 30 -i $dir/frame-%05d.png preview.mp4"
