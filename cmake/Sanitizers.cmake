# AddressSanitizer and UndefinedBehaviorSanitizer over everything built here: the programs,
# the siblings, their modules and plugins, and the tests (scripts/test.sh --sanitize builds
# this into build-sanitize). Off by default; the shipped build never has it.
option(TOLM_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
# libFuzzer entry points for the parsers (fuzz/, scripts/fuzz.sh); needs clang.
option(TOLM_FUZZ "Build the parsers' fuzz targets (clang, libFuzzer)" OFF)

if(TOLM_SANITIZE OR TOLM_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TOLM_FUZZ)
  # Coverage for the fuzzer everywhere; only the fuzz targets link libFuzzer itself.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
