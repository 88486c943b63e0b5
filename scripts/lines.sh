#!/usr/bin/env bash
# Non-blank lines of the code (src/ and include/) and of the tests (tests/ and
# fuzz/, without bench/), per folder, and the tests as a share of the code.
# Test data does not count: fuzz corpora and golden files are inputs and
# expected bytes, not tests someone reads. The scripts of the comparison
# under wine (tests/wine/scripts) are test cases and count.
#   ./scripts/lines.sh [TREE]   (default: this checkout)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# count FOLDER...: non-blank lines of the tracked-looking files below them
count() {
    find "$@" -type f ! -path '*/corpus/*' ! -path '*/golden/*' -print0 | xargs -0 cat | grep -c '[^[:space:]]'
}

printf '%-22s %7s\n' "folder" "lines"
for d in include src/*/ src/platform/posix src/platform/profile; do
    d=${d%/}
    if [ "$d" = src/platform ]; then
        n=$(find src/platform -maxdepth 1 -type f -print0 | xargs -0 cat | grep -c '[^[:space:]]')
    else
        n=$(count "$d")
    fi
    printf '%-22s %7d\n' "$d" "$n"
done
code=$(count src include)
printf '%-22s %7d\n' "code in all" "$code"
echo
for d in tests/*/ fuzz; do
    d=${d%/}
    printf '%-22s %7d\n' "$d" "$(count "$d")"
done
tests=$(count tests fuzz)
printf '%-22s %7d\n' "tests in all" "$tests"
echo
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests are %.1f %% of the code (%d of %d non-blank lines)\n", 100 * t / c, t, c }'
