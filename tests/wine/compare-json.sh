#!/usr/bin/env bash
# Runs the JSON program built for Windows under the loader and the native
# one, and compares what they print.
# Usage: compare-json.sh WINE64 WINDOWS_EXE NATIVE_EXE WORK_DIR
# Exit status: 0 when the outputs agree, 1 when they differ, 77 when the
# loader cannot run here.
set -uo pipefail
wine=$1 winexe=$2 native=$3 work=$4
mkdir -p "$work"
export WINEDEBUG=-all WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree,mshtml="
if ! "$wine" "$winexe" >"$work/wide.txt" 2>"$work/wine.log"; then
    echo "SKIP: the loader does not run the program here:" >&2
    cat "$work/wine.log" >&2
    exit 77
fi
"$native" >"$work/native.txt" || exit 1
if ! diff <(tr -d '\r' <"$work/wide.txt") "$work/native.txt" >"$work/diff.txt"; then
    echo "FAIL: the 16-bit and 32-bit builds differ (16-bit <, 32-bit >):" >&2
    head -40 "$work/diff.txt" >&2
    exit 1
fi
echo "the same $(wc -l <"$work/native.txt") lines at both widths"
