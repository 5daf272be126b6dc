# With ccache on the machine every compile goes through it, unless the configure line already
# chose a launcher: a second build tree, or a fresh clone after an earlier one, then compiles
# only what changed.
find_program(TOLM_CCACHE ccache)
if(TOLM_CCACHE)
  foreach(lang C CXX)
    if(NOT CMAKE_${lang}_COMPILER_LAUNCHER)
      set(CMAKE_${lang}_COMPILER_LAUNCHER ${TOLM_CCACHE})
    endif()
  endforeach()
endif()
