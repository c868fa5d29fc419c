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

# Adds a GoogleTest executable registered with CTest.
#   qm_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
function(qm_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    qm_strict_warnings(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qm_testsupport GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 TEST_LIST ${T_NAME}_TESTS)
    # gtest_discover_tests splits list-valued PROPERTIES (and drops empty ones), so labels are
    # set by a CTest script that runs after the discovered tests have been added.
    if(T_LABELS)
        set(_script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_properties.cmake")
        file(WRITE "${_script}"
             "if(${T_NAME}_TESTS)\n  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS [==[${T_LABELS}]==])\nendif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_script}")
    endif()
endfunction()
