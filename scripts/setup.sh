#!/usr/bin/env bash
# Installs the Debian packages the engine needs (when missing), then configures and builds.
# Usage: scripts/setup.sh [build folder] [--target <target>]... [extra CMake arguments...]
# Without --target every target is built (tests and benchmarks included); with it, only those
# targets and what they need (the README's first command builds just the demonstration).
set -euo pipefail
cd "$(dirname "$0")/.."
PACKAGES="build-essential cmake ninja-build pkg-config libsdl2-dev libopenal-dev libvorbis-dev libpng-dev \
libjpeg-dev libpcre2-dev libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libgtest-dev libbenchmark-dev \
libtinyobjloader-dev libfreetype-dev fonts-dejavu-core"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi
BUILD="${1:-build}"; shift || true
TARGETS=()
CONFIGURE=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--target" ] && [ $# -ge 2 ]; then TARGETS+=(--target "$2"); shift 2
  else CONFIGURE+=("$1"); shift; fi
done
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CONFIGURE[@]+"${CONFIGURE[@]}"}
cmake --build "$BUILD" ${TARGETS[@]+"${TARGETS[@]}"}
