# SPDX-License-Identifier: MIT
# Install rules and the packages made from them with CPack (`make package`,
# `make package-windows`):
#   Linux: /usr/bin/kopc_map, kopc_atlas (where zlib is at hand), kopc_tmx and kopc_import
#          (where pugixml is too), their pages (compressed), the sample world in
#          /usr/share/kopc-map/sample, the README, changelog and copyright in
#          /usr/share/doc/kopc-map. A dynamically linked build packs it as a Debian package
#          (its dependencies, libpugixml1v5 among them, computed by dpkg-shlibdeps from what
#          the programs link), a static one as a .tar.gz of the same tree, for any x86-64 Linux.
#   Windows: a .zip with the same programs as .exe files (pugixml built from Debian's source
#          package), README.txt, LICENSE.txt and the manuals as kopc_*.txt (plain ASCII,
#          Windows line ends) side by side, and sample\ beside them.
# A further program or manual page joins these lists and the rules below take it along.
set(kopc_programs kopc_map)
set(kopc_manual_pages kopc_map.1)
foreach(program kopc_atlas kopc_tmx kopc_import)
  if(TARGET ${program})
    list(APPEND kopc_programs ${program})
    list(APPEND kopc_manual_pages ${program}.1)
  endif()
endforeach()

# The one place the maintainer is named: the package's control file, its changelog and its
# copyright file take it from here. No mailbox exists yet; the address is a placeholder.
set(KOPC_MAINTAINER "The kopc_map developers <kopc-map@example.org>")
set(kopc_package_name kopc-map)
set(kopc_data_dir ${CMAKE_INSTALL_DATADIR}/${kopc_package_name})
set(kopc_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${kopc_package_name})

# The sample world the packages carry: the one this build's generator writes, or, for a
# cross build that runs no programs of its own, one written by a native build's generator.
# Its output does not depend on the host.
if(TARGET sample_data)
  set(kopc_sample_default ${PROJECT_BINARY_DIR}/sample-data)
else()
  set(kopc_sample_default "")
endif()
set(KOPC_SAMPLE_WORLD ${kopc_sample_default} CACHE PATH "Sample world folder the packages carry")
function(kopc_install_sample destination)
  if(KOPC_SAMPLE_WORLD)
    # The data set alone: not the generator's list of planted mismatches, nor anything an
    # older generator may have left in the folder.
    install(DIRECTORY ${KOPC_SAMPLE_WORLD}/ DESTINATION ${destination} FILES_MATCHING
            PATTERN "MAP[XG][0-9][0-9]" PATTERN "MON[XG][0-9][0-9]" PATTERN "KO*.EXE"
            PATTERN "shapes*.bmp" PATTERN "names.txt")
  endif()
endfunction()

