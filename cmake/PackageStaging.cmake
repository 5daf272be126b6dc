# Runs inside cpack after the install into its staging folder: the manual pages and the
# changelog are gzipped as Debian keeps them (-n: no name or time inside, so the same tree
# always packs the same bytes).
set(staging "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
if(NOT IS_DIRECTORY "${staging}")
  set(staging "${CPACK_TEMPORARY_DIRECTORY}")
endif()
file(GLOB_RECURSE documents LIST_DIRECTORIES false
  "${staging}/*/share/man/man[1-9]/*.[1-9]"
  "${staging}/*/share/doc/tolm-audio-converter/changelog")
if(NOT documents)
  message(FATAL_ERROR "no manual page or changelog in the staging folder ${staging}")
endif()
foreach(document IN LISTS documents)
  execute_process(COMMAND gzip -9nf "${document}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${document} failed")
  endif()
endforeach()

# The compiler's version notes (.comment) go from the shipped binaries, as dh_strip does;
# CPack's own stripping keeps them.
find_program(TOLM_STRIP strip REQUIRED)
file(GLOB_RECURSE shipped LIST_DIRECTORIES false "${staging}/*/lib/tolm-audio-converter/*")
foreach(file IN LISTS shipped)
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND ${TOLM_STRIP} --remove-section=.comment "${file}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "strip ${file} failed")
    endif()
  endif()
endforeach()
