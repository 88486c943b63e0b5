#!/usr/bin/env bash
# Compares what a program built for Windows prints under the reference loader with its native build.
# Usage: compare.sh WINE64 WINDOWS_EXE NATIVE_EXE WORK_DIR [SCRIPT...]: SCRIPTs are profile_script's, each on a file of
# its own (random:SEED:COUNT generated natively; '?' lines not compared). Exit 1 on a difference, 77 without wine.
set -uo pipefail
wine=$1 winexe=$2 native=$3 work=$4
shift 4
mkdir -p "$work"
export WINEDEBUG=-all WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree,mshtml="
if ! "$wine" "$winexe" ${1:+generate 1 0} >/dev/null 2>"$work/wine-start.log"; then
    echo "SKIP: the reference loader does not start here:" >&2
    cat "$work/wine-start.log" >&2
    exit 77
fi
# compare NAME WINDOWS_ARGS NATIVE_ARGS
compare() {
    local name=$1 ref="$work/$1.reference" ours="$work/$1.ours"
    "$wine" "$winexe" $2 2>"$ref.err" | tr -d '\r' >"$ref"
    "$native" $3 >"$ours" 2>"$ours.err"
    if [ ! -s "$ref" ] || [ -s "$ref.err" ] || [ -s "$ours.err" ]; then
        echo "FAIL $name: a program failed" >&2
        cat "$ref.err" "$ours.err" >&2
        return 1
    fi
    if ! diff <(sed 's/^?.*/?/' "$ref") <(sed 's/^?.*/?/' "$ours") >"$work/$name.diff"; then
        echo "FAIL $name: $(grep -c '^<' "$work/$name.diff") lines differ (reference <, ours >):" >&2
        head -40 "$work/$name.diff" >&2
        return 1
    fi
    echo "ok $name: $(grep -vc '^?' "$ours") lines agree"
}
[ $# = 0 ] && { compare output "" ""; exit; }
status=0
for script in "$@"; do
    if [[ $script == random:* ]]; then
        IFS=: read -r _ seed count <<<"$script"
        script="$work/random-$seed.txt"
        "$native" generate "$seed" "$count" >"$script"
    fi
    # The Windows program sees the same folder through drive Z:. Paths hold no blanks.
    compare "$(basename "$script" .txt)" "run Z:${script//\//\\} Z:${work//\//\\}\\reference.ini" \
        "run $script $work/ours.ini" || status=1
done
exit $status
