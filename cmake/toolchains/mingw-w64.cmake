# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the POSIX-thread g++, which
# std::thread and std::mutex need) and runs what it builds under Wine: CTest and
# gtest_discover_tests start every test program through CMAKE_CROSSCOMPILING_EMULATOR.
#
# The libraries Debian has no mingw build of (libxml2, GoogleTest) come from the folder that
# scripts/win-deps.sh fills: QM_WIN_DEPS (cache or environment variable), else
# $XDG_CACHE_HOME/quillmont/win-deps, else ~/.cache/quillmont/win-deps.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QM_MINGW_TRIPLE x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER ${QM_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${QM_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${QM_MINGW_TRIPLE}-windres)

if(NOT QM_WIN_DEPS)
    if(DEFINED ENV{QM_WIN_DEPS})
        set(QM_WIN_DEPS "$ENV{QM_WIN_DEPS}")
    elseif(DEFINED ENV{XDG_CACHE_HOME} AND IS_ABSOLUTE "$ENV{XDG_CACHE_HOME}")
        set(QM_WIN_DEPS "$ENV{XDG_CACHE_HOME}/quillmont/win-deps")
    else()
        set(QM_WIN_DEPS "$ENV{HOME}/.cache/quillmont/win-deps")
    endif()
endif()
set(QM_WIN_DEPS "${QM_WIN_DEPS}" CACHE PATH "Prefix of the mingw builds of libxml2 and GoogleTest")
# Try-compiles see the same toolchain and prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QM_WIN_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${QM_MINGW_TRIPLE} "${QM_WIN_DEPS}/mingw")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(QM_WINE NAMES wine64 wine)
if(QM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QM_WINE})
endif()
