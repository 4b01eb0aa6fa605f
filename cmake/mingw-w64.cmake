# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler (g++-mingw-w64-x86-64),
# tests run under Wine:
#
#   bash .ci/pugixml-source.sh build-pugixml   (Debian's pugixml source, for kopc_tmx/kopc_import)
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DKOPC_PUGIXML_SOURCE_DIR=$PWD/build-pugixml
#   cmake --build build-win -j2
#   WINEPREFIX=$PWD/build-wine WINEDEBUG=-all wineboot -i   (one prefix for all builds)
#   cd build-win && KOPC_CRLF=1 ctest --output-on-failure
#
# -DKOPC_WINE=OFF makes a build that runs nothing under Wine (it writes no sample world of
# its own and cannot run its tests), as `make package-windows` does.
#
# The programs are linked statically, so Wine needs no MinGW runtime DLLs beside them. zlib
# comes from libz-mingw-w64-dev; pugixml, which has no MinGW-w64 package, is compiled from
# the source named by KOPC_PUGIXML_SOURCE_DIR (cmake/pugixml.cmake); without it the build
# leaves out kopc_tmx and kopc_import.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KOPC_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triplet of the MinGW-w64 tools")
# The POSIX thread model: GoogleTest needs std::mutex and kopc_atlas std::thread, which the
# win32 model's libstdc++ lacks.
set(CMAKE_C_COMPILER ${KOPC_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOPC_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KOPC_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KOPC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine with a prefix of the build's own (never the user's ~/.wine)
# and without Wine's debug chatter, which would otherwise mix with the programs' output.
# The emulator is a command list, so every test gets these settings whatever the caller's
# environment holds.
if(NOT CMAKE_IN_TRY_COMPILE)
  find_program(KOPC_WINE NAMES wine64 wine)
  if(KOPC_WINE)
    set(KOPC_WINEPREFIX ${CMAKE_SOURCE_DIR}/build-wine CACHE PATH "Wine prefix for the tests")
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env WINEPREFIX=${KOPC_WINEPREFIX} WINEDEBUG=-all ${KOPC_WINE})
  endif()
endif()
