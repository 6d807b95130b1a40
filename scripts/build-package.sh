#!/usr/bin/env bash
# Builds the Debian package in BUILD_DIR (default build-package): a release
# tree configured for the /usr prefix, without tests or benchmarks. Extra
# arguments go to cmake's configure step. Prints the package's path.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-build-package}"
shift || true
# Debian's hardening flags (stack protector, fortified calls, read-only
# relocations bound at start), as a package built by its tools would have.
# From the source folder, whose path the flags map away from debugging data.
eval "$(cd "$source_dir" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$CFLAGS $CPPFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" \
  -DHL_BUILD_TESTS=OFF -DHL_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$build_dir" -j "${JOBS:-2}" --target package >/dev/null
ls "$build_dir"/harbor-lights_*.deb
