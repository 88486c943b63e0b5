#!/usr/bin/env bash
# As an unprivileged user without sudo, installing a missing package stops
# with the sentence of the README.   needs_root.sh SOURCE-FOLDER
set -u
command -v sudo >/dev/null 2>&1 && { echo "sudo is installed here: nothing to check"; exit 77; }
[ "$(id -u)" = 0 ] || { echo "needs root to drop to an unprivileged user"; exit 77; }
out=$(setpriv --reuid=65534 --regid=65534 --clear-groups bash -c \
    'source "$1/scripts/deps.sh"; zv_ensure_packages zz-not-a-package' test.sh "$1" 2>&1)
status=$?
expected="test.sh installs Debian packages and needs root (or sudo): run it as root, or install sudo."
[ $status -ne 0 ] && [[ $out == "$expected"* ]] || { echo "expected exit status 1 and '$expected', got $status: $out"; exit 1; }
