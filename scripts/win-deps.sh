#!/usr/bin/env bash
# Everything the Windows build (cmake --preset mingw) needs beyond the Linux one:
#   - Debian's mingw-w64 cross compiler (POSIX threads), Wine, which runs the tests, Xvfb, the
#     virtual display the Wine session gives the windows that the tests drive, and NSIS, which
#     makes the installer;
#   - libxml2 and GoogleTest built for mingw, which Debian does not package: libxml2 from its
#     Debian source package with Debian's patches (static, no iconv, ICU, zlib, lzma or
#     network code), GoogleTest from the sources Debian's googletest package installs.
# The two libraries go to $QM_WIN_DEPS/mingw (default $XDG_CACHE_HOME/quillmont/win-deps, else
# ~/.cache/quillmont/win-deps), where cmake/toolchains/mingw-w64.cmake looks. Each is built
# once: a stamp records what was built, and a second run only checks the packages and stamps.
# Delete the folder to build them again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "${QM_WIN_DEPS:-}" ]; then
    deps=$QM_WIN_DEPS
elif [[ "${XDG_CACHE_HOME:-}" == /* ]]; then
    deps=$XDG_CACHE_HOME/quillmont/win-deps
else
    deps=$HOME/.cache/quillmont/win-deps
fi
prefix=$deps/mingw
toolchain=$root/cmake/toolchains/mingw-w64.cmake
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The toolchain and Wine without what they only recommend (fonts, Mesa, Wine's 32-bit half);
# xvfb is the Wine session's display, on which the tests show their windows
# (scripts/wine-session.sh); nsis makes the installer.
"$root/scripts/deps.sh" --only --no-recommends g++-mingw-w64-x86-64-posix wine wine64 \
    googletest dpkg-dev cmake ninja-build xvfb nsis

# Configures, builds and installs one CMake project for mingw into $prefix.
build_for_mingw() {
    local source=$1 build=$2
    shift 2
    cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQM_WIN_DEPS="$deps" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=OFF "$@" >"$build.log" 2>&1 ||
        { tail -30 "$build.log"; return 1; }
    nice cmake --build "$build" >>"$build.log" 2>&1 || { tail -30 "$build.log"; return 1; }
    cmake --install "$build" >>"$build.log" 2>&1 || { tail -30 "$build.log"; return 1; }
}

mkdir -p "$deps"

# GoogleTest, at the version of the installed sources.
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
if [ "$(cat "$deps/googletest.stamp" 2>/dev/null)" != "$gtest_version" ]; then
    echo "Building GoogleTest $gtest_version for mingw"
    rm -rf "$deps/googletest-build"
    build_for_mingw /usr/src/googletest "$deps/googletest-build" -DBUILD_GMOCK=ON \
        -Dgtest_force_shared_crt=ON
    echo "$gtest_version" >"$deps/googletest.stamp"
    rm -rf "$deps/googletest-build"
fi

# libxml2 from Debian's source package (apt-get source applies Debian's patches).
if [ ! -s "$deps/libxml2.stamp" ]; then
    if ! grep -rqs '^[^#]*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        echo "Adding deb-src lines for bookworm"
        # The binary sources of the same addresses may name their key; apt refuses a source
        # line for an address that names another (or none).
        keyring=/usr/share/keyrings/debian-archive-keyring.gpg
        options=""
        if grep -rqsi "^signed-by: *$keyring" /etc/apt/sources.list.d/ ||
            grep -qs "signed-by=$keyring" /etc/apt/sources.list; then
            options="[signed-by=$keyring] "
        fi
        printf '%s\n' "deb-src ${options}http://deb.debian.org/debian bookworm main" \
            "deb-src ${options}http://deb.debian.org/debian-security bookworm-security main" |
            $sudo tee /etc/apt/sources.list.d/quillmont-deb-src.list >/dev/null
        $sudo apt-get update
    fi
    rm -rf "$deps/libxml2-src" "$deps/libxml2-build"
    mkdir -p "$deps/libxml2-src"
    (cd "$deps/libxml2-src" && apt-get source --only-source libxml2 >"$deps/libxml2-source.log" 2>&1) ||
        { tail -20 "$deps/libxml2-source.log"; exit 1; }
    source_dir=$(find "$deps/libxml2-src" -mindepth 1 -maxdepth 1 -type d -name 'libxml2-*' | head -1)
    xml_version=$(cd "$source_dir" && dpkg-parsechangelog -S Version)
    echo "Building libxml2 $xml_version for mingw"
    off=()
    for option in ICONV ICU LZMA ZLIB PYTHON HTTP FTP LEGACY PROGRAMS TESTS; do
        off+=("-DLIBXML2_WITH_$option=OFF")
    done
    build_for_mingw "$source_dir" "$deps/libxml2-build" "${off[@]}"
    echo "$xml_version" >"$deps/libxml2.stamp"
    rm -rf "$deps/libxml2-build" "$deps/libxml2-src"
fi
echo "Windows dependencies ready in $prefix (GoogleTest $(cat "$deps/googletest.stamp"), libxml2 $(cat "$deps/libxml2.stamp"))"
