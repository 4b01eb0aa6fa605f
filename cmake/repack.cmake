# SPDX-License-Identifier: MIT
# Run by CPack once it has made a .tar.gz or a .zip (CPACK_POST_BUILD_SCRIPTS): packs the
# same staged tree again with GNU tar and gzip or with Info-ZIP, entries in name order,
# owned by root, every time stamp the time of SOURCE_DATE_EPOCH (the last commit's, which
# `make package` sets), so that two builds of one commit give the same bytes wherever they
# ran. CPack itself lists the files in whatever order the file system gives them. Without
# SOURCE_DATE_EPOCH, CPack's own archive stays.
# (A Debian package needs nothing of this: CPack makes it so.)
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} OR NOT CPACK_PACKAGE_FILES MATCHES "\\.(tar\\.gz|zip)$")
  return()
endif()
set(epoch $ENV{SOURCE_DATE_EPOCH})
set(stage ${CPACK_TOPLEVEL_DIRECTORY})
get_filename_component(top ${CPACK_TEMPORARY_DIRECTORY} NAME)
file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${stage} ${stage}/${top}/*)
list(APPEND entries ${top})
list(SORT entries)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${stage} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "repacking failed: ${ARGN}")
  endif()
endfunction()

run(chmod -R u=rwX,go=rX ${top})
run(touch -h -d @${epoch} ${entries})
foreach(package ${CPACK_PACKAGE_FILES})
  file(REMOVE ${package})
  if(package MATCHES "\\.tar\\.gz$")
    string(REGEX REPLACE "\\.gz$" "" tar ${package})
    run(tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner -cf ${tar} ${top})
    run(gzip -9n ${tar})
  elseif(package MATCHES "\\.zip$")
    # Names in order, without the extra fields that hold the owner and the Unix times; the
    # MS-DOS time stamp is local time, so the local time is UTC.
    string(REPLACE ";" "\n" names "${entries}")
    file(WRITE ${stage}/zip-names.txt "${names}\n")
    run(${CMAKE_COMMAND} -E env TZ=UTC sh -c "zip -q -X -@ '${package}' < zip-names.txt")
  else()
    message(FATAL_ERROR "no rule to repack ${package}")
  endif()
endforeach()
