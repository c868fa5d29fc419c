#!/bin/sh
# check_includes.sh CXX VISIBLE HIDDEN INCLUDE-FLAGS...
# With one layer's include path: a header the layer may use (VISIBLE) must compile, and a
# header of a layer above it or beside it (HIDDEN) must not be found at all.
set -u
cxx=$1 visible=$2 hidden=$3
shift 3
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
compile() {
    header=$1
    shift
    printf '#include "%s"\n' "$header" |
        "$cxx" -std=c++20 -fPIC -fsyntax-only "$@" -x c++ - 2>"$errors"
}
if ! compile "$visible" "$@"; then
    echo "FAIL: $visible does not compile with this layer's include path:"
    cat "$errors"
    exit 1
fi
if compile "$hidden" "$@"; then
    echo "FAIL: $hidden compiles with this layer's include path: it must not be visible here"
    exit 1
fi
if ! grep -q "$hidden: No such file or directory" "$errors"; then
    echo "FAIL: $hidden failed for another reason than not being found:"
    cat "$errors"
    exit 1
fi
echo "ok: $visible visible, $hidden not"
