#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Brings the Debian or Ubuntu packages the build and the tests need: the ones named, or with
# no name what `make test` needs. Run as root it says which are missing and how much they
# download, and installs them (KOPC_NO_INSTALL=1 turns that off); otherwise it stops with
# the one line to run. A package whose program is already on the PATH (npm from Node.js's
# own packages, say) is not asked for, nor one that this system's lists do not have (Ubuntu
# has no firefox-esr): the tests that need it report themselves skipped. Off Debian and
# Ubuntu it does nothing.
set -euo pipefail
command -v dpkg-query > /dev/null || exit 0
packages=(cmake make g++ googletest python3 groff-base "$@")
if [ $# -eq 0 ]; then
    packages+=(zlib1g-dev libpugixml-dev python3-pil chromium firefox-esr nodejs npm tiled)
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
# What the package lists offer (madison leaves out what is only installed).
known() { [ -n "$(apt-cache madison "$1" 2> /dev/null)" ]; }
if [ "$(id -u)" = 0 ] && [ "${KOPC_NO_INSTALL:-0}" != 1 ]; then
    echo "reading the package lists (apt-get update) to install: ${missing[*]}"
    apt-get update -q
fi
# Lists that do not know dpkg, which every system has, are empty (a fresh container's) and
# cannot tell what exists; otherwise a package they do not have is left out.
lists=$(known dpkg && echo 1 || echo 0)
available=()
for p in "${missing[@]}"; do
    if [ "$lists" = 0 ] || known "$p"; then
        available+=("$p")
    else
        echo "not available here, its tests will be skipped: $p"
    fi
done
[ ${#available[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ] || [ "${KOPC_NO_INSTALL:-0}" = 1 ]; then
    echo "missing packages: ${available[*]}; install them with:"
    echo "  sudo apt-get update && sudo apt-get install -y ${available[*]}"
    exit 1
fi
# "Need to get 12 kB/393 MB of archives." where some are cached; the whole is after the slash.
plan=$(LC_ALL=C apt-get install --assume-no "${available[@]}" 2> /dev/null) || true
size=$(sed -n 's/^Need to get \([^/]*\/\)\{0,1\}\([0-9.,]* [kMG]\{0,1\}B\).*/\2 to download/p' <<< "$plan")
disk=$(sed -n 's/^After this operation, \([0-9.,]* [kMG]\{0,1\}B\) of additional.*/, \1 on disk/p' <<< "$plan")
echo "installing ${available[*]} (${size:-size unknown}$disk)"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${available[@]}"
