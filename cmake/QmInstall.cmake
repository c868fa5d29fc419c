# Installation and packaging. `cmake --install build --prefix P` gives a tree laid out as
# Debian's /usr that works wherever it is put (every run path is relative to $ORIGIN):
#   P/bin                       cadhost, qmreg, qmloader (RUNPATH $ORIGIN/../lib/quillmont,
#                               then $ORIGIN, which finds the libraries in the build tree)
#   P/lib/quillmont             private, RUNPATH $ORIGIN: the platform libraries (with
#                               SOVERSION), QmModuleLoader.arx with its dialogs
#                               QmModuleLoaderUi.so beside it, and libqm_host_gui.so, the host's
#                               main window that cadhost opens
#   P/lib/quillmont/sample/Bin  the sample installation's ARX application
#   P/share/quillmont/sample    the sample installation, the default installation folder of an
#                               installed build; its Bin is a link to the folder above, so that
#                               no compiled code lies under share/
#   P/share/quillmont/Configuration  the product information beside it
#   P/share/man/man1            the manual pages, compressed
#   P/share/applications, P/share/icons/hicolor, P/share/metainfo  the desktop entry, its icon
#                               and the AppStream metadata
#   P/share/bash-completion/completions  completion of the three programs
#   P/share/doc/<package>       copyright and changelog of each package
# The SDK for ARX applications is a component of its own (the -dev package): the host API
# headers in P/include/cadhost, the host library's link name, and find_package(CadHost) with
# cadhost_add_arx() in P/lib/cmake/CadHost.
# Tests, test ARX files and benchmarks are not installed.
set(QM_PACKAGE quillmont-module-loader)
set(QM_DEV_PACKAGE ${QM_PACKAGE}-dev)
set(QM_PRIVATE_LIB lib/quillmont)
set(QM_DESKTOP_ID org.example.quillmont.cadhost)

set(QM_PLATFORM_LIBRARIES qm_system qm_registry qm_env qm_host)
set_target_properties(${QM_PLATFORM_LIBRARIES} PROPERTIES VERSION ${PROJECT_VERSION}
                                                          SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(${QM_PLATFORM_LIBRARIES} QmModuleLoader QmModuleLoaderUi
                      qm_host_gui_module PROPERTIES INSTALL_RPATH "$ORIGIN")
# The sample's ARX application runs in the host, which has brought its libraries already.
# (The build tree links with these run paths too: CMAKE_BUILD_WITH_INSTALL_RPATH.)
set_target_properties(krqm_roads PROPERTIES INSTALL_RPATH "")

install(TARGETS cadhost qmreg qmloader RUNTIME DESTINATION bin COMPONENT runtime)
install(TARGETS ${QM_PLATFORM_LIBRARIES} LIBRARY DESTINATION ${QM_PRIVATE_LIB}
        NAMELINK_SKIP COMPONENT runtime)
install(TARGETS QmModuleLoader QmModuleLoaderUi qm_host_gui_module
        LIBRARY DESTINATION ${QM_PRIVATE_LIB} COMPONENT runtime)
install(DIRECTORY ${QM_SAMPLE_INSTALLATION}/ DESTINATION share/quillmont/sample
        USE_SOURCE_PERMISSIONS COMPONENT runtime REGEX "/examples/sample/Bin$" EXCLUDE)
install(TARGETS krqm_roads LIBRARY DESTINATION ${QM_PRIVATE_LIB}/sample/Bin COMPONENT runtime)
install(CODE "set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/quillmont/sample/Bin\")
    file(REMOVE \${link})
    file(CREATE_LINK ../../../${QM_PRIVATE_LIB}/sample/Bin \${link} SYMBOLIC)"
        COMPONENT runtime)
install(DIRECTORY ${CMAKE_BINARY_DIR}/examples/Configuration/
        DESTINATION share/quillmont/Configuration COMPONENT runtime)

# Compressed as Debian wants them (gzip -9n: best compression, no name or time stamp, so that
# the same sources give the same package).
set(_qm_gz_outputs)
foreach(file IN ITEMS docs/man/cadhost.1 docs/man/qmreg.1 docs/man/qmloader.1
                      dist/debian/changelog)
    get_filename_component(name ${file} NAME)
    set(out ${CMAKE_BINARY_DIR}/packaging/${name})
    add_custom_command(OUTPUT ${out}.gz
                       COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${file} ${out}
                       COMMAND gzip -9nf ${out}
                       DEPENDS ${CMAKE_SOURCE_DIR}/${file}
                       VERBATIM)
    list(APPEND _qm_gz_outputs ${out}.gz)
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${_qm_gz_outputs})
set(_qm_gz ${CMAKE_BINARY_DIR}/packaging)
install(FILES ${_qm_gz}/cadhost.1.gz ${_qm_gz}/qmreg.1.gz ${_qm_gz}/qmloader.1.gz
        DESTINATION share/man/man1 COMPONENT runtime)

