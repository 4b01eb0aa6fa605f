#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The packages as a user gets them: `make package`, then the .deb unpacked into a scratch
# root and the .tar.gz unpacked beside it. Each program must print its usage and render
# the sample world with the same bytes as the build's own program, the version must be
# the one CMakeLists.txt sets, and `man` must find and render the page of the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-deps.sh man-db

rm -rf dist
make package
version=$(sed -n 's/^project(kopc_map VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=dist/kopc-map_${version}_amd64.deb
tgz=dist/kopc_map-${version}-linux-x86_64.tar.gz
ls -l "$deb" "$tgz"
test "$(dpkg-deb -f "$deb" Package Version | tr '\n' ' ')" = "Package: kopc-map Version: $version "

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/deb"
tar -xzf "$tgz" -C "$root"
build-package/sample/kopc_sample "$root/data" > /dev/null
mkdir "$root/reference"
(cd "$root/reference" && "$OLDPWD/build-package/kopc_map" "$root/data" > ../reference.txt)
for program in "$root/deb/usr/bin/kopc_map" "$root/kopc_map-$version-linux-x86_64/bin/kopc_map"; do
    echo "== $program"
    status=0
    "$program" --help > "$root/usage.txt" || status=$?
    test "$status" = 1
    test "$(head -n 1 "$root/usage.txt")" = "usage: kopc_map [options] [DATA-PATH]"
    rm -rf "$root/out" && mkdir "$root/out"
    (cd "$root/out" && "$program" "$root/data" > ../out.txt)
    cmp "$root/out.txt" "$root/reference.txt"
    diff -r "$root/out" "$root/reference"
    echo "usage and the 31 maps of the sample world as the build's program writes them"
done

echo "== man"
page=$(MANPATH="$root/deb/usr/share/man" man -w kopc_map)
test "$page" = "$root/deb/usr/share/man/man1/kopc_map.1"
MANPATH="$root/deb/usr/share/man" MANWIDTH=80 man -P cat kopc_map > "$root/page.txt" 2> /dev/null
grep -q "kopc_map $version" "$root/page.txt"
head -n 3 "$root/page.txt"
echo "man finds $page, version $version"
