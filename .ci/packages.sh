#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The packages as a distribution and a user get them. Two fresh clones of this commit, in
# folders of different names and depths, each run `make package package-windows`: the
# .deb, the .tar.gz and the .zip must be byte-identical, and lintian must find nothing in
# the .deb. In the first clone `make demo` must work after a configure that failed (a
# `make test` without GoogleTest). Then the .deb is unpacked into a scratch root and the
# .tar.gz beside it: kopc_map, kopc_atlas and kopc_tmx each print their usage and render
# the sample world the package carries with the bytes and lines of `make demo`, kopc_import
# (where this checkout has it) brings those Tiled maps back without changing a byte of the
# sample, the sample world is the one the build writes, the .deb's programs link the
# system's zlib and pugixml (kopc_import at least) and the package depends on them, the
# .tar.gz's link nothing, and `man` finds the pages of the .deb. The packages are left in
# dist/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-deps.sh man-db lintian dpkg-dev git zip g++-mingw-w64-x86-64 zlib1g-dev \
    libz-mingw-w64-dev libpugixml-dev

# Every program of this checkout: kopc_import where its source is.
programs=(kopc_map kopc_atlas kopc_tmx)
[ ! -d src/kopc_import ] || programs+=(kopc_import)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
one=$work/one/kopc_map
two=$work/two/a/longer/path/elsewhere
for clone in "$one" "$two"; do
    echo "== make package package-windows in $clone"
    git clone -q "$PWD" "$clone"
    make -C "$clone" package package-windows JOBS=2 > "$work/package.log" 2>&1 ||
        { cat "$work/package.log"; exit 1; }
done
ls -l "$one/dist"
for package in "$one"/dist/*; do
    cmp "$package" "$two/dist/${package##*/}"
done
echo "the two clones made the same $(ls "$one/dist" | wc -l) packages, byte for byte"

version=$(sed -n 's/^project(kopc_map VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$one/dist/kopc-map_${version}_amd64.deb
tgz=$one/dist/kopc_map-${version}-linux-x86_64.tar.gz
echo "== lintian"
lintian --pedantic -I --fail-on error,warning "$deb"
test "$(dpkg-deb -f "$deb" Package Version Section | tr '\n' ' ')" = \
    "Package: kopc-map Version: $version Section: graphics "
dpkg-deb -f "$deb" Depends | grep -q 'libstdc++6'
echo "lintian finds nothing; $(dpkg-deb -f "$deb" Depends)"

echo "== make demo after a failed configure"
make -C "$one" test CMAKE_FLAGS="-DKOPC_GTEST_SOURCE_DIR=/none -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON" \
    > "$work/failed.log" 2>&1 || true
grep -q "The tests need GoogleTest" "$work/failed.log"
test -f "$one/build/CMakeCache.txt" && test ! -f "$one/build/Makefile"
make -C "$one" demo > "$work/demo.log"
grep '^MAP' "$work/demo.log" > "$work/demo-lines.txt"

root=$work/root
mkdir -p "$root/deb"
dpkg-deb -x "$deb" "$root/deb"
tar -xzf "$tgz" -C "$root"
diff -r -x sample-mismatches.txt "$root/deb/usr/share/kopc-map/sample" "$one/build/sample-data"
for tree in "$root/deb/usr" "$root/kopc_map-$version-linux-x86_64"; do
    echo "== $tree/bin/kopc_map $tree/share/kopc-map/sample"
    rm -rf "$root/out" && mkdir "$root/out"
    mkdir "$root/out/tmx"
    sample=$tree/share/kopc-map/sample
    for program in kopc_map kopc_atlas kopc_tmx; do
        status=0
        "$tree/bin/$program" --help > "$root/usage.txt" || status=$?
        test "$status" = 1
        test "$(head -n 1 "$root/usage.txt")" = "usage: $program [options] [DATA-PATH]"
        # As make demo runs them: kopc_tmx into tmx/, both with the sample's shape names.
        names=() && [ $program = kopc_map ] || names=(--names "$sample/names.txt")
        folder=$root/out && [ $program != kopc_tmx ] || folder=$root/out/tmx
        (cd "$folder" && "$tree/bin/$program" "${names[@]}" "$sample" > "$root/out.txt")
        cmp "$root/out.txt" "$work/demo-lines.txt"
    done
    diff -r "$root/out" "$one/demo"
    if [ -d src/kopc_import ]; then
        status=0
        "$tree/bin/kopc_import" --help > "$root/usage.txt" || status=$?
        test "$status" = 1
        test "$(head -n 1 "$root/usage.txt")" = "usage: kopc_import [options] TMX-FOLDER [DATA-PATH]"
        # Unedited maps give back the game's files as they were.
        rm -rf "$root/game" && cp -r "$sample" "$root/game"
        "$tree/bin/kopc_import" --overwrite "$root/out/tmx" "$root/game" > /dev/null
        diff -r "$sample" "$root/game"
        echo "kopc_import's usage, and the Tiled maps back into an unchanged sample world"
    fi
    echo "usage, the 31 maps, the atlas and the Tiled maps of the packed sample world as make demo writes them"
done
for program in "${programs[@]}"; do
    readelf -d "$root/deb/usr/bin/$program" | grep -q NEEDED
    if readelf -d "$root/kopc_map-$version-linux-x86_64/bin/$program" | grep -q NEEDED; then
        echo "the .tar.gz's $program is not static"; exit 1
    fi
done
dpkg-deb -f "$deb" Depends | grep -q 'zlib1g'
# A program that links the system's pugixml (kopc_import, which reads the maps with it) makes
# the package depend on its library.
[ ! -d src/kopc_import ] || readelf -d "$root/deb/usr/bin/kopc_import" | grep -q 'NEEDED.*libpugixml'
if readelf -d "$root"/deb/usr/bin/* | grep -q 'NEEDED.*libpugixml'; then
    dpkg-deb -f "$deb" Depends | grep -q 'libpugixml1v5'
fi

echo "== man"
for program in "${programs[@]}"; do
    page=$(MANPATH="$root/deb/usr/share/man" man -w $program)
    test "$page" = "$root/deb/usr/share/man/man1/$program.1.gz"
    MANPATH="$root/deb/usr/share/man" MANWIDTH=80 man -P cat $program > "$root/page.txt" 2> /dev/null
    grep -q "kopc_map $version" "$root/page.txt"
    head -n 3 "$root/page.txt"
    echo "man finds $page, version $version"
done
rm -rf dist && cp -r "$one/dist" dist
