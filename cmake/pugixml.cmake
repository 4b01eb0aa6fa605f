# SPDX-License-Identifier: MIT
# pugixml, the XML library that reads the Tiled maps (kopc_tmx checks its own files with it,
# kopc_import reads the maps back). It gives the build the target kopc_pugixml, or none when
# the library is not at hand (the Tiled programs are then left out). Native builds take the
# system's (Debian/Ubuntu: libpugixml-dev), statically in a static build.
if(NOT TARGET kopc_pugixml)
  find_package(pugixml CONFIG QUIET)
  if(pugixml_FOUND)
    add_library(kopc_pugixml INTERFACE)
    if(KOPC_STATIC AND TARGET pugixml::static)
      target_link_libraries(kopc_pugixml INTERFACE pugixml::static)
    else()
      target_link_libraries(kopc_pugixml INTERFACE pugixml::pugixml)
    endif()
  endif()
endif()
