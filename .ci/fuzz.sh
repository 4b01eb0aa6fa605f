#!/usr/bin/env bash
# Fuzzes the BMP reader and the shape bitmap run with libFuzzer under ASan + UBSan, about
# a minute each (FUZZ_SECONDS), seeded with generated shape bitmaps, the bmpsuite corpus
# (../shared/bmpsuite, or BMPSUITE_DIR) and the crashers. Any finding fails the stage; its
# input is kept in build-fuzz/findings/ and belongs in tests/crashers/ with its fix.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash .ci/install-deps.sh clang libclang-rt-14-dev

seconds=${FUZZ_SECONDS:-60}
suite=${BMPSUITE_DIR:-$root/../shared/bmpsuite}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
findings=$build/findings

CC=clang CXX=clang++ cmake -S . -B "$build" -DKOPC_FUZZ=ON -DKOPC_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j 2 --target fuzz_read_bitmap fuzz_shape_run

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings"
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

for target in read_bitmap shape_run; do
    corpus=$work/corpus-$target
    mkdir -p "$corpus"
    python3 tests/fuzz/make_seeds.py "$corpus"
    if [ -d "$suite" ]; then
        cp "$suite"/g/*.bmp "$suite"/q/*.bmp "$suite"/b/*.bmp "$corpus"/
    fi
    cp tests/crashers/"$target"-*.bmp "$corpus"/ 2>/dev/null || true
    echo "== fuzz_$target for ${seconds}s"
    # Standard output (the program's messages) is closed; the fuzzer reports on stderr.
    if ! (cd "$work" && TMPDIR="$work" "$build/tests/fuzz/fuzz_$target" \
            -max_total_time="$seconds" -timeout=10 -close_fd_mask=1 -print_final_stats=1 \
            -artifact_prefix="$findings/$target-" "$corpus"); then
        echo "fuzz_$target found a failing input: see $findings"
        exit 1
    fi
done
