#!/usr/bin/env bash
# Line and branch coverage of src/ by the test suite, per subsystem.
#
#   ./scripts/coverage.sh            build the coverage preset, run every test,
#                                    print the table
#   ./scripts/coverage.sh --report   print the table of the last run again
#   ./scripts/coverage.sh -- ARGS    pass ARGS to ctest (-R, -LE wine, ...)
#
# The build is gcc's --coverage at -O0 (preset coverage, build/coverage). The
# counters of earlier runs are cleared first, so the table is one run of the
# suite. Branches that only throw and branches the compiler made but the source
# cannot take are left out, as they say nothing about the tests; so are the
# processes of the tests that kill processes at arbitrary points (see below).
# The per-file figures stay in build/coverage/coverage.json (gcovr's summary
# format).
set -uo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=deps.sh
source scripts/deps.sh

report_only=0
ctest_args=()
while [ $# -gt 0 ]; do
    case $1 in
    --report) report_only=1 ;;
    --)
        shift
        ctest_args=("$@")
        break
        ;;
    -h | --help)
        sed -n '2,15s/^# \{0,1\}//p' "$0"
        exit 0
        ;;
    *)
        echo "usage: $0 [--report] [-- ctest arguments]" >&2
        exit 2
        ;;
    esac
    shift
done

zv_ensure_packages "${ZV_BUILD_PACKAGES[@]}" "${ZV_COVERAGE_PACKAGES[@]}" || exit 1

build=build/coverage
summary=$build/coverage.json
# gcov writes its intermediate files into the working folder; an interrupted
# gcovr leaves them behind.
trap 'rm -f ./*.gcov' EXIT
status=0
if [ $report_only = 0 ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake --preset coverage "${launcher[@]}" >/dev/null || exit 1
    # Cleared before the build too: the build lists each program's tests by
    # running it, which would add to counters of the previous build.
    [ -d "$build" ] && find "$build" -name '*.gcda' -delete
    cmake --build --preset coverage || exit 1
    find "$build" -name '*.gcda' -delete
    if [ ${#ctest_args[@]} -gt 0 ]; then
        ctest --preset coverage "${ctest_args[@]}" || status=1
    else
        # The tests that kill processes at arbitrary points can kill one while
        # it writes its counters at exit, leaving a truncated file that every
        # later process then fails to merge into: their processes count in a
        # scratch folder, so the figures are the same from run to run.
        killing='Killed|RandomKills'
        GCOV_PREFIX="$PWD/$build/killed-counters" ctest --preset coverage -R "$killing" || status=1
        rm -rf "$build/killed-counters"
        ctest --preset coverage -E "$killing" || status=1
    fi
    # The wine prefixes of the comparison tests hold a drive that links to /:
    # the search for counter files must not walk into them.
    gcovr --root . --filter 'src/' --filter 'include/' --exclude-throw-branches --exclude-unreachable-branches \
        --exclude-directories '.*/(wine)?prefix(/.*)?$' \
        -j 2 --json-summary "$summary" "$build" || exit 1
fi
[ -f "$summary" ] || {
    echo "no coverage data: run $0 without --report first" >&2
    exit 1
}

python3 - "$summary" <<'EOF'
import json, sys

# The subsystems of src/, in the order of the layers; the public headers of
# the platform count with it.
ROWS = ["platform", "platform/profile", "platform/posix", "zvutil", "util", "ini", "json", "jsonlint",
        "envini", "envjson", "envmgr", "host", "public headers"]

def row_of(path):
    parts = path.split("/")
    if parts[0] == "include":
        return "platform" if parts[2:3] == ["platform"] else "public headers"
    if parts[1] == "platform" and len(parts) > 3 and parts[2] in ("profile", "posix"):
        return "platform/" + parts[2]
    return parts[1]

totals = {}
for f in json.load(open(sys.argv[1]))["files"]:
    t = totals.setdefault(row_of(f["filename"]), [0, 0, 0, 0])
    t[0] += f["line_covered"]; t[1] += f["line_total"]
    t[2] += f["branch_covered"]; t[3] += f["branch_total"]

def pct(covered, total):
    return "%5.1f %%" % (100.0 * covered / total) if total else "    -  "

print("| subsystem | lines | line coverage | branches | branch coverage |")
print("| --- | ---: | ---: | ---: | ---: |")
all_ = [0, 0, 0, 0]
for row in ROWS + sorted(set(totals) - set(ROWS)):
    if row not in totals or totals[row][1] == 0:
        continue
    t = totals[row]
    all_ = [a + b for a, b in zip(all_, t)]
    print("| %s | %d | %s | %d | %s |" % (row, t[1], pct(t[0], t[1]), t[3], pct(t[2], t[3])))
print("| all of src/ | %d | %s | %d | %s |" % (all_[1], pct(all_[0], all_[1]), all_[3], pct(all_[2], all_[3])))
EOF
exit $status
