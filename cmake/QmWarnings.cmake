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

# Every test gets its time-out here, however it is registered: a command (qm_add_command_test)
# or the tests a GoogleTest program lists (qm_discover_tests, which qm_add_test calls).
# scripts/test-isolation.sh checks that CTest lists a TIMEOUT for every test.
function(qm_test_timeout out given)
    if(given)
        set(${out} ${given} PARENT_SCOPE)
    else()
        set(${out} ${QM_TEST_TIMEOUT} PARENT_SCOPE)
    endif()
endfunction()

# Sets labels on the tests a discovery lists. gtest_discover_tests splits list-valued
# PROPERTIES (and drops empty ones), so they are set by a CTest script that runs after the
# discovered tests have been added.
function(_qm_label_discovered list labels)
    set(_script "${CMAKE_CURRENT_BINARY_DIR}/${list}_properties.cmake")
    file(WRITE "${_script}"
         "if(${list})\n  set_tests_properties(\${${list}} PROPERTIES LABELS [==[${labels}]==])\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_script}")
endfunction()

# Registers the tests of a GoogleTest program, each with a time-out (and, when given, a prefix
# to its name, an environment and labels).
#   qm_discover_tests(target [TEST_LIST name] [TEST_PREFIX p] [ENVIRONMENT "A=b"]
#                     [TIMEOUT seconds] [LABELS l ...])
function(qm_discover_tests target)
    cmake_parse_arguments(D "" "TEST_LIST;TEST_PREFIX;ENVIRONMENT;TIMEOUT" "LABELS" ${ARGN})
    qm_test_timeout(_timeout "${D_TIMEOUT}")
    if(NOT D_TEST_LIST)
        set(D_TEST_LIST ${target}_TESTS)
    endif()
    set(_options)
    # A cross build lists a program's tests when CTest runs (under the emulator, which
    # scripts/wine-ctest.sh starts first), not while building.
    if(CMAKE_CROSSCOMPILING)
        list(APPEND _options DISCOVERY_MODE PRE_TEST)
    endif()
    if(D_TEST_PREFIX)
        list(APPEND _options TEST_PREFIX ${D_TEST_PREFIX})
    endif()
    set(_properties TIMEOUT ${_timeout})
    if(D_ENVIRONMENT)
        list(APPEND _properties ENVIRONMENT "${D_ENVIRONMENT}")
    endif()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_LIST ${D_TEST_LIST} ${_options}
                         PROPERTIES ${_properties})
    if(D_LABELS)
        _qm_label_discovered(${D_TEST_LIST} "${D_LABELS}")
    endif()
endfunction()

# Registers a test that runs a command, with a time-out.
#   qm_add_command_test(NAME name COMMAND cmd args... [TIMEOUT seconds] [LABELS l ...])
function(qm_add_command_test)
    cmake_parse_arguments(C "COMMAND_EXPAND_LISTS" "NAME;TIMEOUT" "COMMAND;LABELS" ${ARGN})
    qm_test_timeout(_timeout "${C_TIMEOUT}")
    set(_expand)
    if(C_COMMAND_EXPAND_LISTS)
        set(_expand COMMAND_EXPAND_LISTS)
    endif()
    add_test(NAME ${C_NAME} COMMAND ${C_COMMAND} ${_expand})
    set_tests_properties(${C_NAME} PROPERTIES TIMEOUT ${_timeout})
    if(C_LABELS)
        set_tests_properties(${C_NAME} PROPERTIES LABELS "${C_LABELS}")
    endif()
endfunction()

# Adds a GoogleTest executable registered with CTest, each test with a time-out of its own.
#   qm_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...] [TIMEOUT seconds])
function(qm_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    qm_strict_warnings(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qm_testsupport GTest::gtest GTest::gtest_main)
    qm_discover_tests(${T_NAME} TIMEOUT "${T_TIMEOUT}" LABELS ${T_LABELS})
endfunction()
