#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows stage: cross-builds kopc_map and every test with MinGW-w64, runs the whole
# suite against the Windows programs under Wine, packs the .zip, and checks that the
# kopc_map.exe from the .zip and the Linux program write the same files, byte for byte,
# and print the same lines.
#
# KOPC_WIN_BUILD names the cross build folder (default build-windows); KOPC_NATIVE_BUILD
# the Linux build to compare with (default build, built here when it has no kopc_map).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

bash .ci/install-deps.sh g++-mingw-w64-x86-64 wine64 wine unzip

win_build=${KOPC_WIN_BUILD:-build-windows}
native_build=${KOPC_NATIVE_BUILD:-build}

# One Wine prefix for every Windows build of this checkout (the toolchain file gives the
# tests the same one). Creating it takes a while; doing it up front keeps that out of the
# first program Wine runs.
export WINEPREFIX="$PWD/build-wine"
export WINEDEBUG=-all
wine=$(command -v wine64 || command -v wine)
wineboot -i
# One Wine server and its helper processes for the whole stage, started here with no pipe
# of a test attached. Otherwise nearly every test program starts a server of its own, and
# Wine 8.0's driver host, starting up under load, may crash (a NULL device object in
# IoCreateDevice) and print that on the standard error of whichever test started it.
# (wineboot's own server ends by itself once it is idle; wait for that first.)
wineserver -w
wineserver -p
"$wine" cmd /c exit < /dev/null > /dev/null 2>&1
# End the server with the stage, and remove what the stage unpacked, whatever the outcome.
unpacked=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$unpacked"' EXIT

cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DKOPC_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$win_build" -j 2

echo "== Windows tests under Wine"
(cd "$win_build" && KOPC_CRLF=1 ctest --output-on-failure -j 2)

echo "== the .zip"
(cd "$win_build" && cpack -G ZIP)
zip=$(ls dist/kopc_map-*-windows-x86_64.zip)
unzip -q "$zip" -d "$unpacked"
ls -l "$zip"
unzip -l "$zip"

echo "== same output from the Linux program and the .zip's kopc_map.exe"
if [ ! -x "$native_build/kopc_map" ]; then
    cmake -S . -B "$native_build" -DKOPC_TESTS=OFF
    cmake --build "$native_build" -j 2 --target kopc_map kopc_sample
fi
python3 .ci/compare_windows.py "$native_build/kopc_map" "$native_build/sample/kopc_sample" \
    -- "$wine" "$(find "$unpacked" -name kopc_map.exe)"

echo "== Windows stage took $(($(date +%s) - started)) s"
