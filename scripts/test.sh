#!/usr/bin/env bash
# Installs what is missing, builds the project and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
zv_ensure_packages "${ZV_BUILD_PACKAGES[@]}" "${ZV_PLATFORM_CHECK_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default

# The suite again under the sanitizers, then a short run of every fuzz target.
scripts/sanitize.sh
scripts/fuzz.sh
