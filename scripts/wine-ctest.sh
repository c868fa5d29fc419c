#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: ctest --preset mingw, with any further arguments
# (scripts/wine-ctest.sh -R system_text -j2), in one Wine session (scripts/wine-session.sh) on
# the private prefix build-mingw/wineprefix that the mingw test preset names too.
# Under Wine a test program now and then ends at once, with no output at all, before any test
# code ran (about one process in a few hundred at -j2, seen with test programs and qmreg
# alike): Wine's, not the test's. So the tests that failed are run once more, by name, and
# the run passes only if they all pass then; each one run again is listed, so that a test
# that fails now and then in its own right still shows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-mingw
[ -d "$build" ] || { echo "no $build: cmake --preset mingw && cmake --build --preset mingw" >&2; exit 2; }
source "$root/scripts/wine-session.sh"
wine_session_start "$build/wineprefix"
trap wine_session_stop EXIT
cd "$root"
if ctest --preset mingw "$@"; then
    exit 0
fi
failed=$build/Testing/Temporary/LastTestsFailed.log
[ -s "$failed" ] || exit 1
echo "Run again under Wine, once: $(cut -d: -f2 "$failed" | paste -sd' ')"
ctest --preset mingw --rerun-failed
