#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each over its corpus for a while.
# Fails when any target finds a crash, a leak or a broken property; the input
# is kept under build/fuzz/artifacts/<target>/.
#   ZV_FUZZ_SECONDS  time per target (default 5)
#   ZV_FUZZ_TARGETS  the targets to run (default: every fuzz_* built)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
zv_ensure_packages "${ZV_BUILD_PACKAGES[@]}" "${ZV_FUZZ_PACKAGES[@]}"

seconds=${ZV_FUZZ_SECONDS:-5}
build=build/fuzz
# A build folder configured otherwise (another compiler, the test build) is
# set up afresh: CMake drops the options when the compiler changes.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^ZV_BUILD_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
    -DZV_BUILD_FUZZ=ON -DZV_BUILD_TESTS=OFF -DZV_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
cmake --build "$build"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ] && export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer

if [ -n "${ZV_FUZZ_TARGETS:-}" ]; then
    read -r -a targets <<<"$ZV_FUZZ_TARGETS"
else
    targets=()
    for exe in "$build"/bin/fuzz_*; do targets+=("$(basename "$exe")"); done
fi

failed=()
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    corpus=fuzz/$name/corpus
    work=$build/work/$name
    artifacts=$build/artifacts/$name
    mkdir -p "$work" "$artifacts"
    log=$build/$target.log
    # New inputs go to the work folder; the committed corpus is only read.
    if "$build/bin/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$work" "$corpus" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        if [ -z "$runs" ]; then
            echo "$target: not a libFuzzer executable, see $log"
            failed+=("$target")
            continue
        fi
        echo "$target: $runs inputs in ${seconds}s, no findings"
    else
        echo "$target: FAILED, see $log and $artifacts/"
        grep -E 'ERROR|runtime error|property broken|detail:' "$log" | head -5 || true
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found problems in: ${failed[*]}"
    exit 1
fi
