#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The big-endian stage: cross-builds kopc_map for s390x and runs, under qemu-user, the
# tests that read and write bytes in files: the bitmap module's unit tests, every
# end-to-end test, and the bmpsuite corpus. The sample world the s390x generator writes
# must be byte for byte the one the native generator writes.
#
# KOPC_BE_BUILD names the cross build folder (default build-s390x); KOPC_NATIVE_BUILD the
# native build whose sample world is the reference (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

bash .ci/install-deps.sh g++-s390x-linux-gnu qemu-user-static

be_build=${KOPC_BE_BUILD:-build-s390x}
native_build=${KOPC_NATIVE_BUILD:-build}

cmake -S . -B "$be_build" -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux.cmake -DKOPC_WERROR=ON
cmake --build "$be_build" -j 2
(cd "$be_build" && ctest --output-on-failure -j 2 -R 'Bitmap|e2e_|bmpsuite')

if [ ! -d "$native_build/sample-data" ]; then
    cmake -S . -B "$native_build" -DKOPC_TESTS=OFF
    cmake --build "$native_build" -j 2
fi
diff -r "$native_build/sample-data" "$be_build/sample-data"
echo "the sample world written on s390x is the same as the native one"
echo "== big-endian stage took $(($(date +%s) - started)) s"
