# Shared build settings of the suite.
include(GNUInstallDirs)

set(VEK_WARNINGS -Wall -Wextra)

if(VEK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The decoders and effects compare every index that comes from the data with
# its array's length in the sanitizer and fuzz builds (vek/checked.hpp); other
# builds compile the checks out.
if(VEK_SANITIZE OR VEK_BUILD_FUZZ)
  add_compile_definitions(VEK_CHECKED_ACCESS)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/VekFuzz.cmake)

# Every target of the suite: warnings on.
function(vek_target_defaults target)
  target_compile_options(${target} PRIVATE ${VEK_WARNINGS})
endfunction()

# Codec arithmetic is part of the stored formats: single-precision results
# must not be fused into multiply-adds, or the streams change in the last bit.
# Optimised builds of the codec code go to -O3, which lets the compiler
# vectorise the per-tap loops (exactly: no contraction, no fast-math).
function(vek_codec_target target)
  vek_target_defaults(${target})
  target_compile_options(${target} PRIVATE -ffp-contract=off $<$<NOT:$<CONFIG:Debug>>:-O3>)
endfunction()

# A GoogleTest executable registered with CTest. LABELS: "core" for the fast,
# deterministic tests of the portable core (also run under the sanitizers),
# "gui" for headless Qt tests, "system" for tests that start real programs.
# RUN_SERIAL: the tests never run beside other tests.
function(vek_add_gtest name)
  cmake_parse_arguments(ARG "RUN_SERIAL" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  vek_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  if(NOT ARG_LABELS)
    set(ARG_LABELS core)
  endif()
  set(_serial FALSE)
  if(ARG_RUN_SERIAL)
    set(_serial TRUE)
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS "${ARG_LABELS}" RUN_SERIAL ${_serial} DISCOVERY_TIMEOUT 60)
endfunction()

# A Google Benchmark executable (not run by CTest; see scripts/bench).
function(vek_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  vek_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()

# Subsystems grow one folder at a time: a folder joins the build as soon as it
# has a CMakeLists.txt of its own.
function(vek_add_optional_subdirectory dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()
