#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: ctest --preset mingw, with any further arguments
# (scripts/wine-ctest.sh -R system_text -j2), in one Wine session (scripts/wine-session.sh) on
# the private prefix build-mingw/wineprefix that the mingw test preset names too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-mingw
[ -d "$build" ] || { echo "no $build: cmake --preset mingw && cmake --build --preset mingw" >&2; exit 2; }
source "$root/scripts/wine-session.sh"
wine_session_start "$build/wineprefix"
trap wine_session_stop EXIT
cd "$root"
ctest --preset mingw "$@"
