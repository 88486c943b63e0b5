#!/usr/bin/env bash
# Builds and runs the whole test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (preset asan), then the tests that run threads or
# processes side by side under ThreadSanitizer (preset tsan).
#   ZV_TSAN_FILTER  the CTest name pattern of the tsan run
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
zv_ensure_packages "${ZV_BUILD_PACKAGES[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

start=$(date +%s)
cmake --preset asan >/dev/null
cmake --build --preset asan
# The install test builds a separate consumer without the sanitizers, which
# cannot load instrumented libraries; the default run covers it. A failure
# here still lets the ThreadSanitizer run go ahead; the script fails at the end.
status=0
ctest --preset asan -LE install || status=1
echo "asan: $(($(date +%s) - start))s"

start=$(date +%s)
filter=${ZV_TSAN_FILTER:-Concurren|Thread|Process|Parallel}
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan -R "$filter" || status=1
echo "tsan: $(($(date +%s) - start))s"
exit $status
