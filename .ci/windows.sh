#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows stage: cross-builds kopc_map and every test with MinGW-w64, runs the whole
# suite against the Windows programs under Wine, packs the .zip (`make package-windows`),
# checks its text files (Windows line ends; the manuals plain ASCII), that its
# `kopc_map.exe sample` and `kopc_atlas.exe sample` write the 31 maps and the page of
# `make demo` (and that kopc_import.exe brings kopc_tmx.exe's maps back unchanged), and that
# its programs and the Linux ones write the same files, byte for byte, and print the same
# lines.
#
# KOPC_WIN_BUILD names the cross build folder (default build-windows); KOPC_NATIVE_BUILD
# the Linux build to compare with (default build, where `make demo` builds what it needs).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

# libpugixml-dev names the pugixml version the Windows programs are built with, from Debian's
# source package (dpkg-dev unpacks it).
bash .ci/install-deps.sh g++-mingw-w64-x86-64 libz-mingw-w64-dev libpugixml-dev dpkg-dev \
    wine64 wine unzip zip

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

# One unpacked pugixml source for this build and `make package-windows`'s (its default).
bash .ci/pugixml-source.sh build-pugixml
cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DKOPC_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOPC_PUGIXML_SOURCE_DIR="$PWD/build-pugixml"
cmake --build "$win_build" -j 2
# Every program of this checkout (kopc_import where its source is), which the build would
# otherwise leave out without a word where the cross build lacks a library.
programs=(kopc_map kopc_atlas kopc_tmx)
[ ! -d src/kopc_import ] || programs+=(kopc_import)
for program in "${programs[@]}"; do
    test -f "$win_build/$program.exe" || { echo "the Windows build made no $program.exe"; exit 1; }
done

echo "== Windows tests under Wine"
(cd "$win_build" && KOPC_CRLF=1 ctest --output-on-failure -j 2)

echo "== the .zip"
make package-windows JOBS=2
zip=$(ls dist/kopc_map-*-windows-x86_64.zip)
unzip -q "$zip" -d "$unpacked"
unzip -l "$zip"
top=$(echo "$unpacked"/kopc_map-*)
for program in "${programs[@]}"; do
    test -f "$top/$program.exe" && test -f "$top/$program.txt" ||
        { echo "the .zip has no $program.exe or $program.txt"; exit 1; }
done
for text in README.txt LICENSE.txt "${programs[@]/%/.txt}"; do
    if grep -qv $'\r$' "$top/$text"; then echo "$text has a line without CR LF"; exit 1; fi
done
if grep -qP '[^\x00-\x7F]' "$top"/kopc_*.txt; then echo "a manual is not ASCII"; exit 1; fi
echo "README.txt, LICENSE.txt and the manuals end their lines in CR LF; the manuals are ASCII"

echo "== the .zip's kopc_map.exe sample, and make demo"
make demo BUILD_DIR="$native_build" | grep '^MAP' > "$unpacked/demo.txt"
mkdir "$top/tmx"
for program in kopc_map kopc_atlas kopc_tmx; do
    # As make demo runs them: kopc_tmx into tmx/, both with the sample's shape names.
    up=. && [ $program != kopc_tmx ] || up=..
    names=() && [ $program = kopc_map ] || names=(--names "$up/sample/names.txt")
    (cd "$top/$([ $up = . ] || echo tmx)" && "$wine" "$up/$program.exe" "${names[@]}" "$up/sample" |
        tr -d '\r' > "$unpacked/sample.txt")
    cmp "$unpacked/sample.txt" "$unpacked/demo.txt"
done
cmp demo/atlas.html "$top/atlas.html"
diff -r demo/tmx "$top/tmx"
test "$(ls "$top" | grep -c '^ko\..*\.bmp$')" = 31
for map in demo/ko.*.bmp; do
    cmp "$map" "$top/${map#demo/}"
done
echo "the same 31 maps, atlas page and lines"
if [ -d src/kopc_import ]; then
    # The Tiled maps that kopc_tmx.exe wrote, unedited, give back the sample's files as they were.
    cp -r "$top/sample" "$top/game"
    (cd "$top" && "$wine" kopc_import.exe --overwrite tmx game > /dev/null)
    diff -r "$top/sample" "$top/game"
    echo "the .zip's kopc_import.exe brings those maps back without changing a byte"
fi

echo "== same output from the Linux programs and the .zip's"
[ ! -d src/kopc_import ] || cmake --build "$native_build" -j 2 --target kopc_import > /dev/null
for program in "${programs[@]}"; do
    python3 .ci/compare_windows.py "$native_build/$program" "$native_build/sample/kopc_sample" \
        -- "$wine" "$top/$program.exe"
done

echo "== Windows stage took $(($(date +%s) - started)) s"
