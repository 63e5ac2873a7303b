# GoogleTest: the system package natively, the Debian source package cross-compiled for Windows.
if(WIN32)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Newer GoogleTest releases define the namespaced aliases themselves.
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# One CTest entry per test executable: under Wine each start is costly.
# NATIVE_ONLY / WINDOWS_ONLY: the test exists only in that build; elsewhere no target is made,
# so guard any further use of the target with if(TARGET name).
function(tvx_add_test name)
  cmake_parse_arguments(ARG "NATIVE_ONLY;WINDOWS_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_NATIVE_ONLY AND ARG_WINDOWS_ONLY)
    message(FATAL_ERROR "tvx_add_test(${name}): NATIVE_ONLY and WINDOWS_ONLY exclude each other")
  endif()
  if((ARG_NATIVE_ONLY AND WIN32) OR (ARG_WINDOWS_ONLY AND NOT WIN32))
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main tvx_options)
  # GoogleTest's headers cost most of a test file's build: parsed once per executable instead.
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h>)
  if(WIN32)
    # The code under test keeps its optimisation; the tests themselves need only build quickly.
    target_compile_options(${name} PRIVATE -O0)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(WIN32)
    # A Windows test stuck on a hidden dialog fails instead of stalling the run.
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# A fuzz target defines LLVMFuzzerTestOneInput. With TVX_FUZZ it becomes a libFuzzer executable;
# otherwise (natively) a replay test that feeds it every file of its stored corpus.
function(tvx_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(TVX_FUZZ)
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} tvx_options)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  elseif(NOT WIN32)
    add_executable(${name}_replay ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/fuzz_replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS} tvx_options)
    add_test(NAME ${name}_replay COMMAND ${name}_replay ${ARG_CORPUS})
  endif()
endfunction()
