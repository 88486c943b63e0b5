#!/usr/bin/env bash
# The Windows stage of the test command: cross builds the windows preset with
# mingw-w64 and runs its suite under wine64. One wine server serves the whole
# run (otherwise each test program starts and stops its own), and is stopped
# at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows
export WINEPREFIX=$PWD/build/windows/wineprefix
server=$(sed -n 's/^ZV_WINESERVER:FILEPATH=//p' build/windows/CMakeCache.txt)
if [ -n "$server" ]; then
    "$server" -p </dev/null >/dev/null 2>&1
    trap '"$server" -k 2>/dev/null || true' EXIT
    # Wine's own services start with the first program and live as long as
    # the server: started here, they hold no test's output open (CTest
    # would wait for it).
    build/windows/wine-run cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
fi
# Under load wine now and then fails to start a test program (the test fails
# in no time, with no output of its own); a failing test runs once more, so a
# real fault, which fails both times, still fails the stage.
ctest --preset windows --repeat until-pass:2 "$@"
