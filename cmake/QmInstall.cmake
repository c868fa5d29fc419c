# Installation and packaging: `cmake --install build --prefix P` gives a tree that works
# wherever it is put.
#   P/bin                     cadhost, qmreg, qmloader (RUNPATH $ORIGIN/../lib)
#   P/lib                     the platform libraries (with SOVERSION), QmModuleLoader.arx with
#                             its dialogs QmModuleLoaderUi.so beside it, and libqm_host_gui.so,
#                             the host's main window that cadhost opens
#   P/share/quillmont/sample  the sample installation with its ARX application; the default
#                             installation folder of an installed build
#   P/share/quillmont/Configuration  the product information beside it
#   P/share/man/man1          the manual pages
#   P/include/cadhost, P/lib/cmake/CadHost  the SDK for ARX applications: the host API
#                             headers and find_package(CadHost) with cadhost_add_arx()
# Tests, test ARX files and benchmarks are not installed.
set(QM_PLATFORM_LIBRARIES qm_system qm_registry qm_env qm_host)
set_target_properties(${QM_PLATFORM_LIBRARIES} PROPERTIES VERSION ${PROJECT_VERSION}
                                                          SOVERSION ${PROJECT_VERSION_MAJOR})
install(TARGETS cadhost qmreg qmloader RUNTIME DESTINATION bin)
install(TARGETS ${QM_PLATFORM_LIBRARIES} LIBRARY DESTINATION lib NAMELINK_SKIP)
install(TARGETS QmModuleLoader QmModuleLoaderUi qm_host_gui_module LIBRARY DESTINATION lib)
install(DIRECTORY ${QM_SAMPLE_INSTALLATION}/ DESTINATION share/quillmont/sample
        USE_SOURCE_PERMISSIONS)
install(DIRECTORY ${CMAKE_BINARY_DIR}/examples/Configuration/
        DESTINATION share/quillmont/Configuration)
# The SDK: the headers an ARX application includes (not the host program's own), the host
# library's link name and the CMake package.
install(FILES
        platform/host/include/cadhost/arx.h
        platform/host/include/cadhost/arx_app.h
        platform/host/include/cadhost/automation.h
        platform/host/include/cadhost/data_manager.h
        platform/host/include/cadhost/menu_file.h
        platform/host/include/cadhost/services.h
        DESTINATION include/cadhost)
install(TARGETS qm_host LIBRARY DESTINATION lib NAMELINK_ONLY)
include(CMakePackageConfigHelpers)
configure_file(cmake/sdk/CadHostConfig.cmake.in
               ${CMAKE_BINARY_DIR}/sdk/CadHostConfig.cmake @ONLY)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sdk/CadHostConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/sdk/CadHostConfig.cmake
              ${CMAKE_BINARY_DIR}/sdk/CadHostConfigVersion.cmake
        DESTINATION lib/cmake/CadHost)
install(FILES docs/man/cadhost.1 docs/man/qmreg.1 docs/man/qmloader.1 DESTINATION share/man/man1)

# cpack -G DEB: one package under /opt/quillmont, its dependencies found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME quillmont-module-loader)
set(CPACK_PACKAGE_VENDOR Brenvik)
set(CPACK_PACKAGE_CONTACT "Quillmont developers <quillmont@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Quillmont module loader with its CAD host, registry store and sample installation")
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/quillmont)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The package's own libraries, for dpkg-shlibdeps to resolve the programs' needs against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-Linux/opt/quillmont/lib)
include(CPack)
