# Run by cpack after it has made the Debian packages (CPACK_POST_BUILD_SCRIPTS), to mend two
# things CPack 3.25 gets wrong for them:
#  - it adds postinst and postrm scripts that run ldconfig for any library below /usr/lib,
#    but the package's libraries are private (in /usr/lib/quillmont, found through the
#    programs' run path), so the linker's cache never lists them;
#  - the -dbgsym package's md5sums name the files by their paths in the staging folder, and it
#    has no documentation folder; as Debian's own, it gets a link to its package's.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.d?deb$")
        continue()
    endif()
    set(root ${package}.mend)
    file(REMOVE_RECURSE ${root})
    execute_process(COMMAND dpkg-deb --raw-extract ${package} ${root} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE ${root}/DEBIAN/postinst ${root}/DEBIAN/postrm)
    if(package MATCHES "\\.ddeb$")
        file(STRINGS ${root}/DEBIAN/control name REGEX "^Package: ")
        string(REGEX REPLACE "^Package: (.*)-dbgsym$" "\\1" main "${name}")
        file(MAKE_DIRECTORY ${root}/usr/share/doc)
        file(CREATE_LINK ${main} ${root}/usr/share/doc/${main}-dbgsym SYMBOLIC)
        execute_process(COMMAND sh -c "find usr -type f | LC_ALL=C sort | xargs md5sum"
                        WORKING_DIRECTORY ${root} OUTPUT_FILE ${root}/DEBIAN/md5sums
                        COMMAND_ERROR_IS_FATAL ANY)
    endif()
    # gzip as CPack compresses them (dpkg-deb would take xz, several times slower).
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${root} ${package}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${root})
endforeach()
