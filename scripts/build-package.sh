#!/usr/bin/env bash
# Builds the Debian package in BUILD_DIR (default build-package): a release
# tree configured for the /usr prefix, without tests or benchmarks. Extra
# arguments go to cmake's configure step. Prints the package's path.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-build-package}"
shift || true
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DHL_BUILD_TESTS=OFF -DHL_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$build_dir" -j "${JOBS:-2}" --target package >/dev/null
ls "$build_dir"/harbor-lights_*.deb
