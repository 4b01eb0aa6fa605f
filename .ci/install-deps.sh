#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Brings the Debian or Ubuntu packages the build and the tests need: the ones named, or with
# no name what `make test` needs. Run as root it says which are missing and installs them
# (KOPC_NO_INSTALL=1 turns that off); otherwise it stops with the one line to run. A package
# whose program is already on the PATH (npm from Node.js's own packages, say) is not asked
# for, nor one the system's lists do not have (Ubuntu has no firefox-esr): the tests that
# need it report themselves skipped. Off Debian and Ubuntu it does nothing.
set -euo pipefail
command -v dpkg-query > /dev/null || exit 0
packages=(cmake make g++ googletest python3 groff-base "$@")
if [ $# -eq 0 ]; then
    packages+=(zlib1g-dev python3-pil chromium firefox-esr nodejs npm tiled)
fi
# The program that stands for a package where another package may bring it.
declare -A provides=([nodejs]=node [npm]=npm [chromium]=chromium [firefox-esr]=firefox-esr
                     [tiled]=tmxrasterizer [cmake]=cmake [python3]=python3)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" && continue
    [ -n "${provides[$p]:-}" ] && command -v "${provides[$p]}" > /dev/null && continue
    missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
root=$([ "$(id -u)" = 0 ] && [ "${KOPC_NO_INSTALL:-0}" != 1 ] && echo 1 || echo 0)
[ "$root" = 1 ] && apt-get update -q > /dev/null
# Only what this system's lists have; the tests that need the rest skip themselves.
available=()
for p in "${missing[@]}"; do
    if [ -n "$(apt-cache policy "$p" 2> /dev/null | grep 'Candidate: [0-9]')" ]; then
        available+=("$p")
    else
        echo "not available here, its tests will be skipped: $p"
    fi
done
[ ${#available[@]} -eq 0 ] && exit 0
if [ "$root" = 0 ]; then
    echo "missing packages; install them with:"
    echo "  sudo apt-get install -y ${available[*]}"
    exit 1
fi
echo "installing: ${available[*]}"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${available[@]}"
