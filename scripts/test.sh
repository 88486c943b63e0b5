#!/usr/bin/env bash
# The test command: installs the Debian packages that are missing (which needs
# root or sudo), builds, and runs the stages below in order; ends with one line
# "N passed, N failed" and a failing exit status when anything failed.
#
#   ./scripts/test.sh           every stage, as CI runs it
#   ./scripts/test.sh --quick   build, tests and the format check only: no
#                               sanitizers, no fuzzing, no comparison with the
#                               platform's own functions under wine, no Windows
#
# Stages: build, tests, format, then (without --quick) sanitizers, fuzzing and
# windows (the mingw-w64 build and its suite under wine64).
# A stage's checks are counted from its output: the tests CTest ran, the fuzz
# targets, or the stage itself when it runs no tests.
set -uo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=deps.sh
source scripts/deps.sh

quick=0
for arg in "$@"; do
    case $arg in
    --quick) quick=1 ;;
    -h | --help)
        sed -n '2,15s/^# \{0,1\}//p' "$0"
        exit 0
        ;;
    *)
        echo "usage: $0 [--quick]" >&2
        exit 2
        ;;
    esac
done

packages=("${ZV_BUILD_PACKAGES[@]}")
[ $quick = 1 ] || packages+=("${ZV_FUZZ_PACKAGES[@]}" "${ZV_PLATFORM_CHECK_PACKAGES[@]}" "${ZV_WINDOWS_PACKAGES[@]}")
echo "Debian packages used: ${packages[*]}"
zv_ensure_packages "${packages[@]}" || exit 1

passed=0
failed=0
failures=()
logs=build/test-logs
mkdir -p "$logs"
started=$SECONDS

# stage NAME COMMAND...: runs the command with its output shown and kept in
# build/test-logs/NAME.log, then counts its checks.
stage() {
    local name=$1
    shift
    local log=$logs/$name.log
    local begin=$SECONDS
    echo
    echo "== $name: $*"
    "$@" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    # CTest's summary lines, and the fuzz script's line per target.
    local counted=0 line total bad
    while read -r line; do
        total=${line##* out of }
        bad=${line#*tests passed, }
        bad=${bad%% tests failed*}
        passed=$((passed + total - bad))
        failed=$((failed + bad))
        counted=1
    done < <(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+$' "$log")
    local good
    good=$(grep -cE '^fuzz_[A-Za-z0-9_]+: [0-9]+ inputs in ' "$log")
    bad=$(grep -cE '^fuzz_[A-Za-z0-9_]+: (FAILED|not a libFuzzer)' "$log")
    if [ "$good" -gt 0 ] || [ "$bad" -gt 0 ]; then
        passed=$((passed + good))
        failed=$((failed + bad))
        counted=1
    fi
    if [ $counted = 0 ]; then
        if [ "$status" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    fi
    [ "$status" = 0 ] || failures+=("$name")
    echo "== $name: $([ "$status" = 0 ] && echo done || echo FAILED) in $((SECONDS - begin)) s"
    return "$status"
}

build() {
    cmake --preset default >/dev/null && cmake --build --preset default
}

if stage build build; then
    if [ $quick = 1 ]; then
        stage tests ctest --preset default -LE wine
    else
        stage tests ctest --preset default
    fi
fi
stage format scripts/format-check.sh
if [ $quick = 0 ]; then
    # The suite again under the sanitizers, then a short run of every fuzz target.
    stage sanitizers scripts/sanitize.sh
    stage fuzzing scripts/fuzz.sh
    stage windows scripts/windows.sh
fi

echo
[ ${#failures[@]} -eq 0 ] || echo "failed stages: ${failures[*]} (logs in $logs/)"
echo "$((SECONDS - started)) s in all"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ] && [ ${#failures[@]} -eq 0 ]
