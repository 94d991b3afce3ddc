#!/usr/bin/env bash
# Soak run (not part of the test command): the Physics demonstration headless for a given number
# of minutes (default 10) with a scripted player firing balls and throwing bars all the time.
# Prints objects, frames and physics passes per second and memory each minute; fails when the
# program crashes, stops early or its log holds a red row.
#   Tools/soak.sh [minutes] [frames per ball] [frames per bar]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
MINUTES="${1:-10}"
BUILD="${SOAK_BUILD:-$ROOT/build-soak}"   # any configured build folder will do
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMVE_BUILD_TESTS=OFF -DMVE_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target mve-soak
# A copy of the resources in a folder of its own; the log is written to the working folder.
WORK="$(mktemp -d /tmp/mve-soak-XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
cp -r "$ROOT/Samples/Physics/Resources" "$WORK/Resources"
export SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null LIBGL_ALWAYS_SOFTWARE=1
set +e
(cd "$WORK" && "$BUILD/Tools/Soak/mve-soak" "$MINUTES" "$WORK/Resources" "${2:-10}" "${3:-30}") | tee "$BUILD/soak.txt"
rc=${PIPESTATUS[0]}
set -e
LOG="$WORK/MVE LogFile.html"
[ -f "$LOG" ] || { echo "soak: the program wrote no log"; exit 1; }
cp "$LOG" "$BUILD/soak-log.html" 2>/dev/null || true
red=$(grep -o -E "color:#FF0000;'>[^<]*" "$LOG" | wc -l || true)
echo "log: ${red:-0} red rows (copy in $BUILD/soak-log.html)"
[ "$rc" -eq 0 ] || { echo "soak: the program ended with $rc"; exit 1; }
[ "${red:-0}" -eq 0 ] || { grep -o -E "color:#FF0000;'>[^<]*" "$LOG" | sort | uniq -c | head; exit 1; }
echo "soak: passed"
