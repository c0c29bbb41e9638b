# Shared build settings of the suite.
include(GNUInstallDirs)

# Installed layout. The programs find their companions (codec libraries,
# player stubs, help pages, a settings file carried over) beside themselves,
# so all of them share one program folder; bin/ holds only links to the
# commands, which keeps the Windows player stubs off PATH.
set(VEK_INSTALL_PROGDIR "lib/voice-lumo" CACHE STRING "The program folder, relative to the prefix")
# The documentation goes under the package's name, as the distributions
# expect (the project's own name has no dash).
if(CMAKE_INSTALL_DOCDIR STREQUAL "${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME}")
  set(CMAKE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/voice-lumo")
  set(CMAKE_INSTALL_FULL_DOCDIR "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}")
endif()
# The documentation seen from the program folder, for a prefix that was
# moved after installation.
file(RELATIVE_PATH VEK_PROGDIR_TO_DOCDIR /${VEK_INSTALL_PROGDIR} /${CMAKE_INSTALL_DOCDIR})
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Installs a program into the program folder and links it from bin/ with a
# relative symbolic link. The program resolves its own folder through the
# link (/proc/self/exe), and so does the loader's $ORIGIN.
function(vek_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${VEK_INSTALL_PROGDIR})
  file(RELATIVE_PATH _rel /${CMAKE_INSTALL_BINDIR} /${VEK_INSTALL_PROGDIR})
  install(CODE "
    set(_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(_link \"\${_dir}/$<TARGET_FILE_NAME:${target}>\")
    file(MAKE_DIRECTORY \"\${_dir}\")
    file(REMOVE \"\${_link}\")
    message(STATUS \"Installing: \${_link} -> ${_rel}/$<TARGET_FILE_NAME:${target}>\")
    file(CREATE_LINK \"${_rel}/$<TARGET_FILE_NAME:${target}>\" \"\${_link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_link}\")")
endfunction()

# A shared library of the suite: into the program folder, beside the
# programs that load it.
function(vek_install_library target)
  install(TARGETS ${target} LIBRARY DESTINATION ${VEK_INSTALL_PROGDIR} RUNTIME DESTINATION ${VEK_INSTALL_PROGDIR})
endfunction()

set(VEK_WARNINGS -Wall -Wextra)
if(VEK_WERROR)
  list(APPEND VEK_WARNINGS -Werror)
endif()

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

# A part of the suite cross-built for 64-bit Windows with mingw-w64: the
# project in SOURCE_DIR is configured with cmake/mingw-w64-x86_64.cmake and
# built on every build (its own dependency tracking decides what to redo).
# It gets VEK_ROOT (the source tree), VEK_OUT_DIR (where its products go),
# VEK_WARNINGS and whatever ARGS adds; OUTPUTS are the files it leaves in
# VEK_OUT_DIR, DEPENDS the host targets it needs first.
function(vek_add_mingw_project name)
  cmake_parse_arguments(ARG "" "SOURCE_DIR;OUT_DIR" "ARGS;OUTPUTS;DEPENDS" ${ARGN})
  include(ExternalProject)
  list(JOIN VEK_WARNINGS " " _warnings)
  set(_depends)
  if(ARG_DEPENDS)
    set(_depends DEPENDS ${ARG_DEPENDS})
  endif()
  ExternalProject_Add(${name}
    SOURCE_DIR ${ARG_SOURCE_DIR}
    BINARY_DIR ${CMAKE_CURRENT_BINARY_DIR}/${name}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
      -DCMAKE_BUILD_TYPE=MinSizeRel
      -DVEK_ROOT=${PROJECT_SOURCE_DIR}
      -DVEK_OUT_DIR=${ARG_OUT_DIR}
      "-DVEK_WARNINGS=${_warnings}"
      ${ARG_ARGS}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${ARG_OUTPUTS}
    ${_depends})
endfunction()
