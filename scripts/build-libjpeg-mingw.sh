#!/usr/bin/env bash
# Builds a static libjpeg for 64-bit Windows (mingw-w64) from Debian's own
# libjpeg-turbo source package, once, into a cache:
#   scripts/build-libjpeg-mingw.sh BUILD_DIR   ->  BUILD_DIR/libjpeg/install/{include,lib}
# The source comes through apt with a private state folder (no root, the
# system's apt configuration untouched); apt checks it against the signed
# index of the archive this machine already uses.
set -euo pipefail

build_dir=${1:?usage: build-libjpeg-mingw.sh BUILD_DIR}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build_dir"
cache=$(cd "$build_dir" && pwd)/libjpeg
install_dir=$cache/install
stamp=$install_dir/.built

if [ -f "$stamp" ] && [ -f "$install_dir/lib/libjpeg.a" ]; then
  exit 0
fi

apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources"

# The deb-src twin of the machine's own main archive entry: same address,
# suite and keyring, read from the system's apt configuration.
system_sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$system_sources" ]; then
  awk '
    BEGIN { RS = ""; FS = "\n" }
    {
      uri = ""; suite = ""; key = ""
      for (i = 1; i <= NF; i++) {
        if ($i ~ /^URIs:/) { uri = $i; sub(/^URIs:[ \t]*/, "", uri); sub(/[ \t].*/, "", uri) }
        if ($i ~ /^Suites:/) { suite = $i; sub(/^Suites:[ \t]*/, "", suite); sub(/[ \t].*/, "", suite) }
        if ($i ~ /^Signed-By:/) { key = $i; sub(/^Signed-By:[ \t]*/, "", key) }
      }
      if (uri != "" && suite !~ /-/ && !done) {
        print "Types: deb-src"; print "URIs: " uri; print "Suites: " suite
        print "Components: main"; if (key != "") print "Signed-By: " key
        done = 1
      }
    }' "$system_sources" > "$apt_dir/sources/debian-src.sources"
elif [ -f /etc/apt/sources.list ]; then
  awk '$1 == "deb" && $3 !~ /-/ { $1 = "deb-src"; print; exit }' /etc/apt/sources.list \
    > "$apt_dir/sources/debian-src.list"
fi
if [ ! -s "$apt_dir/sources/debian-src.sources" ] && [ ! -s "$apt_dir/sources/debian-src.list" ]; then
  echo "build-libjpeg-mingw: no Debian archive found in the system's apt configuration" >&2
  exit 1
fi

apt_options=(
  -o Dir::Etc::SourceList=/dev/null
  -o Dir::Etc::SourceParts="$apt_dir/sources"
  -o Dir::State::Lists="$apt_dir/lists"
  -o Dir::Cache="$apt_dir/cache"
  -o Debug::NoLocking=1
)

src_dir=$cache/src
if ! ls -d "$src_dir"/libjpeg-turbo-*/ >/dev/null 2>&1; then
  echo "build-libjpeg-mingw: fetching Debian's libjpeg-turbo source package"
  apt-get -q "${apt_options[@]}" update >/dev/null
  rm -rf "$src_dir"
  mkdir -p "$src_dir"
  # dpkg-source unpacks it and applies Debian's patches.
  (cd "$src_dir" && apt-get -q "${apt_options[@]}" source libjpeg-turbo >/dev/null)
fi
source_tree=$(ls -d "$src_dir"/libjpeg-turbo-*/ | head -n 1)

simd=OFF
if command -v nasm >/dev/null 2>&1; then simd=ON; fi

echo "build-libjpeg-mingw: building libjpeg for mingw-w64 (SIMD $simd)"
cmake -S "$source_tree" -B "$cache/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$install_dir" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=$simd \
  -DWITH_JPEG8=OFF -Wno-dev >/dev/null
cmake --build "$cache/build" -j "${JOBS:-2}" --target jpeg-static >/dev/null
mkdir -p "$install_dir/lib" "$install_dir/include"
cp "$cache/build/libjpeg.a" "$install_dir/lib/libjpeg.a"
cp "$cache/build/jconfig.h" "$source_tree/jerror.h" "$source_tree/jmorecfg.h" "$source_tree/jpeglib.h" \
  "$install_dir/include/"
touch "$stamp"
echo "build-libjpeg-mingw: $install_dir/lib/libjpeg.a"
