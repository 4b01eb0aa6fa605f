# SPDX-License-Identifier: MIT
# pugixml, the XML library that reads the Tiled maps (kopc_tmx checks its own files with it,
# kopc_import reads the maps back). It gives the build the target kopc_pugixml, or none when
# the library is not at hand (the Tiled programs are then left out).
# - A build given KOPC_PUGIXML_SOURCE_DIR, the unpacked source, compiles its src/pugixml.cpp
#   into a static library with the project's flags. The MinGW-w64 cross build does so with
#   Debian's own source package of the installed libpugixml-dev, which
#   .ci/pugixml-source.sh FOLDER fetches and checks, so the Windows programs parse with the
#   very version the Linux ones do (`make package-windows` and .ci/windows.sh run it).
# - Otherwise the build takes the system's (Debian/Ubuntu: libpugixml-dev), statically in a
#   static build.
set(KOPC_PUGIXML_SOURCE_DIR "" CACHE PATH
    "Unpacked pugixml source to build the library from (.ci/pugixml-source.sh fetches Debian's)")
if(NOT TARGET kopc_pugixml)
  if(KOPC_PUGIXML_SOURCE_DIR)
    set(kopc_pugixml_cpp ${KOPC_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
    if(NOT EXISTS ${kopc_pugixml_cpp})
      message(FATAL_ERROR "KOPC_PUGIXML_SOURCE_DIR: no ${kopc_pugixml_cpp} (unpack pugixml's "
              "source there: .ci/pugixml-source.sh ${KOPC_PUGIXML_SOURCE_DIR})")
    endif()
    add_library(kopc_pugixml STATIC ${kopc_pugixml_cpp})
    target_link_libraries(kopc_pugixml PRIVATE kopc_flags)
    # The header as the system's would be: no warning of ours for code that is not ours.
    target_include_directories(kopc_pugixml SYSTEM PUBLIC ${KOPC_PUGIXML_SOURCE_DIR}/src)
  else()
    find_package(pugixml CONFIG QUIET)
    if(pugixml_FOUND)
      add_library(kopc_pugixml INTERFACE)
      if(KOPC_STATIC AND TARGET pugixml::static)
        target_link_libraries(kopc_pugixml INTERFACE pugixml::static)
      else()
        target_link_libraries(kopc_pugixml INTERFACE pugixml::pugixml)
      endif()
    elseif(CMAKE_CROSSCOMPILING)
      message(STATUS "No pugixml for the target: -DKOPC_PUGIXML_SOURCE_DIR=FOLDER builds it "
              "from source, after .ci/pugixml-source.sh FOLDER")
    endif()
  endif()
endif()
