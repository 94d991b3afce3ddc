#!/usr/bin/env bash
# Runs every fuzz target (libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer, leak checks on)
# for a given time each and fails on any finding. Not part of the test command: it takes long.
#   Tools/fuzz.sh [seconds per target, default 60] [target ...]
#   FUZZ_RUNS=1000000 Tools/fuzz.sh 7200 ogg   stops each target after that many inputs instead
#   FUZZ_MAX_LEN=32768 ...                      longest input tried (default 131072; shorter is faster)
# Targets: definition mesh obj body material texture font image ogg particles replay. Needs clang (Debian `clang`).
# Findings land in build-fuzz/findings/<target>/; replay one with
#   build-fuzz/Tests/Fuzz/fuzz_<target> <file>
# and keep it under Tests/Fuzz/regressions/<target>/ once fixed (FuzzRegressionTest replays them).
# The corpus grown by earlier runs stays in build-fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
EACH="${1:-60}"; shift || true
TARGETS="${*:-definition mesh obj body material texture font image ogg particles replay}"
BUILD="$ROOT/build-fuzz"
CORPUS="$ROOT/../shared/corpus"   # the shared loader corpus, when present
SEEDS="$ROOT/Tests/Fuzz/seeds"
REGRESSIONS="$ROOT/Tests/Fuzz/regressions"

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed (apt-get install clang)"; exit 2; }
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMVE_FUZZ=ON -DMVE_BUILD_TESTS=OFF -DMVE_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target mve_fuzz

# Seed folders per target (libFuzzer reads folders recursively; missing ones are skipped).
seeds() {
  case "$1" in
    definition) echo "$SEEDS/definition $SEEDS/material $SEEDS/mesh $SEEDS/body" ;;
    mesh)       echo "$SEEDS/mesh" ;;
    obj)        echo "$SEEDS/obj $CORPUS/obj" ;;
    body)       echo "$SEEDS/body $SEEDS/mesh" ;;
    material)   echo "$SEEDS/material $SEEDS/definition" ;;
    texture)    echo "$SEEDS/texture $SEEDS/material" ;;
    font)       echo "$SEEDS/font $ROOT/Samples/Physics/Resources" ;;
    image)      echo "$CORPUS/png $CORPUS/jpeg $ROOT/Source/Texture/Builtin" ;;
    ogg)        echo "$CORPUS/ogg" ;;
    particles)  echo "$SEEDS/particles $SEEDS/material" ;;
    replay)     echo "$SEEDS/replay $ROOT/Tests/Replay" ;;
  esac
  echo "$CORPUS/misc $REGRESSIONS/$1"
}

export SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null LIBGL_ALWAYS_SOFTWARE=1
# Leaks are findings, except those of the GL driver that SDL loads and unloads (texture target).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export LSAN_OPTIONS="suppressions=$ROOT/Tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=""
printf '%-12s %10s %8s %8s  %s\n' target runs seconds exec/s result > "$BUILD/fuzz-summary.txt"
for t in $TARGETS; do
  exe="$BUILD/Tests/Fuzz/fuzz_$t"
  [ -x "$exe" ] || { echo "fuzz.sh: no target '$t'"; failed="$failed $t"; continue; }
  mkdir -p "$BUILD/corpus/$t" "$BUILD/findings/$t"
  dirs=""
  for d in $(seeds "$t"); do [ -d "$d" ] && dirs="$dirs $d"; done
  echo "== fuzz_$t for ${EACH}s"
  log="$BUILD/findings/$t/run.log"
  set +e
  # One line per input would make the run logs huge: only the summary and a finding's report.
  (cd "$BUILD/findings/$t" && "$exe" -max_total_time="$EACH" ${FUZZ_RUNS:+-runs="$FUZZ_RUNS"} -timeout=30 -rss_limit_mb=2560 -max_len="${FUZZ_MAX_LEN:-131072}" \
     -artifact_prefix="$BUILD/findings/$t/" -print_final_stats=1 -close_fd_mask=1 \
     "$BUILD/corpus/$t" $dirs) > "$log" 2>&1
  rc=$?
  set -e
  # A run stopped by a finding prints no "Done" line: its count comes from the final stats, and
  # a missing figure must not end the script (set -e) before the other targets and the summary.
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{print $2}' | tail -1 || true)
  secs=$(grep -o '^Done [0-9]* runs in [0-9]* second' "$log" | awk '{print $5}' | tail -1 || true)
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | awk '{print $2}' | tail -1 || true)
  if [ $rc -eq 0 ]; then result=clean; else
    result="FINDING (exit $rc): $(ls "$BUILD/findings/$t" | grep -v run.log | tr '\n' ' ')"
    failed="$failed $t"
    grep -m1 -E 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|broken promise' "$log" || true
  fi
  printf '%-12s %10s %8s %8s  %s\n' "$t" "${runs:--}" "${secs:--}" "${rate:--}" "$result" >> "$BUILD/fuzz-summary.txt"
done
cat "$BUILD/fuzz-summary.txt"
if [ -n "$failed" ]; then
  echo "fuzz.sh: findings in:$failed (reports in $BUILD/findings/<target>/run.log)"
  exit 1
fi