if(WIN32)
  install(TARGETS ${kopc_programs} RUNTIME DESTINATION .)
  kopc_install_sample(sample)
  install(DIRECTORY docs DESTINATION .) # the README's pictures
  # Text files as Notepad shows them: Windows line ends, and the manual in plain ASCII
  # (rendered where groff is at hand, a build from Linux).
  set(kopc_texts README.md README.txt LICENSE LICENSE.txt)
  find_program(KOPC_GROFF groff)
  if(KOPC_GROFF)
    foreach(page ${kopc_manual_pages})
      get_filename_component(name ${page} NAME_WE)
      add_custom_command(OUTPUT ${name}.ascii DEPENDS ${PROJECT_BINARY_DIR}/${page}
                         COMMAND ${KOPC_GROFF} -man -Tascii -P-cbou ${page} > ${name}.ascii)
      list(APPEND kopc_texts ${PROJECT_BINARY_DIR}/${name}.ascii ${name}.txt)
    endforeach()
  endif()
  set(kopc_text_files "")
  while(kopc_texts)
    list(POP_FRONT kopc_texts from to)
    get_filename_component(from ${from} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    add_custom_command(OUTPUT ${to} DEPENDS ${from} ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake
                       COMMAND ${CMAKE_COMMAND} -DFROM=${from} -DTO=${to}
                               -P ${PROJECT_SOURCE_DIR}/cmake/crlf.cmake)
    list(APPEND kopc_text_files ${PROJECT_BINARY_DIR}/${to})
  endwhile()
  add_custom_target(windows_texts ALL DEPENDS ${kopc_text_files})
  install(FILES ${kopc_text_files} DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  install(TARGETS ${kopc_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Packed programs lose their symbols (CPACK_STRIP_FILES) and, as Debian's own packages
  # do, the compiler's notes, which name the compiler and not the program.
  foreach(program ${kopc_programs})
    install(CODE "if(CMAKE_INSTALL_DO_STRIP AND \"${CMAKE_EXECUTABLE_FORMAT}\" STREQUAL ELF)
      execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${program}>\")
    endif()")
  endforeach()
  kopc_install_sample(${kopc_data_dir}/sample)

  # Manual pages and the changelog compressed as Debian wants them: best compression, and
  # no name or time stamp in the gzip header, so that two builds give the same bytes.
  find_program(KOPC_GZIP gzip REQUIRED)
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in kopc_changes LIMIT_COUNT 1)
  if(NOT kopc_changes MATCHES "^${kopc_package_name} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/debian/changelog.in: the first entry must be version "
            "${PROJECT_VERSION}, the project's")
  endif()
  configure_file(cmake/debian/changelog.in changelog @ONLY)
  set(kopc_compressed changelog)
  foreach(page ${kopc_manual_pages})
    list(APPEND kopc_compressed ${page})
  endforeach()
  set(kopc_compressed_files "")
  foreach(file ${kopc_compressed})
    add_custom_command(OUTPUT ${file}.gz DEPENDS ${PROJECT_BINARY_DIR}/${file}
                       COMMAND ${KOPC_GZIP} -9nc ${file} > ${file}.gz)
    list(APPEND kopc_compressed_files ${PROJECT_BINARY_DIR}/${file}.gz)
  endforeach()
  add_custom_target(compressed_docs ALL DEPENDS ${kopc_compressed_files})
  foreach(page ${kopc_manual_pages})
    string(REGEX REPLACE ".*\\.([1-9])$" "\\1" section ${page})
    install(FILES ${PROJECT_BINARY_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endforeach()

  # The machine-readable copyright file carries the licence's text (so LICENSE itself is
  # not installed again), indented, with "." for its empty lines.
  file(READ LICENSE kopc_license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" kopc_line "${kopc_license}")
  set(KOPC_COPYRIGHT ${CMAKE_MATCH_1})
  string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n\n" "" kopc_license "${kopc_license}")
  string(STRIP "${kopc_license}" kopc_license)
  string(REGEX REPLACE "\n" "\n " kopc_license " ${kopc_license}")
  string(REGEX REPLACE "\n \n" "\n .\n" KOPC_LICENSE_TEXT "${kopc_license}")
  configure_file(cmake/debian/copyright.in copyright @ONLY)
  install(FILES README.md ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
          DESTINATION ${kopc_doc_dir})
  install(DIRECTORY docs DESTINATION ${kopc_doc_dir}) # the README's pictures

  # Debian's own package from a dynamic build, a .tar.gz for any Linux from a static one.
  if(KOPC_STATIC)
    set(CPACK_GENERATOR TGZ)
  else()
    set(CPACK_GENERATOR DEB)
  endif()
  string(TOLOWER ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR} CPACK_SYSTEM_NAME)
endif()

set(CPACK_PACKAGE_VENDOR "The kopc_map developers")
set(CPACK_PACKAGE_CONTACT ${KOPC_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "render the 31 maps of an old tile game's PC release as BMP images")
# The Debian package's long description (lines of at most 80 characters).
set(kopc_import_text "")
if(TARGET kopc_import)
  set(kopc_import_text " kopc_import writes maps
edited in Tiled back into the game's map and NPC files.")
endif()
set(CPACK_PACKAGE_DESCRIPTION
    "kopc_map reads the 31 map files and the 31 NPC files of an old tile-based
game's PC release and writes one Windows bitmap (BMP) of every map into the
current directory. The tile shapes come from the game's EGA or CGA executable
or from a shape bitmap of any tile size and bit count. It reports every cell
where a map file and its NPC file disagree. kopc_atlas draws the same maps
into one self-contained HTML page that shows what lies under every cell, and
kopc_tmx writes them as maps for the Tiled map editor.${kopc_import_text}

A sample world made for this program, with no file of the game in it, is
installed in /usr/share/kopc-map/sample: kopc_map /usr/share/kopc-map/sample
renders its 31 maps.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_STRIP_FILES ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/repack.cmake)
# Debian names packages without underscores, and files name_version_arch.deb.
set(CPACK_DEBIAN_PACKAGE_NAME ${kopc_package_name})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
