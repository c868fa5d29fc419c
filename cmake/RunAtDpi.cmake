# Runs a Windows test program under Wine at another system DPI (a scale factor): the prefix's
# LogPixels is set for the run and removed afterwards, since Wine reads it when a program starts.
# The test that runs this is RUN_SERIAL, so that no other program starts at that DPI; a run
# killed before the removal is undone by the next Wine session's start (scripts/wine-session.sh).
#   cmake -DWINE=wine -DDPI=192 -DPROGRAM=test.exe -DFILTER=gtest-filter -P RunAtDpi.cmake
set(_key "HKCU\\Control Panel\\Desktop")
execute_process(COMMAND ${WINE} reg add ${_key} /v LogPixels /t REG_DWORD /d ${DPI} /f
                OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE _set)
if(NOT _set EQUAL 0)
    message(FATAL_ERROR "could not set LogPixels to ${DPI}")
endif()
execute_process(COMMAND ${WINE} ${PROGRAM} --gtest_filter=${FILTER} RESULT_VARIABLE _result)
execute_process(COMMAND ${WINE} reg delete ${_key} /v LogPixels /f OUTPUT_QUIET ERROR_QUIET)
if(NOT _result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} at ${DPI} dpi: ${_result}")
endif()
