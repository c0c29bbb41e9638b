# libFuzzer builds (the "fuzz" preset, clang). The whole build is compiled
# with coverage instrumentation and AddressSanitizer + UndefinedBehavior-
# Sanitizer, so a fuzz target links the suite's own libraries as they are and
# the fuzzer sees coverage and faults inside them; only the targets themselves
# link the fuzzer's main. float-cast-overflow catches an out-of-range
# conversion to 16 bits in the decoders and effects.
#
# vek_add_fuzz_target(NAME SOURCES ... [LIBS ...] [DICT file] [MAX_LEN bytes])
#   adds the target NAME (a name starting with "fuzz_"), and copies its
#   dictionary of the format's tags to <build>/fuzz-inputs/dict/NAME.dict.
#   MAX_LEN, the longest input scripts/fuzz lets the fuzzer make for it
#   (<build>/fuzz-inputs/max_len/NAME), is for the targets whose work grows
#   with the input: past a few sectors the decoder state has seen it all and
#   a longer input only slows every run down.
# Seed inputs for each target are written at build time by vek_fuzzseeds
# (tools/fuzzseeds, target vek_fuzz_seeds) into <build>/fuzz-inputs/seeds/NAME.
# scripts/fuzz builds and runs every target with both.
# vek_fuzz_signal_processing(TARGET): the library is number crunching (the
# SP decoder's filters, the effects). Its loops run tens of thousands of
# times per input, and with comparison tracing every loop test calls into the
# fuzzer: that was three quarters of a run's time. Its edges stay
# instrumented and its arrays checked (vek/checked.hpp); only the comparison
# tracing, of no use for data that is nothing but bit fields, is left out.
function(vek_fuzz_signal_processing target)
  if(VEK_BUILD_FUZZ)
    target_compile_options(${target} PRIVATE -fno-sanitize-coverage=trace-cmp)
  endif()
endfunction()

if(NOT VEK_BUILD_FUZZ)
  return()
endif()

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VEK_BUILD_FUZZ needs clang (libFuzzer); use the \"fuzz\" preset")
endif()

set(VEK_FUZZ_SANITIZERS -fsanitize=address,undefined,float-cast-overflow
    -fno-sanitize-recover=undefined,float-cast-overflow)
add_compile_options(-fsanitize=fuzzer-no-link ${VEK_FUZZ_SANITIZERS} -fno-omit-frame-pointer)
add_link_options(${VEK_FUZZ_SANITIZERS})
set(VEK_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz-inputs CACHE INTERNAL "")

function(vek_add_fuzz_target name)
  cmake_parse_arguments(ARG "" "DICT;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  if(NOT name MATCHES "^fuzz_")
    message(FATAL_ERROR "vek_add_fuzz_target: '${name}' must start with fuzz_")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  vek_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  if(ARG_DICT)
    configure_file(${ARG_DICT} ${VEK_FUZZ_DIR}/dict/${name}.dict COPYONLY)
  endif()
  if(ARG_MAX_LEN)
    file(WRITE ${VEK_FUZZ_DIR}/max_len/${name} "${ARG_MAX_LEN}\n")
  else()
    file(REMOVE ${VEK_FUZZ_DIR}/max_len/${name})
  endif()
  set_property(GLOBAL APPEND PROPERTY VEK_FUZZ_TARGETS ${name})
endfunction()

# The list of targets for scripts/fuzz, written once every folder has added
# its own: <build>/fuzz-inputs/targets.txt, one name a line.
function(vek_fuzz_write_target_list)
  get_property(_targets GLOBAL PROPERTY VEK_FUZZ_TARGETS)
  list(SORT _targets)
  list(JOIN _targets "\n" _text)
  file(WRITE ${VEK_FUZZ_DIR}/targets.txt "${_text}\n")
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL vek_fuzz_write_target_list)
