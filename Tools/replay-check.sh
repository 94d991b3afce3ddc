#!/usr/bin/env bash
# Long check of exact replay (not part of the test command). The Physics demonstration runs on a
# virtual X display (Xvfb) driven by real input events (xdotool: mouse look, W/A/S/D, the left
# button held, the right one released) for the given seconds, recording the session and its frame
# hashes; then it is replayed headless twice. The three hash files and the two replays' last
# pictures must be identical. With "loaded", both processors are kept busy while recording.
#   Tools/replay-check.sh [seconds, default 25] [loaded]
# Needs the Debian packages xvfb and xdotool (installed when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
SECONDS_LONG="${1:-25}"
LOADED="${2:-}"
BUILD="${REPLAY_BUILD:-$ROOT/build}"
cmake --build "$BUILD" --target Physics >/dev/null
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || {
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq xvfb xdotool >/dev/null
    break
  }
done
WORK="$(mktemp -d /tmp/mve-replay-check-XXXXXX)"
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
PHYSICS="$BUILD/Samples/Physics/Physics"
export LIBGL_ALWAYS_SOFTWARE=1 ALSOFT_DRIVERS=null

# A display of our own, with a free number.
DISPLAY_NUMBER=77
while [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] || [ -e "/tmp/.X$DISPLAY_NUMBER-lock" ]; do DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1)); done
Xvfb ":$DISPLAY_NUMBER" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
sleep 2
if [ "$LOADED" = "loaded" ]; then
  for _ in 1 2; do (while :; do :; done) & PIDS+=($!); done
fi

echo "== recording ${SECONDS_LONG}s of real input on display :$DISPLAY_NUMBER ${LOADED:+(both processors busy)}"
mkdir -p "$WORK/record"
(cd "$WORK/record" && DISPLAY=":$DISPLAY_NUMBER" SDL_VIDEODRIVER=x11 "$PHYSICS" --record "$WORK/session.mvr" \
  --hashes "$WORK/recorded.hashes") &
APP=$!
export DISPLAY=":$DISPLAY_NUMBER"
WINDOW=""
for _ in $(seq 1 120); do
  WINDOW="$(xdotool search --name "Morvek Engine - Physics" 2>/dev/null | head -1 || true)"
  [ -n "$WINDOW" ] && break
  sleep 0.5
done
[ -n "$WINDOW" ] || { echo "replay-check: the demonstration's window never appeared"; exit 1; }
xdotool windowactivate --sync "$WINDOW" 2>/dev/null || xdotool windowfocus "$WINDOW" 2>/dev/null || true
sleep 1
end=$((SECONDS + SECONDS_LONG))
round=0
while [ "$SECONDS" -lt "$end" ] && kill -0 "$APP" 2>/dev/null; do
  round=$((round + 1))
  xdotool mousemove_relative -- $((round % 7 * 6 - 18)) $((round % 5 * 3 - 6))
  case $((round % 6)) in
    0) xdotool keydown w; sleep 0.4; xdotool keyup w ;;
    1) xdotool keydown a; sleep 0.3; xdotool keyup a ;;
    2) xdotool mousedown 1; sleep 0.35; xdotool mouseup 1 ;;
    3) xdotool keydown s; sleep 0.2; xdotool keyup s ;;
    4) xdotool mousedown 3; sleep 0.1; xdotool mouseup 3 ;;
    5) xdotool keydown d; sleep 0.3; xdotool keyup d ;;
  esac
  sleep 0.1
done
xdotool key Escape
wait "$APP" || { echo "replay-check: the recorded run failed"; exit 1; }
for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
PIDS=()
unset DISPLAY

for run in 1 2; do
  echo "== replay $run, headless"
  mkdir -p "$WORK/replay$run"
  (cd "$WORK/replay$run" && SDL_VIDEODRIVER=offscreen "$PHYSICS" --replay "$WORK/session.mvr" \
    --hashes "$WORK/replay$run.hashes" --screenshot "$WORK/replay$run.png")
done

red=$(cat "$WORK"/record/"MVE LogFile.html" "$WORK"/replay*/"MVE LogFile.html" | grep -o -E "color:#FF0000;'>[^<]*" || true)
frames=$(wc -l < "$WORK/recorded.hashes")
passes=$(stat -c %s "$WORK/session.mvr")
echo "recorded frames: $frames, recording: $passes bytes"
grep -o -E "#(0000FF|FF0000);'>[^<]*replay[^<]*" "$WORK"/replay1/"MVE LogFile.html" | sed 's/.*>/log: /' || true
status=0
cmp -s "$WORK/recorded.hashes" "$WORK/replay1.hashes" || { echo "FAIL: replay 1 differs from the recording"; diff "$WORK/recorded.hashes" "$WORK/replay1.hashes" | head -5; status=1; }
cmp -s "$WORK/replay1.hashes" "$WORK/replay2.hashes" || { echo "FAIL: the two replays differ"; status=1; }
cmp -s "$WORK/replay1.png" "$WORK/replay2.png" || { echo "FAIL: the last pictures differ"; status=1; }
[ -z "$red" ] || { echo "FAIL: red rows in the logs:"; echo "$red" | sort | uniq -c | head; status=1; }
# The recording, the hashes and the last pictures stay for a look.
mkdir -p "$BUILD/replay-check"
cp "$WORK"/session.mvr "$WORK"/*.hashes "$WORK"/*.png "$BUILD/replay-check/" 2>/dev/null || true
[ "$status" -eq 0 ] && echo "replay-check: $frames frames identical in the recording and both replays; last pictures identical (kept in $BUILD/replay-check)"
exit "$status"
