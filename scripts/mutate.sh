#!/usr/bin/env bash
# The mutation run: applies the fixed mutants of scripts/mutants.txt one at a
# time to a copy of the tree, rebuilds only the affected test programs and
# runs them; prints killed or survived per mutant and the total.
#   ./scripts/mutate.sh [run] [--only m01,m02] [--source DIR]
#   ./scripts/mutate.sh show m07
# See scripts/mutate.py for the details.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=deps.sh
source scripts/deps.sh
zv_ensure_packages "${ZV_BUILD_PACKAGES[@]}" python3 || exit 1
[ $# -eq 0 ] && set -- run
exec python3 scripts/mutate.py "$@"
