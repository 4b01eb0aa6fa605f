#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Unpacks Debian's source package of pugixml, in the very version of the installed
# libpugixml-dev, into FOLDER, for a build that cannot link the system's library: the
# MinGW-w64 cross build compiles its src/pugixml.cpp (-DKOPC_PUGIXML_SOURCE_DIR=FOLDER).
# A FOLDER that already holds that version is kept as it is.
#
# apt runs with a configuration of its own beside FOLDER (FOLDER.apt, removed afterwards):
# deb-src entries made from the machine's own deb entries, one-line and deb822 alike, for the
# registry that the installed libpugixml-dev came from (all of them where the machine's lists
# do not tell), and lists and a cache of its own. The machine's sources, lists and cache stay
# as they are. Needs dpkg-dev (dpkg-source), and no root.
#
#   usage: pugixml-source.sh FOLDER
set -euo pipefail
[ $# = 1 ] || { echo "usage: $0 FOLDER" >&2; exit 2; }
folder=$(realpath -m "$1")
package=libpugixml-dev
version=$(dpkg-query -W -f='${Version}' $package 2> /dev/null) ||
    { echo "pugixml's source is fetched in the version of $package, which is not installed" >&2; exit 1; }
source=$(dpkg-query -W -f='${source:Package}' $package)
# The version an unpacked source package is: its changelog's first entry.
unpacked_version() { sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$1/debian/changelog" 2> /dev/null || true; }
[ "$(unpacked_version "$folder")" = "$version" ] && [ -f "$folder/src/pugixml.cpp" ] && exit 0

apt=$folder.apt
rm -rf "$apt" "$folder"
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/download"
trap 'rm -rf "$apt"' EXIT

# The registries whose lists hold the installed version: apt-cache policy's lines under it.
wanted=$(apt-cache policy $package 2> /dev/null |
    awk '/^ \*\*\* / { mine = 1; next } /^     [^ ]/ { mine = 0 }
         mine && $2 ~ /:\/\// { uri = $2; sub(/\/$/, "", uri); print uri }' | sort -u | tr '\n' ' ' | sed 's/ $//')
eval "$(apt-config shell list Dir::Etc::SourceList/f parts Dir::Etc::SourceParts/d)"
# Every deb entry of the machine's sources as a deb-src entry, with its options, suites and
# components (deb822 stanzas keep their Signed-By, Enabled and the rest), where its URI is one
# of WANTED or WANTED is empty.
deb_src() {
    local one_line=() deb822=() file
    [ -f "$list" ] && one_line+=("$list")
    for file in "$parts"*.list; do [ -f "$file" ] && one_line+=("$file"); done
    for file in "$parts"*.sources; do [ -f "$file" ] && deb822+=("$file"); done
    [ ${#one_line[@]} = 0 ] || awk -v wanted=" $1 " '$1 == "deb" {
        rest = $0; sub(/^[ \t]*deb[ \t]+/, "", rest); options = ""
        if (rest ~ /^\[/) { options = substr(rest, 1, index(rest, "]")); rest = substr(rest, index(rest, "]") + 1) }
        split(rest, field, " "); uri = field[1]; sub(/\/$/, "", uri)
        if (wanted == "  " || index(wanted, " " uri " ")) print "deb-src " options " " rest
    }' "${one_line[@]}" > "$apt/sources.list.d/machine.list"
    [ ${#deb822[@]} = 0 ] || awk -v wanted=" $1 " 'BEGIN { RS = "" } {
        n = split($0, line, "\n"); deb = 0; keep = (wanted == "  "); out = ""
        for (i = 1; i <= n; i++) {
            text = line[i]; name = tolower(text)
            if (name ~ /^types:/) { deb = (" " substr(text, 7) " ") ~ /[ \t]deb[ \t]/; text = "Types: deb-src" }
            if (name ~ /^uris:/) {
                split(substr(text, 6), uris, " ")
                for (j in uris) { uri = uris[j]; sub(/\/$/, "", uri); if (index(wanted, " " uri " ")) keep = 1 }
            }
            out = out text "\n"
        }
        if (deb && keep) printf "%s\n", out
    }' "${deb822[@]}" > "$apt/sources.list.d/machine.sources"
    grep -qv '^[[:space:]]*$' "$apt/sources.list.d/"* 2> /dev/null
}
deb_src "$wanted" || deb_src "" ||
    { echo "no deb entry in $list or $parts to take the source of $source from" >&2; exit 1; }

options=(-q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources.list.d"
         -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache")
echo "fetching Debian's source package $source $version (deb-src of ${wanted:-every registry of the machine})" >&2
apt-get "${options[@]}" update >&2 ||
    echo "apt-get update reported errors (a registry without sources?); asking for the source anyway" >&2
# Root's apt downloads as the user _apt, into a folder that user may write.
[ "$(id -u)" != 0 ] || ! id _apt > /dev/null 2>&1 || chown _apt "$apt/download"
(cd "$apt/download" && apt-get "${options[@]}" source --download-only "$source=$version" >&2)
# apt checked the files against the registry's signed index; dpkg-source checks their sums
# again, applies Debian's patches and leaves no copy of the upstream tarball beside FOLDER.
dpkg-source -x --no-copy "$apt/download/${source}_${version#*:}.dsc" "$folder" >&2
# apt asked for this exact version; the changelog says the tree is it.
if [ "$(unpacked_version "$folder")" != "$version" ]; then
    echo "$folder holds $source $(unpacked_version "$folder"), not the installed $version" >&2
    exit 1
fi
echo "$folder: Debian's $source $version, the version of the installed $package" >&2
