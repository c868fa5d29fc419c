#!/bin/sh
# Checks that the loader's Qt-free sources, and qmsys's public headers, compile for Windows:
# each is compiled with the mingw-w64 cross compiler, syntax only (nothing is linked, and the
# platform libraries' Windows implementations are not needed for this).
#   scripts/mingw-syntax.sh [BUILD_DIR]      BUILD_DIR holds the generated headers (build-ci)
# Needs Debian's g++-mingw-w64-x86-64-posix. Prints each file that fails with its first
# errors, then a count; exits 1 when any file fails.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-ci}
cxx=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
command -v "$cxx" >/dev/null || { echo "$cxx not found (apt-get install g++-mingw-w64-x86-64-posix)"; exit 2; }
[ -f "$build/generated/qm/version.h" ] || { echo "no generated headers in $build (configure first)"; exit 2; }
xml=$(pkg-config --cflags-only-I libxml-2.0 2>/dev/null || echo -I/usr/include/libxml2)
# The libxml2 headers at hand are this system's, built with iconv and ICU, and name <iconv.h>
# and <unicode/ucnv.h>, which mingw lacks (libxml2's Windows build is configured without
# them); they need only a handle type and a character type from each.
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
mkdir "$stubs/unicode"
printf 'typedef void* iconv_t;\n' > "$stubs/iconv.h"
printf 'typedef struct UConverter UConverter;\ntypedef unsigned short UChar;\n' \
    > "$stubs/unicode/ucnv.h"
flags="-std=c++20 -fsyntax-only -Wall -Wextra -I$root/loader -I$build/generated $xml -idirafter $stubs"
for include in "$root"/platform/*/include; do
    flags="$flags -I$include"
done

total=0
failed=0
check() {
    total=$((total + 1))
    if ! out=$("$cxx" $flags "$@" 2>&1); then
        failed=$((failed + 1))
        echo "FAIL ${*##* }"
        echo "$out" | grep -m 3 'error'
    fi
}
# The Qt-free loader sources: every layer but the widgets.
for source in $(cd "$root" && find loader -name '*.cpp' -not -path 'loader/ui/widgets/*' | sort); do
    check "$root/$source"
done
# qmsys's public headers, each on its own.
for header in "$root"/platform/system/include/qmsys/*.h; do
    check -x c++ "$header"
done
echo "$((total - failed)) of $total files compile for Windows"
[ "$failed" -eq 0 ]
