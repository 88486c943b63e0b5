#!/usr/bin/env bash
# The main job: builds the project, lays out a sample application root with
# the zvenv host in its bin folder, and runs a short session there. With
# arguments, runs zvenv with them on the sample root instead. (The scripted
# session of the full host follows once the manager is in place.)
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

echo "Sample application root: $demo (the host is $demo/bin/zvenv)"
"$demo/bin/zvenv"
