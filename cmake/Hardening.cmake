# Every build is hardened as Debian builds its packages (dpkg-buildflags with hardening=+all):
# fortified libc calls, stack protector and stack clash protection, position-independent
# executables, and relocations made read-only and bound at start. The package is made from
# this same build, so what lintian and hardening-check look at is what a developer runs.
option(TOLM_HARDENING "Build with the distribution's hardening flags" ON)
if(NOT TOLM_HARDENING)
  return()
endif()

include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -fstack-clash-protection -Wformat -Wformat-security)
# Control-flow protection as newer Debian releases add it. Debian 12's own C start files
# (crt1.o, crti.o) carry no CET note, so a program linked there loses the marker whatever its
# own objects have; hardening-check then needs --nocfprotection, as it does for Debian's own
# programs.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
  add_compile_options(-fcf-protection)
endif()
# Fortification needs the optimiser; a Debug build (-O0) would only warn about it.
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
add_link_options(LINKER:-z,relro LINKER:-z,now)
