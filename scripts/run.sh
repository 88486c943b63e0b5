#!/usr/bin/env bash
# The main job: builds the project, lays out a sample application root with
# the zvenv host in its bin folder, and runs a short session there. With
# arguments, runs zvenv with them on the sample root instead.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
zv_ensure_packages "${ZV_BUILD_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default --target zvenv JSONLint >/dev/null

demo=build/demo/approot
rm -rf build/demo
mkdir -p "$demo/bin"
cp -r examples/approot/system "$demo/"
cp build/default/bin/zvenv build/default/bin/lib*.so* "$demo/bin/"

if [ $# -gt 0 ]; then
    exec "$demo/bin/zvenv" "$@"
fi

step() {
    echo
    echo "\$ zvenv $*"
    "$demo/bin/zvenv" "$@"
}
show() {
    echo
    echo "--- $1 (UTF-16LE on disk, shown as UTF-8)"
    iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'
    echo
}

echo "Sample application root: $demo (the host is $demo/bin/zvenv)"
step paths
step user set alice
step --user alice ini get trade Main Title
step --user alice ini get trade Columns --ordered 'Item%d'
step --user alice ini set trade Main RefreshSeconds 10 --type int
step --user alice ini set trade Main Background 255,255,224 --type rgb
step --user alice ini get trade Main RefreshSeconds --type int
step --user alice json get layout title
step --user alice json set layout window size 1024,768
step --user alice json list layout window
step --dry-run --user alice ini set trade Main Title Preview
show "$demo/user/alice/trade.ini"
show "$demo/user/alice/layout.json"
echo "Files under $demo/user:"
find "$demo/user" -type f | sort
