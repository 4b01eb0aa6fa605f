#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes fuzz_kopc (the BMP reader, the run with a shape bitmap and the PNG encoder) with
# libFuzzer under ASan + UBSan for FUZZ_SECONDS (default 120) in one run: the input's last
# byte chooses the mode, so libFuzzer shares the time among the modes as their coverage
# grows and the corpus serves them all. Seeded with the bmpsuite corpus
# (../shared/bmpsuite, or BMPSUITE_DIR) and the sample world's shapes24.bmp (written by this
# build's kopc_sample), whole and cut into small shape bitmaps. Any finding fails the stage;
# its input is kept in build-fuzz/findings/ (replay it with replay_kopc FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash .ci/install-deps.sh clang libclang-rt-14-dev

seconds=${FUZZ_SECONDS:-120}
suite=${BMPSUITE_DIR:-$root/../shared/bmpsuite}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
findings=$build/findings

CC=clang CXX=clang++ cmake -S . -B "$build" -DKOPC_FUZZ=ON -DKOPC_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j 2 --target fuzz_kopc sample_data

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings" "$work/corpus"
cp "$build/sample-data/shapes24.bmp" "$work/corpus/"
if [ -d "$suite" ]; then
    cp "$suite"/g/*.bmp "$suite"/q/*.bmp "$suite"/b/*.bmp "$work/corpus/"
fi
# The sample's own map (12 MiB) is above the fuzzer's size limit for the run: its pixel
# bytes also go in as shape bitmaps of 512 x 4 pixels in every bit count (maps of 128 to
# 512 KiB), each with a last byte 0, which chooses the plain run; and the first 512 bytes
# as images for the encoder (last bytes: height, width, an odd mode byte).
python3 - "$work/corpus" <<'PY'
import struct, sys
pixels = open(sys.argv[1] + "/shapes24.bmp", "rb").read()[54:]
for bits in (1, 4, 8, 16, 24, 32):
    palette, rows = pixels[: 4 << bits] if bits <= 8 else b"", pixels[: 256 * bits]
    offset, size = 54 + len(palette), len(rows)
    header = struct.pack("<2sIIIIIIHHIIIIII", b"BM", offset + size, 0, offset, 40, 512, 4, 1,
                         bits, 0, size, 0, 0, 0, 0)
    open(f"{sys.argv[1]}/shapes{bits}-512x4.bmp", "wb").write(header + palette + rows + b"\0")
for m in range(0x11, 0x1d, 2):
    open(f"{sys.argv[1]}/png{m}", "wb").write(pixels[:512] + bytes((40, 99, m)))
PY
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== fuzz_kopc for ${seconds}s"
# Standard output (the program's messages) is closed; the fuzzer reports on stderr.
if ! (cd "$work" && "$build/tests/fuzz/fuzz_kopc" \
        -max_total_time="$seconds" -timeout=10 -close_fd_mask=1 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work/corpus"); then
    echo "fuzz_kopc found a failing input: see $findings"
    exit 1
fi
