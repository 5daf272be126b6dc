# Project-wide warnings and strict Qt defines, applied to every target we own.
add_library(tolm_project_options INTERFACE)
target_compile_options(tolm_project_options INTERFACE -Wall -Wextra -Wshadow)
target_compile_definitions(tolm_project_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_KEYWORDS
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)

# tolm_add_test(name SOURCES ... LIBS ...): one QtTest executable registered with CTest.
# Tests run with the offscreen platform unless they ask for the X server (X11 label),
# which the test script provides through DISPLAY, or for a window manager (WINDOW_MANAGER:
# an X server of their own with openbox on it).
function(tolm_add_test name)
  cmake_parse_arguments(ARG "X11;WINDOW_MANAGER" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test tolm_project_options tolm_testsupport ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    TOLM_PROGRAM_DIR="${TOLM_PROGRAM_DIR}"
    TOLM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(ARG_WINDOW_MANAGER)
    add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/tests/support/with-openbox.sh $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  # A test that hangs fails after five minutes instead of holding the whole run up; the
  # sanitizers run everything two to three times slower.
  if(TOLM_SANITIZE)
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  else()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
  if(ARG_WINDOW_MANAGER)
    set_tests_properties(${name} PROPERTIES LABELS x11)
  elseif(ARG_X11)
    # Tests on the shared X server take turns: one counting windows must not see another's.
    set_tests_properties(${name} PROPERTIES LABELS x11 RESOURCE_LOCK xserver)
  else()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
