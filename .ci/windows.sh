#!/usr/bin/env bash
# The Windows stage: cross-builds kopc_map and every test with MinGW-w64, runs the whole
# suite against the Windows programs under Wine, then checks that the Windows and the
# Linux program write the same files, byte for byte, and print the same lines.
#
# KOPC_WIN_BUILD names the cross build folder (default build-windows); KOPC_NATIVE_BUILD
# the Linux build to compare with (default build, built here when it has no kopc_map).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

bash .ci/install-deps.sh g++-mingw-w64-x86-64 wine64 wine

win_build=${KOPC_WIN_BUILD:-build-windows}
native_build=${KOPC_NATIVE_BUILD:-build}

# The same prefix as the toolchain file gives the tests' emulator. Creating it takes a
# while; doing it once up front keeps that out of the first program Wine runs (the
# build itself runs the sample generator).
mkdir -p "$win_build"
export WINEPREFIX="$PWD/$win_build/wineprefix"
export WINEDEBUG=-all
wine=$(command -v wine64 || command -v wine)
wineboot -i
# Wine leaves its server running for a few seconds after the last program; end it with
# the stage, whatever the outcome.
trap 'wineserver -k 2>/dev/null || true' EXIT

cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DKOPC_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$win_build" -j 2

echo "== Windows tests under Wine"
(cd "$win_build" && KOPC_CRLF=1 ctest --output-on-failure -j 2)

echo "== same output from the Linux and the Windows program"
if [ ! -x "$native_build/kopc_map" ]; then
    cmake -S . -B "$native_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$native_build" -j 2 --target kopc_map
fi
sample=()
generator=$(find "$native_build" -maxdepth 3 -type f -name kopc_sample -perm -u+x | head -n 1)
if [ -n "$generator" ]; then
    sample=(--sample "$generator")
fi
if [ -d "$native_build/sample-data" ] && [ -d "$win_build/sample-data" ]; then
    diff -r "$native_build/sample-data" "$win_build/sample-data"
    echo "the sample world written by both generators is the same"
fi
python3 .ci/compare_windows.py "$win_build/compare" "$native_build/kopc_map" "${sample[@]}" \
    -- "$wine" "$win_build/kopc_map.exe"

echo "== Windows stage took $(($(date +%s) - started)) s"
