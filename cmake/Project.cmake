# Helpers shared by every folder of the project.

set(VISTREL_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run)
set(VISTREL_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)

add_library(vistrel_options INTERFACE)
target_compile_options(vistrel_options INTERFACE -Wall -Wextra -Werror -Wpedantic
                       -Wno-missing-field-initializers)
if(VISTREL_SANITIZE AND NOT WIN32)
    target_compile_options(vistrel_options INTERFACE -fsanitize=address,undefined
                           -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(vistrel_options INTERFACE -fsanitize=address,undefined)
endif()

# Project code gets the warnings; third-party code linked in does not.
function(vistrel_target target)
    target_link_libraries(${target} PRIVATE vistrel_options)
endfunction()

# Company and copyright of every shipped binary and of the installer; the
# version is the project's (the top-level project() call).
set(VISTREL_COMPANY "Halvorix")
set(VISTREL_COPYRIGHT "Copyright (C) 2026 Halvorix")

# vistrel_version_info(<target> <description>): a VERSIONINFO resource for a
# shipped Windows program or DLL, carrying the project's version.
function(vistrel_version_info target description)
    if(NOT WIN32)
        return()
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(VISTREL_RC_FILETYPE VFT_APP)
        set(VISTREL_RC_FILENAME ${target}.exe)
    else()
        set(VISTREL_RC_FILETYPE VFT_DLL)
        set(VISTREL_RC_FILENAME ${target}.dll)
    endif()
    set(VISTREL_RC_NAME ${target})
    set(VISTREL_RC_DESCRIPTION "${description}")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

# vistrel_add_gtest(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [WINDOWS_ONLY] [NATIVE_ONLY])
# One ctest entry per binary: natively run directly, cross-built run under Wine
# through scripts/wine-run in a private prefix with its own Xvfb.
function(vistrel_add_gtest name)
    cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if((T_WINDOWS_ONLY AND NOT WIN32) OR (T_NATIVE_ONLY AND WIN32))
        return()
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 180)
    endif()
    add_executable(${name} ${T_SOURCES})
    vistrel_target(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
    vistrel_register_test(${name} ${T_TIMEOUT} $<TARGET_FILE:${name}>)
endfunction()

# Registers an already defined executable (or a command) as one ctest entry.
function(vistrel_register_test name timeout)
    if(WIN32)
        add_test(NAME wine.${name}
                 COMMAND ${VISTREL_WINE_RUN} --timeout ${timeout} -- ${ARGN})
        math(EXPR outer "${timeout} + 60")
        set_tests_properties(wine.${name} PROPERTIES TIMEOUT ${outer} LABELS wine
                             ENVIRONMENT "VISTREL_WINE_ROOT=${VISTREL_WINE_ROOT}")
    else()
        add_test(NAME native.${name} COMMAND ${ARGN})
        set_tests_properties(native.${name} PROPERTIES TIMEOUT ${timeout} LABELS native)
    endif()
endfunction()

# vistrel_add_fuzz(<name> SOURCES ... LIBS ... CORPUS <dir>)
# Natively the target is linked with a replay driver and ctest replays the kept
# corpus; with VISTREL_FUZZ (clang) it is a libFuzzer binary for `make fuzz`.
function(vistrel_add_fuzz name)
    cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    if(WIN32)
        return()
    endif()
    if(VISTREL_FUZZ)
        add_executable(fuzz_${name} ${F_SOURCES})
        vistrel_target(fuzz_${name})
        target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
        set_property(GLOBAL APPEND PROPERTY VISTREL_FUZZ_TARGETS
                     "$<TARGET_FILE:fuzz_${name}>=${F_CORPUS}")
    else()
        add_executable(replay_${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/fuzz_replay.cpp)
        vistrel_target(replay_${name})
        target_link_libraries(replay_${name} PRIVATE ${F_LIBS})
        add_test(NAME native.fuzz-replay.${name} COMMAND replay_${name} ${F_CORPUS})
        set_tests_properties(native.fuzz-replay.${name} PROPERTIES TIMEOUT 120 LABELS native)
    endif()
endfunction()

# vistrel_add_bench(<name> SOURCES ... [LIBS ...] [WINDOWS_ONLY] [NATIVE_ONLY])
# A benchmark program; `make bench` runs every one listed in
# <tree>/benchmarks.txt (Windows ones under Wine) and prints their lines
# "bench <name> <ratio>x <baseline>".
function(vistrel_add_bench name)
    cmake_parse_arguments(B "WINDOWS_ONLY;NATIVE_ONLY" "" "SOURCES;LIBS" ${ARGN})
    if((B_WINDOWS_ONLY AND NOT WIN32) OR (B_NATIVE_ONLY AND WIN32))
        return()
    endif()
    add_executable(${name} ${B_SOURCES})
    vistrel_target(${name})
    target_link_libraries(${name} PRIVATE ${B_LIBS})
    set_property(GLOBAL APPEND PROPERTY VISTREL_BENCHMARKS "$<TARGET_FILE:${name}>")
endfunction()

# Written at the end of the top-level list file.
function(vistrel_write_lists)
    get_property(benches GLOBAL PROPERTY VISTREL_BENCHMARKS)
    string(REPLACE ";" "\n" benches "${benches}")
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/benchmarks.txt CONTENT "${benches}\n")
    get_property(fuzz GLOBAL PROPERTY VISTREL_FUZZ_TARGETS)
    string(REPLACE ";" "\n" fuzz "${fuzz}")
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzz-targets.txt CONTENT "${fuzz}\n")
endfunction()
