# The Windows programs and DLLs share one C++ run-time: the compiler's DLLs (libstdc++,
# libgcc's unwinder, winpthreads) are copied into bin/ beside them, where Windows looks first,
# so that the programs run under Wine and on Windows from the build folder, and one copy of
# each run-time serves every DLL of the process (one heap of exceptions, one thread registry).
set(QM_MINGW_RUNTIME_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
foreach(dll IN LISTS QM_MINGW_RUNTIME_DLLS)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE _qm_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_qm_dll}" OR NOT EXISTS "${_qm_dll}")
        message(FATAL_ERROR "${dll} of ${CMAKE_CXX_COMPILER} not found")
    endif()
    file(COPY "${_qm_dll}" DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endforeach()
