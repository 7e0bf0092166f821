# tobrelk_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One GoogleTest executable; every test runs headless (dummy video and audio drivers).
# The tests' own code (every target under tests/ and the helpers here) is compiled without
# optimisation in an optimised build too (tests/CMakeLists.txt says why).
set(TOBRELK_TEST_OPTIMISE $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-O0>)
if(NOT TARGET tobrelk_test_support)
    add_library(tobrelk_test_support OBJECT ${CMAKE_SOURCE_DIR}/tests/support/HeadlessEnv.cpp)
    target_compile_options(tobrelk_test_support PRIVATE ${TOBRELK_TEST_OPTIMISE})
    # TOBRELK_PCH: every test file starts from one header precompiled here, GoogleTest and the
    # standard headers the tests share, which each batch used to parse again (a few seconds
    # each). The programs reuse it, so they must be compiled with the same options and
    # definitions it was (GTest's, SDL's): -Winvalid-pch, an error here, tells one that is not.
    if(TOBRELK_PCH)
        target_link_libraries(tobrelk_test_support PRIVATE GTest::gtest PkgConfig::SDL2)
        target_precompile_headers(tobrelk_test_support PRIVATE
            <gtest/gtest.h> <algorithm> <array> <chrono> <cmath> <cstdint> <cstdio> <cstdlib> <cstring>
            <filesystem> <fstream> <functional> <map> <memory> <set> <sstream> <string> <thread>
            <vector>)
    endif()
endif()
# The test program or helper library TARGET starts from the tests' precompiled header.
function(tobrelk_test_pch target)
    if(TOBRELK_PCH)
        target_precompile_headers(${target} REUSE_FROM tobrelk_test_support)
        target_link_libraries(${target} PRIVATE GTest::gtest PkgConfig::SDL2)
    endif()
endfunction()

# The graphics tests' picture and golden helpers, compiled once for every test program that draws.
if(NOT TARGET tobrelk_gfx_test_util)
    add_library(tobrelk_gfx_test_util STATIC ${CMAKE_SOURCE_DIR}/tests/platform/graphics/GfxTestUtil.cpp)
    target_link_libraries(tobrelk_gfx_test_util PUBLIC tobrelk_graphics GTest::gtest)
    target_compile_definitions(tobrelk_gfx_test_util PRIVATE TOBRELK_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
    target_compile_options(tobrelk_gfx_test_util PRIVATE ${TOBRELK_TEST_OPTIMISE})
    tobrelk_test_pch(tobrelk_gfx_test_util)
endif()

# Under the sanitizers a test program linked position-dependent starts in two thirds of the
# time: the loader has none of the million relocations of its instrumented data to apply, and
# every test runs in a process of its own.
function(tobrelk_test_link_options target)
    if(TOBRELK_SANITIZE)
        target_link_options(${target} PRIVATE -no-pie)
    endif()
endfunction()

function(tobrelk_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES} $<TARGET_OBJECTS:tobrelk_test_support>)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    tobrelk_test_link_options(${T_NAME})
    tobrelk_test_pch(${T_NAME})
    target_compile_definitions(${T_NAME} PRIVATE TOBRELK_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
    # The environment comes from tests/support/HeadlessEnv.cpp, linked into every test program.
    gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60)
endfunction()

# The test program NAME again as NAME_baseline, from NAME's own objects linked behind the
# baseline pixel loops (tobrelk_pixel_baseline), which the linker then takes instead of the
# library's clones; its tests are named baseline/<test>.
function(tobrelk_add_baseline_test name)
    add_executable(${name}_baseline $<TARGET_OBJECTS:tobrelk_pixel_baseline> $<TARGET_OBJECTS:${name}>)
    target_link_libraries(${name}_baseline PRIVATE $<TARGET_PROPERTY:${name},LINK_LIBRARIES>)
    tobrelk_test_link_options(${name}_baseline)
    get_target_property(dir ${name} BINARY_DIR)
    gtest_discover_tests(${name}_baseline TEST_PREFIX baseline/ WORKING_DIRECTORY ${dir} DISCOVERY_TIMEOUT 60)
    # Every clone the library holds is replaced: none comes in from a file left out of the list.
    add_test(NAME baseline/NoAvx2Clones.${name}
             COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DPROGRAM=$<TARGET_FILE:${name}_baseline>
                     -P ${CMAKE_SOURCE_DIR}/cmake/CheckNoAvx2Clones.cmake)
endfunction()
