#!/usr/bin/env bash
# Installs the built engine into a fresh folder, then builds two small programs against that folder
# only, one through find_package(MVE), one (in C) through pkg-config, and runs both headless.
# Usage: check.sh <engine build folder> <this folder>
set -euo pipefail
build="$1"; here="$2"
work="$(mktemp -d /tmp/mve-install-XXXXXX)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" > "$work/install.log"
test -f "$prefix/include/MVE.h"
ls "$prefix"/lib*/libmve.a "$prefix"/lib*/cmake/MVE/MVEConfig.cmake "$prefix"/lib*/pkgconfig/mve.pc > /dev/null

# A sanitizer build's library needs its runtime in the program as well.
flags=""
grep -q '^MVE_ASAN:BOOL=ON' "$build/CMakeCache.txt" && flags="-fsanitize=address,undefined"
grep -q '^MVE_TSAN:BOOL=ON' "$build/CMakeCache.txt" && flags="-fsanitize=thread"
# Leak checking names the GL driver's own leftovers by library, which needs the driver still loaded
# when the program ends: the programs keep their libraries as the test program does.
ldflags="$flags"
if [ "$flags" = "-fsanitize=address,undefined" ]; then
  c++ -c $flags "$here/../../Tests/SanitizerSupport.cpp" -o "$work/keep-libraries.o"
  ldflags="$flags $work/keep-libraries.o"
fi

cmake -S "$here" -B "$work/cmake-build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" > "$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/cmake-build" > "$work/build.log" || { cat "$work/build.log"; exit 1; }
(cd "$work" && "$work/cmake-build/mve-install-check")
test -s "$work/check.png"

pcdir="$(dirname "$(ls "$prefix"/lib*/pkgconfig/mve.pc | head -1)")"
cc -std=c11 $ldflags "$here/main.c" -o "$work/c-check" $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs mve)
(cd "$work" && "$work/c-check")
echo "installed engine works from CMake and from pkg-config"
