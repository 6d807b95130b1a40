#!/usr/bin/env bash
# `make run`: the saver full screen on the X display; without a display, a short
# preview clip rendered offscreen.
set -euo pipefail
build="${1:-build}"
exec "$build/shell/harbor-lights" --version
