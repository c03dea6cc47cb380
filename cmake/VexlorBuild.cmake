# Build conventions shared by every folder of the project.

if(WIN32)
  set(VEXLOR_PLATFORM windows)
else()
  set(VEXLOR_PLATFORM native)
endif()

# Warnings stay at zero in both presets. Everything here is the target's own:
# a program that links the reporter gets none of the project's include path,
# Windows macros or warning flags.
function(vexlor_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VEXLOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  if(WIN32)
    # Unicode API for everything an operator sees; the reporter's 8-bit texts
    # call the ...A functions explicitly.
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                 _WIN32_WINNT=0x0601)
  endif()
endfunction()

function(vexlor_add_library target)
  add_library(${target} STATIC ${ARGN})
  vexlor_target_defaults(${target})
endfunction()

# Windows executables are linked statically so they need no DLL beside them.
function(vexlor_static_link target)
  if(WIN32)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

function(vexlor_add_executable target)
  add_executable(${target} ${ARGN})
  vexlor_target_defaults(${target})
  vexlor_static_link(${target})
endfunction()

# GoogleTest comes from Debian's source package and is built with the project's
# own compiler, so the same sources serve the native and the mingw builds.
macro(vexlor_setup_googletest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(WIN32)
    # A private Xvfb display and Wine prefix, started once per ctest run.
    add_test(NAME wine_session_start
             COMMAND ${PROJECT_SOURCE_DIR}/tests/harness/wine-session start ${CMAKE_BINARY_DIR})
    add_test(NAME wine_session_stop
             COMMAND ${PROJECT_SOURCE_DIR}/tests/harness/wine-session stop ${CMAKE_BINARY_DIR})
    set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
    set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
  endif()
endmacro()

# vexlor_add_test(name SOURCES ... [LIBS ...] [NATIVE_ONLY] [WINDOWS_ONLY] [TIMEOUT s])
# A GoogleTest executable. In the native preset it runs directly (with the
# sanitizers); in the windows preset it runs under wine64 inside the shared
# Wine session fixture.
function(vexlor_add_test name)
  cmake_parse_arguments(T "NATIVE_ONLY;WINDOWS_ONLY" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(VEXLOR_FUZZ OR (T_NATIVE_ONLY AND WIN32))
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  vexlor_target_defaults(${name})
  vexlor_static_link(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine
                         ENVIRONMENT "VEXLOR_WINE_STATE=${CMAKE_BINARY_DIR}/wine-session.env")
  endif()
endfunction()

# vexlor_add_wine_script_test(name COMMAND ...): a test driven by a host script
# that starts Windows programs itself (end-to-end tests, the crash corpus).
function(vexlor_add_wine_script_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} FIXTURES_REQUIRED wine
                       ENVIRONMENT "VEXLOR_WINE_STATE=${CMAKE_BINARY_DIR}/wine-session.env")
endfunction()

# vexlor_add_fuzzer(name SOURCES ... [LIBS ...] [SEEDS dir]): a libFuzzer
# target, built only in the fuzz preset (clang). Its test runs the fuzzer for
# VEXLOR_FUZZ_SECONDS, starting from the seed files.
set(VEXLOR_FUZZ_SECONDS 60 CACHE STRING "Time each fuzz target runs in ctest")
if(VEXLOR_FUZZ)
  add_custom_target(fuzzers)
endif()
function(vexlor_add_fuzzer name)
  cmake_parse_arguments(T "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  if(NOT VEXLOR_FUZZ)
    return()
  endif()
  add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
  vexlor_target_defaults(${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  add_dependencies(fuzzers ${name})
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${corpus})
  set(seeds)
  if(T_SEEDS)
    set(seeds ${T_SEEDS})
  endif()
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${VEXLOR_FUZZ_SECONDS} -timeout=10
                                -rss_limit_mb=2048 ${corpus} ${seeds})
endfunction()
