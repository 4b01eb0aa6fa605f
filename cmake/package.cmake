# SPDX-License-Identifier: MIT
# Install rules and the packages made from them with CPack (`make package`):
#   Linux: a Debian package (/usr/bin/kopc_map, the manual in /usr/share/man/man1) and a
#          .tar.gz of the same tree; Windows: a .zip with kopc_map.exe, the README, the
#          licence and the manual as text, all side by side.
if(WIN32)
  install(TARGETS kopc_map RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
  # The manual rendered as plain text, where groff is at hand (a build from Linux).
  find_program(KOPC_GROFF groff)
  if(KOPC_GROFF)
    add_custom_command(OUTPUT kopc_map.txt DEPENDS ${PROJECT_BINARY_DIR}/kopc_map.1
                       COMMAND ${KOPC_GROFF} -man -Tutf8 -P-cbou kopc_map.1 > kopc_map.txt)
    add_custom_target(manual_text ALL DEPENDS kopc_map.txt)
    install(FILES ${PROJECT_BINARY_DIR}/kopc_map.txt DESTINATION .)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  install(TARGETS kopc_map RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/kopc_map.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR DEB TGZ)
  string(TOLOWER ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR} CPACK_SYSTEM_NAME)
endif()

set(CPACK_PACKAGE_VENDOR "The kopc_map developers")
set(CPACK_PACKAGE_CONTACT "The kopc_map developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Renders the 31 maps of an old tile game's PC release as BMP images")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_STRIP_FILES ON)
# Debian names packages without underscores, and files name-version-revision_arch.deb.
set(CPACK_DEBIAN_PACKAGE_NAME kopc-map)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# A static program needs no library; a shared one gets its dependencies worked out.
if(NOT KOPC_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
