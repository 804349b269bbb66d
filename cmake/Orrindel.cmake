# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers every subsystem folder uses, so that no folder touches the top level.

# orr_add_library(NAME DEPS...): a static library of every .cpp in the calling folder.
function(orr_add_library name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # A folder with headers only so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# The test framework's headers are a third of a test file's compile time: they are
# compiled once per tree, by orr_test_pch, and every unit test program reuses that header.
option(ORR_PCH "Precompile the test framework's headers once for all test programs" ON)
set(ORR_TEST_PCH_HEADERS <gtest/gtest.h> <gmock/gmock.h> <filesystem> <fstream>)

# orr_compile_like_tests(TARGET): the options every unit test file is compiled with, which a
# shared precompiled header needs to match.
function(orr_compile_like_tests target)
  # -pthread (the test framework runs threads) also defines _REENTRANT, as SDL's flags do
  # for most tests: a precompiled header is only used under the same macros.
  target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-O1> -pthread)
  # ccache caches a compile that uses a precompiled header only when told that the
  # header's time stamps and macros may be trusted.
  if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set_property(TARGET ${target} PROPERTY CXX_COMPILER_LAUNCHER env
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
      ${CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
endfunction()

# orr_use_test_pch(TARGET): TARGET compiles with the shared test header.
function(orr_use_test_pch target)
  if(NOT ORR_PCH)
    return()
  endif()
  if(NOT TARGET orr_test_pch)
    set(src ${CMAKE_BINARY_DIR}/orr_test_pch.cpp)
    if(NOT EXISTS ${src})
      file(WRITE ${src} "// Holds the test programs' precompiled header.\n")
    endif()
    add_library(orr_test_pch OBJECT ${src})
    target_link_libraries(orr_test_pch PRIVATE GTest::gtest GTest::gmock)
    orr_compile_like_tests(orr_test_pch)
    target_precompile_headers(orr_test_pch PRIVATE ${ORR_TEST_PCH_HEADERS})
  endif()
  target_precompile_headers(${target} REUSE_FROM orr_test_pch)
endfunction()

# orr_add_unit_test(NAME [TSAN] SOURCES... LIBS libs...): a headless GoogleTest program,
# label "unit"; with TSAN it is also run under ThreadSanitizer (label "tsan").
function(orr_add_unit_test name)
  cmake_parse_arguments(T "TSAN" "" "SOURCES;LIBS" ${ARGN})
  if(WIN32)
    list(REMOVE_ITEM T_SOURCES ${ORR_LINUX_ONLY_TEST_SOURCES})
    if(NOT T_SOURCES)
      return()
    endif()
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  # In an optimised tree the test files themselves compile at -O1: a quarter less compile
  # time; the code under test keeps its own optimisation.
  orr_compile_like_tests(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE ORR_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  orr_use_test_pch(${name})
  add_test(NAME ${name} COMMAND ${name})
  set(labels unit)
  if(T_TSAN)
    list(APPEND labels tsan)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT 300
    ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/scripts/lsan.supp")
endfunction()

# orr_add_e2e_test(NAME SCRIPT [ARGS...]): a shell script that drives the real game, label "e2e".
function(orr_add_e2e_test name script)
  if(WIN32)
    return()  # the Windows build's end-to-end tests run under Wine: tests/windows/
  endif()
  add_test(NAME ${name} COMMAND bash ${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT 300 RUN_SERIAL TRUE
    ENVIRONMENT "ORR_BUILD=${CMAKE_BINARY_DIR};ORR_SOURCE=${CMAKE_SOURCE_DIR}")
endfunction()

# orr_add_benchmark(NAME SOURCES... LIBS libs...): a Google Benchmark program in build/bin.
function(orr_add_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ORR_BIN_DIR})
endfunction()

# orr_add_tool(NAME [BUILD_ONLY] SOURCES... LIBS libs...): a command-line tool in build/bin,
# installed to bin/ unless it only serves the build (BUILD_ONLY).
function(orr_add_tool name)
  cmake_parse_arguments(T "BUILD_ONLY" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ORR_BIN_DIR})
  if(EMSCRIPTEN)
    orr_web_node_tool(${name})
  endif()
  if(NOT T_BUILD_ONLY)
    # Windows keeps the tools beside the game (cmake/Windows.cmake).
    if(NOT DEFINED ORR_INSTALL_TOOL_DIR)
      set(ORR_INSTALL_TOOL_DIR bin)
    endif()
    install(TARGETS ${name} DESTINATION ${ORR_INSTALL_TOOL_DIR})
  endif()
endfunction()

# orr_add_fuzzer(NAME SOURCE CORPUS_DIR LIBS libs...): a libFuzzer target, run briefly by
# CTest (label "fuzz") on a scratch copy of its seed corpus.
set(ORR_FUZZ_SECONDS 10 CACHE STRING "Seconds each fuzz target runs in the test suite")
function(orr_add_fuzzer name source corpus)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ORR_BIN_DIR})
  add_test(NAME ${name}
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer $<TARGET_FILE:${name}> ${corpus} ${ORR_FUZZ_SECONDS})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()
