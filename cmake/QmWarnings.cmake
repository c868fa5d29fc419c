# Our own targets build with strict warnings; third-party code (GoogleTest, Qt's generated
# sources) is not held to them. Beyond -Wall -Wextra: shadowed names, implicit narrowing and
# sign changes (an intended one is a static_cast with its reason), C-style casts, and
# polymorphic classes whose destructor is not virtual.
function(qm_strict_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion
                                             -Wsign-conversion -Wold-style-cast
                                             -Wnon-virtual-dtor
                                             $<$<BOOL:${QM_WERROR}>:-Werror>)
endfunction()

# The longest one test may run before CTest stops it and reports it failed, so that a hang
# costs a minute, not the whole run's time-out. Sanitizer builds run several times slower
# and raise it through their presets.
set(QM_TEST_TIMEOUT 60 CACHE STRING "Seconds one test may run")

# Adds a GoogleTest executable registered with CTest, each test with a time-out of its own.
#   qm_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...] [TIMEOUT seconds])
function(qm_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT ${QM_TEST_TIMEOUT})
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    qm_strict_warnings(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qm_testsupport GTest::gtest GTest::gtest_main)
    # A cross build lists a program's tests when CTest runs (under the emulator, which
    # scripts/wine-ctest.sh starts first), not while building.
    if(CMAKE_CROSSCOMPILING)
        set(_discovery DISCOVERY_MODE PRE_TEST)
    endif()
    gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 TEST_LIST ${T_NAME}_TESTS
                         ${_discovery} PROPERTIES TIMEOUT ${T_TIMEOUT})
    # gtest_discover_tests splits list-valued PROPERTIES (and drops empty ones), so labels are
    # set by a CTest script that runs after the discovered tests have been added.
    if(T_LABELS)
        set(_script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_properties.cmake")
        file(WRITE "${_script}"
             "if(${T_NAME}_TESTS)\n  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS [==[${T_LABELS}]==])\nendif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_script}")
    endif()
endfunction()
