# SPDX-License-Identifier: MIT
# Cross build for 64-bit IBM Z (s390x), a big-endian host, with Debian's
# g++-s390x-linux-gnu; programs and tests run under qemu-user (qemu-user-static):
#
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux.cmake
#   cmake --build build-s390x -j2 && cd build-s390x && ctest
#
# Every program is linked statically, so qemu needs no s390x libraries to run it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
find_program(KOPC_QEMU NAMES qemu-s390x-static qemu-s390x)
if(KOPC_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KOPC_QEMU})
endif()