# The changelog's first entry is the version packaged: a new version needs its entry.
file(STRINGS dist/debian/changelog _qm_changelog_top LIMIT_COUNT 1)
if(NOT _qm_changelog_top MATCHES "^${QM_PACKAGE} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "dist/debian/changelog does not begin with an entry for "
                        "${QM_PACKAGE} ${PROJECT_VERSION}: ${_qm_changelog_top}")
endif()
foreach(package_component IN ITEMS "${QM_PACKAGE}:runtime" "${QM_DEV_PACKAGE}:sdk")
    string(REPLACE ":" ";" pc ${package_component})
    list(GET pc 0 package)
    list(GET pc 1 component)
    install(FILES dist/debian/copyright ${_qm_gz}/changelog.gz
            DESTINATION share/doc/${package} COMPONENT ${component})
endforeach()

install(FILES dist/desktop/${QM_DESKTOP_ID}.desktop DESTINATION share/applications
        COMPONENT runtime)
install(FILES dist/desktop/${QM_DESKTOP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps
        COMPONENT runtime)
install(FILES dist/desktop/${QM_DESKTOP_ID}.png DESTINATION share/icons/hicolor/128x128/apps
        COMPONENT runtime)
install(FILES dist/desktop/${QM_DESKTOP_ID}.metainfo.xml DESTINATION share/metainfo
        COMPONENT runtime)
install(FILES dist/completion/cadhost dist/completion/qmreg dist/completion/qmloader
        DESTINATION share/bash-completion/completions COMPONENT runtime)

# The SDK: the headers an ARX application includes (not the host program's own), the host
# library's link name and the CMake package.
install(FILES
        platform/host/include/cadhost/arx.h
        platform/host/include/cadhost/arx_app.h
        platform/host/include/cadhost/automation.h
        platform/host/include/cadhost/data_manager.h
        platform/host/include/cadhost/menu_file.h
        platform/host/include/cadhost/services.h
        DESTINATION include/cadhost COMPONENT sdk)
install(TARGETS qm_host LIBRARY DESTINATION ${QM_PRIVATE_LIB} NAMELINK_ONLY COMPONENT sdk)
include(CMakePackageConfigHelpers)
configure_file(cmake/sdk/CadHostConfig.cmake.in
               ${CMAKE_BINARY_DIR}/sdk/CadHostConfig.cmake @ONLY)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sdk/CadHostConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/sdk/CadHostConfig.cmake
              ${CMAKE_BINARY_DIR}/sdk/CadHostConfigVersion.cmake
        DESTINATION lib/cmake/CadHost COMPONENT sdk)

# cpack: two Debian packages for /usr (the programs and the SDK, -dev), the debug symbols in a
# -dbgsym package beside them, and the relocatable tree of both as one .tar.gz.
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_NAME ${QM_PACKAGE})
set(CPACK_PACKAGE_VENDOR Brenvik)
set(CPACK_PACKAGE_CONTACT "Quillmont developers <quillmont@example.invalid>")
set(CPACK_COMPONENTS_ALL runtime sdk)
# Each package's description begins with its own synopsis line (no summary is set for CPack to
# put before them).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${QM_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "Quillmont module loader with its CAD host
The Quillmont module loader is the plug-in of the CAD host that brings the
add-on modules of the Quillmont product family into the user's session: it
loads the menus and runs the applications of the modules each user wants,
keeps the users' private copies of the menu files, and offers dialogs to
load, unload and switch modules.

This package holds the host program cadhost with the module loader, the
registry store with its tool qmreg, the integrators' tool qmloader, and a
sample installation, the default one.")
set(CPACK_DEBIAN_SDK_PACKAGE_NAME ${QM_DEV_PACKAGE})
set(CPACK_DEBIAN_SDK_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SDK_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_SDK_PACKAGE_DEPENDS "${QM_PACKAGE} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_SDK_DESCRIPTION "SDK for ARX applications of the Quillmont CAD host
The headers of the host API that an ARX application includes, the host
library's link name, and the CMake package: find_package(CadHost) and
cadhost_add_arx() build an application as the host loads it.")
# The package's own libraries, for dpkg-shlibdeps to resolve the programs' needs against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/${QM_PACKAGE}-${PROJECT_VERSION}-Linux/runtime/usr/${QM_PRIVATE_LIB})
# The Debian packages install into /usr and strip their programs and libraries when they move
# the debug symbols out; the archive keeps a relocatable tree, stripped.
file(WRITE ${CMAKE_BINARY_DIR}/QmCPackOptions.cmake [[
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
    set(CPACK_STRIP_FILES ON)
endif()
]])
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/QmCPackOptions.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/QmDebMend.cmake)
include(CPack)
