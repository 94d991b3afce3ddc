#!/usr/bin/env bash
# The whole test suite under AddressSanitizer + UndefinedBehaviorSanitizer with leak detection
# (build-asan), then the tests that run threads against each other under ThreadSanitizer
# (build-tsan). Fails on the first finding. Takes long: not part of scripts/test.sh's first run.
#   Tools/sanitizers.sh [ctest -R pattern for the ASan run]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
scripts/setup.sh build-asan -DMVE_ASAN=ON -DMVE_BUILD_BENCH=OFF
# Leak detection stays on for the engine; only memory the system's GL driver keeps after SDL has
# unloaded it is suppressed (Tools/lsan.supp, matched by library and by SDL's own entry points).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$ROOT/Tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-asan --output-on-failure -j2 ${1:+-R "$1"}
scripts/setup.sh build-tsan -DMVE_TSAN=ON -DMVE_BUILD_BENCH=OFF
# The same suppressions as scripts/test.sh: races inside libraries built without ThreadSanitizer,
# by library name only (Tests/tsan.supp); the engine's own threads stay checked.
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$ROOT/Tests/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j2 -R "Thread|Debugger|Object|Physics|Collision|Sound|Demo|Replay|Hygiene"
