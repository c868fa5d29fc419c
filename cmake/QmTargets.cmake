# Helpers that every target of the project is made with, so that the boilerplate (warnings,
# visibility, include roots, ARX naming) exists once.

# qm_add_library(name STATIC|SHARED|OBJECT SOURCES src... [INCLUDE dir]
#                [PUBLIC lib...] [PRIVATE lib...] [HIDDEN])
# INCLUDE is the folder (relative to the calling CMakeLists.txt) that holds the library's
# public headers; users of the library see it, in the build and once installed, and nothing
# else of the library's sources (private _p.h headers beside the sources stay private).
# HIDDEN builds with hidden symbol visibility (libraries linked into ARX modules).
function(qm_add_library name kind)
    cmake_parse_arguments(L "HIDDEN" "INCLUDE" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    if(L_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "qm_add_library(${name}): unknown arguments ${L_UNPARSED_ARGUMENTS}")
    endif()
    add_library(${name} ${kind} ${L_SOURCES})
    if(L_INCLUDE)
        target_include_directories(${name} PUBLIC
            $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/${L_INCLUDE}>
            $<INSTALL_INTERFACE:include>)
    endif()
    target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
    if(L_HIDDEN)
        set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                                 VISIBILITY_INLINES_HIDDEN ON)
    endif()
    qm_strict_warnings(${name})
endfunction()

# qm_add_module(name FILE file SOURCES src... [LIBS lib...])
# A module the host side opens with dlopen: FILE in bin/, on the host library, exporting what
# its sources mark with default visibility and nothing else, with no symbol left unresolved
# (a missing function fails the link, not the load).
function(qm_add_module name)
    cmake_parse_arguments(A "" "FILE" "SOURCES;LIBS" ${ARGN})
    add_library(${name} MODULE ${A_SOURCES})
    set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX "" OUTPUT_NAME ${A_FILE}
                          CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    target_link_libraries(${name} PRIVATE qm_host ${A_LIBS})
    # A module that calls nothing of the C library directly still names it: a shared object
    # without it is taken for one built wrongly (lintian refuses it in a package). A Windows
    # DLL names its run-time DLLs anyway, and exports only what is marked QM_EXPORT.
    if(NOT WIN32)
        target_link_options(${name} PRIVATE "LINKER:--push-state,--no-as-needed,-lc,--pop-state")
    endif()
    # clang links the sanitizer runtimes into executables only, so a sanitized module leaves their
    # symbols for the host to provide; GCC links them into the module, which keeps the check.
    if(NOT (QM_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
        target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    qm_strict_warnings(${name})
endfunction()

# qm_add_arx(name SOURCES src... [LIBS lib...])
# An ARX application: NAME.arx in bin/, exporting its entry points and nothing else.
function(qm_add_arx name)
    qm_add_module(${name} FILE ${name}.arx ${ARGN})
endfunction()

# qm_header_root(target folder header...)
# Gives target a public include root that holds just the named headers (paths relative to the
# calling folder), included as "<folder>/<header name>": a library whose public headers lie
# beside private ones shows only the public ones.
function(qm_header_root target folder)
    set(root ${CMAKE_BINARY_DIR}/include-roots/${target})
    file(REMOVE_RECURSE ${root})
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS ARGN)
        get_filename_component(file ${header} NAME)
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${root}/${folder}/${file} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
endfunction()

# qm_add_loader_layer(name SOURCES src... [HEADERS h...] [LAYERS lower-layer...]
#                     [PUBLIC lib...] [PRIVATE lib...])
# One layer of the module loader: a static library built from the calling folder (a folder
# below loader/). Its headers are included as "<folder>/<header>" (for example
# "runtime/module_record.h"), and a layer's include root holds only its own headers: a layer
# sees the headers of itself and of the layers it names in LAYERS (and what they name), so
# including a header of a layer above it, or of one it does not depend on, fails to compile.
# LAYERS may name only layers declared before this one, which makes a cycle a configure
# error. HEADERS defaults to every header of the folder; a folder that holds two layers lists
# each layer's headers.
function(qm_add_loader_layer name)
    cmake_parse_arguments(L "" "" "SOURCES;HEADERS;LAYERS;PUBLIC;PRIVATE" ${ARGN})
    if(L_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "qm_add_loader_layer(${name}): unknown arguments ${L_UNPARSED_ARGUMENTS}")
    endif()
    get_property(declared GLOBAL PROPERTY QM_LOADER_LAYERS)
    foreach(layer IN LISTS L_LAYERS)
        if(NOT layer IN_LIST declared)
            message(FATAL_ERROR "Loader layer ${name} depends on ${layer}, which is not a layer "
                    "declared before it (declared so far: ${declared}). Layers depend only "
                    "downwards; a dependency on a later layer would be upward or a cycle.")
        endif()
    endforeach()
    set_property(GLOBAL APPEND PROPERTY QM_LOADER_LAYERS ${name})

    file(RELATIVE_PATH folder ${QM_LOADER_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    if(NOT L_HEADERS)
        file(GLOB L_HEADERS CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
             ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    endif()
    qm_add_library(${name} STATIC HIDDEN SOURCES ${L_SOURCES} ${L_HEADERS}
                   PUBLIC ${L_LAYERS} ${L_PUBLIC} PRIVATE ${L_PRIVATE})
    qm_header_root(${name} ${folder} ${L_HEADERS})
    list(TRANSFORM L_HEADERS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    set_property(GLOBAL APPEND PROPERTY QM_LOADER_LAYER_FOLDERS ${CMAKE_CURRENT_SOURCE_DIR})
    set_property(GLOBAL APPEND PROPERTY QM_LOADER_LAYER_HEADERS ${L_HEADERS})
endfunction()

# Checks, once every layer is declared, that no layer links a layer declared after it, also
# when the link was added later with a plain target_link_libraries(), and that every header
# in a layer's folder belongs to a layer (a folder that lists its headers per layer would
# otherwise hide a new one from everybody).
function(qm_check_loader_layers)
    get_property(folders GLOBAL PROPERTY QM_LOADER_LAYER_FOLDERS)
    get_property(claimed GLOBAL PROPERTY QM_LOADER_LAYER_HEADERS)
    list(REMOVE_DUPLICATES folders)
    foreach(folder IN LISTS folders)
        file(GLOB headers CONFIGURE_DEPENDS ${folder}/*.h)
        foreach(header IN LISTS headers)
            if(NOT header IN_LIST claimed)
                message(FATAL_ERROR "${header} belongs to no loader layer: add it to the "
                        "HEADERS of one in ${folder}/CMakeLists.txt")
            endif()
        endforeach()
    endforeach()

    get_property(layers GLOBAL PROPERTY QM_LOADER_LAYERS)
    set(below)
    foreach(layer IN LISTS layers)
        get_target_property(links ${layer} LINK_LIBRARIES)
        foreach(link IN LISTS links)
            if(link IN_LIST layers AND NOT link IN_LIST below)
                message(FATAL_ERROR "Loader layer ${layer} links ${link}, which is not below it. "
                        "Layers, lowest first: ${layers}")
            endif()
        endforeach()
        list(APPEND below ${layer})
    endforeach()
endfunction()
