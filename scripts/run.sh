#!/usr/bin/env bash
# The main job: installs the Debian packages that are missing (which needs
# root or sudo), builds the project, lays out a sample application root with
# the zvenv host in its bin folder, and runs a short session there: a user is
# set, a document is seeded from the shipped defaults, values are read and
# changed, and the saved files are shown.
#
#   ./scripts/run.sh                 the session
#   ./scripts/run.sh ARGUMENT...     zvenv with these arguments on the sample root
#                                    (./scripts/run.sh ini --help)
#   ./scripts/run.sh --fresh [...]   starts again from an empty sample root
#
# The sample root (build/demo/approot) is kept between calls, so that
# `run.sh user set alice` followed by `run.sh user` shows alice.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=deps.sh
source scripts/deps.sh
zv_ensure_packages "${ZV_BUILD_PACKAGES[@]}"

demo=build/demo/approot
if [ "${1:-}" = --fresh ]; then
    shift
    rm -rf build/demo
fi

# The build's output is shown only when it fails (ninja writes its errors to
# standard output).
mkdir -p build
log=build/run-build.log
if ! { cmake --preset default && cmake --build --preset default --target zvenv JSONLint; } >"$log" 2>&1; then
    cat "$log"
    echo "The build failed; its output is above and in $log." >&2
    exit 1
fi

# The programs are placed afresh, the root's files are kept.
mkdir -p "$demo/bin"
[ -d "$demo/system" ] || cp -r examples/approot/system "$demo/"
cp build/default/bin/zvenv "$demo/bin/"
cp -P build/default/bin/lib*.so* "$demo/bin/"
zvenv="$demo/bin/zvenv"

if [ $# -gt 0 ]; then
    exec "$zvenv" "$@"
fi

# Shows a command, then runs it; a refused command is part of the show.
step() {
    printf '\n$ zvenv %s\n' "$*"
    "$zvenv" "$@" || echo "(exit status $?)"
}
# Prints a file of the root; UTF-16LE files as UTF-8 text.
show() {
    [ -f "$1" ] || return 0
    if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' \n')" = "fffe" ]; then
        printf '\n--- %s (UTF-16LE, first bytes:%s)\n' "${1#"$demo"/}" "$(head -c 8 "$1" | od -An -tx1)"
        tail -c +3 "$1" | iconv -f UTF-16LE -t UTF-8 | tr -d '\r'
    else
        printf '\n--- %s\n' "${1#"$demo"/}"
        cat "$1"
    fi
    echo
}

echo "Sample application root: $demo (zvenv lies in $demo/bin; --fresh starts it again)"

step paths
step user set alice
step ini get trade Main Title
step ini get trade Columns --ordered 'Item%d'
step ini set trade Main Title 'Trade – Größe'
step ini set trade Main Bounds 10,10,1024,768 --type rect
step ini get trade Main Bounds --type rect
step ini set trade Main Bounds 1,2,3 --type rect
step ini set trade Main Note $'two\nlines'
step --dry-run ini set trade Main RefreshSeconds 1 --type int
step ini set EnvSetting General Language de
step json get layout title
step json set layout window size 1024,768 --type size
step json set layout panels 0 charts
step --format json json get layout panels
step dump layout
step diff trade
step json check "$demo/system/layout.json"
step --user bob ini set trade Main Title 'Bob’s trades'
step users envsetting.ini
step ini get ../outside Main Title
step user

echo
echo "Files under the root after the session:"
(cd "$demo" && find system user -type f | sort)
show "$demo/user/alice/trade.ini"
show "$demo/user/alice/envsetting.ini"
show "$demo/user/alice/layout.json"
show "$demo/user/bob/trade.ini"
