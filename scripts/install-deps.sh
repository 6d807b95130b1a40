#!/usr/bin/env bash
# Installs every Debian package that building, running and testing harbor-lights needs.
# Idempotent: asks apt only for what is missing, and updates the package lists only then.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # libraries the program links
  libjpeg62-turbo-dev libpng-dev libdeflate-dev libgl-dev libglu1-mesa-dev libegl-dev
  libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libx11-dev libxrandr-dev libxinerama-dev libxfixes-dev libxdamage-dev libgtk-3-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils x11-xserver-utils
  libjpeg-turbo-progs imagemagick ffmpeg
  xscreensaver xserver-xorg-core xserver-xorg-video-dummy
  # packaging
  dpkg-dev file lintian
  # the Windows screen saver: cross compilers, libjpeg's SIMD, tests under Wine
  g++-mingw-w64-x86-64 nasm wine wine64 googletest
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
