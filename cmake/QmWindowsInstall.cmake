# Installation on Windows. `cmake --install build-mingw --prefix P` gives the folder that the
# installer (dist/windows/installer.nsi) puts on the user's machine:
#   P/bin                            the programs, every DLL they load and QmModuleLoader.arx:
#                                    Windows looks for a program's DLLs in its own folder
#                                    first, and cadhost loads the module loader from beside
#                                    itself; the compiler's run-time DLLs are there too
#   P/share/quillmont/sample         the sample installation, its ARX applications in Bin/
#                                    (a folder of its own here: no links on Windows)
#   P/share/quillmont/Configuration  the product information beside it
#   P/share/doc/quillmont-module-loader  the copyright
# The parts the Windows build does not have yet are left out until it has them.
# `cmake --build --preset mingw --target windows_installer` stages that tree (stripped) in
# build-mingw/installer/staging and makes quillmont-module-loader-<version>-setup.exe from it
# in build-mingw/.
set(QM_PACKAGE quillmont-module-loader)
set(_qm_installed)
foreach(target IN ITEMS cadhost qmreg qmloader qm_system qm_registry qm_env qm_host
                        QmModuleLoader QmModuleLoaderUi)
    if(TARGET ${target})
        # A DLL's import library belongs to a developer's kit, which Windows has not got yet.
        install(TARGETS ${target} RUNTIME DESTINATION bin COMPONENT runtime
                LIBRARY DESTINATION bin COMPONENT runtime ARCHIVE DESTINATION lib COMPONENT sdk)
        list(APPEND _qm_installed ${target})
    endif()
endforeach()
# The compiler's run-time DLLs come with their debugging information (over 20 MB); the
# project's own files are stripped by `cmake --install --strip`, these with them.
foreach(dll IN LISTS QM_MINGW_RUNTIME_DLLS)
    install(PROGRAMS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll} DESTINATION bin COMPONENT runtime)
endforeach()
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    foreach(dll IN ITEMS ${QM_MINGW_RUNTIME_DLLS})
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/\${dll}\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()" COMPONENT runtime)
if(TARGET sample_installation)
    install(DIRECTORY ${QM_SAMPLE_INSTALLATION}/ DESTINATION share/quillmont/sample
            COMPONENT runtime)
    install(DIRECTORY ${CMAKE_BINARY_DIR}/examples/Configuration/
            DESTINATION share/quillmont/Configuration COMPONENT runtime)
    list(APPEND _qm_installed sample_installation)
endif()
install(FILES dist/debian/copyright DESTINATION share/doc/${QM_PACKAGE} COMPONENT runtime)

set(QM_WINDOWS_INSTALLER ${CMAKE_BINARY_DIR}/${QM_PACKAGE}-${PROJECT_VERSION}-setup.exe)
find_program(QM_MAKENSIS makensis)
if(QM_MAKENSIS)
    set(_qm_staging ${CMAKE_BINARY_DIR}/installer/staging)
    set(_qm_file_list ${CMAKE_BINARY_DIR}/installer/files.nsh)
    add_custom_target(windows_installer
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${_qm_staging}
        COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${_qm_staging} --strip
                --component runtime
        COMMAND ${CMAKE_COMMAND} -DSTAGING=${_qm_staging} -DOUTPUT=${_qm_file_list}
                -P ${CMAKE_SOURCE_DIR}/cmake/QmNsisFiles.cmake
        COMMAND ${QM_MAKENSIS} -V2 -DQM_VERSION=${PROJECT_VERSION} -DQM_FILES=${_qm_file_list}
                -DQM_OUTFILE=${QM_WINDOWS_INSTALLER}
                ${CMAKE_SOURCE_DIR}/dist/windows/installer.nsi
        BYPRODUCTS ${QM_WINDOWS_INSTALLER}
        COMMENT "Making ${QM_PACKAGE}-${PROJECT_VERSION}-setup.exe"
        VERBATIM)
else()
    add_custom_target(windows_installer
        COMMAND ${CMAKE_COMMAND} -E echo "makensis not found: scripts/win-deps.sh installs nsis"
        COMMAND ${CMAKE_COMMAND} -E false
        VERBATIM)
endif()
if(_qm_installed)
    add_dependencies(windows_installer ${_qm_installed})
endif()
