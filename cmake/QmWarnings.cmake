# Our own targets build with strict warnings; third-party code (GoogleTest, Qt's generated
# sources) is not held to them.
function(qm_strict_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Adds a GoogleTest executable registered with CTest.
#   qm_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
function(qm_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    qm_strict_warnings(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} qm_testsupport GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}"
                         ENVIRONMENT "QM_BIN_DIR=${CMAKE_BINARY_DIR}/bin;QM_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
