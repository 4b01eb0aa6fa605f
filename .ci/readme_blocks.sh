#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The README's command blocks (make demo, the options tried in demo/, the Tiled example but not
# the editor) in a fresh clone: each succeeds, each program run prints the README's five lines.
set -euo pipefail
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cd "$(dirname "$0")/.." && git clone -q "$PWD" "$work/c"
blocks() { awk -v first="$1" '/^```/ { if (sh && text ~ first) printf "%s", text; inside = !inside
    sh = inside && /^```sh$/; text = ""; next } sh { text = text $0 "\n" }' README.md | sed 's/  *# .*//' | grep -v '^make test\|^tiled '; }
want=$(awk '/^The run prints five/ { f = 1 } f && /^```$/ { f++; next } f == 2' README.md) && [ "$(wc -l <<< "$want")" = 5 ]
for first in '^make demo' '^cd demo' '^mkdir tiled|^QT_QPA'; do
    script=$(blocks "$first") && runs=$(grep -c 'make demo\|kopc_map \|kopc_tmx ' <<< "$script") && echo "$script"
    (cd "$work/c" && XDG_RUNTIME_DIR=$work JOBS=2 bash -e -c "$script") > "$work/out" 2>&1 || { cat "$work/out"; exit 1; }
    diff <(for _ in $(seq "$runs"); do echo "$want"; done) <(grep '^MAP' "$work/out") && echo "== $runs runs, as the README says"
done
