# Project-wide compile options, sanitizers and the Qt Test helper.

# Every project target links lumivor_options: warnings and, in the test build, sanitizers.
add_library(lumivor_options INTERFACE)
target_compile_options(lumivor_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(lumivor_options INTERFACE QT_NO_FOREACH)

option(LUMIVOR_SANITIZE "Build the project's code with AddressSanitizer and UBSan" OFF)
option(LUMIVOR_FUZZ "Build the fuzz targets with clang's libFuzzer (scripts/fuzz.sh)" OFF)
if(LUMIVOR_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "LUMIVOR_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    # Every library is instrumented for the fuzzer's coverage; only the fuzz
    # targets link libFuzzer itself.
    target_compile_options(lumivor_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g -O1)
    target_link_options(lumivor_options INTERFACE -fsanitize=address,undefined)
endif()
if(LUMIVOR_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_compile_options(lumivor_options INTERFACE ${_san})
    target_link_options(lumivor_options INTERFACE ${_san})
endif()

# Environment every test runs in: offscreen windows, sanitizer settings, a private
# XDG_DATA_HOME and XDG_CONFIG_HOME, so no test sees or touches the operator's own port
# links or preferences.
set(LUMIVOR_TEST_ENV
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-xdg-data"
    "XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-xdg-config"
    "QT_LOGGING_RULES=qt.qpa.*=false")

# Scales every test's time-out: a machine busy with other work (the fault
# check builds while it tests) would otherwise end slow but sound tests.
set(LUMIVOR_TEST_TIMEOUT_SCALE 1 CACHE STRING "Factor applied to every test's TIMEOUT")

# A time-out in seconds (fractions allowed) times the scale, rounded up when scaled.
function(lumivor_scaled_timeout out seconds)
    if(LUMIVOR_TEST_TIMEOUT_SCALE EQUAL 1)
        set(${out} ${seconds} PARENT_SCOPE)
        return()
    endif()
    string(REGEX REPLACE "\\..*" "" whole "${seconds}")
    math(EXPR scaled "(${whole} + 1) * ${LUMIVOR_TEST_TIMEOUT_SCALE}")
    set(${out} ${scaled} PARENT_SCOPE)
endfunction()

# lumivor_add_qtest(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>])
# Builds one Qt Test executable and registers it with CTest.
function(lumivor_add_qtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test lumivor_options)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    lumivor_scaled_timeout(timeout ${ARG_TIMEOUT})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${LUMIVOR_TEST_ENV}" TIMEOUT ${timeout})
endfunction()

# lumivor_add_test_suite(<name> SOURCES <files...> LIBS <targets...> TIMEOUT <s>)
# One test program of several Qt Test classes (each file ends with
# LUMIVOR_TEST(Class)), registered with CTest. The time-out is about three
# times what the program takes under ./test, so a hang ends it early.
function(lumivor_add_test_suite name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        message(FATAL_ERROR "lumivor_add_test_suite(${name}): give a TIMEOUT")
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} lumivor_test_main Qt6::Test lumivor_options)
    add_test(NAME ${name} COMMAND ${name})
    lumivor_scaled_timeout(timeout ${ARG_TIMEOUT})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${LUMIVOR_TEST_ENV}" TIMEOUT ${timeout})
endfunction()
