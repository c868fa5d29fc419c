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
# The dialogs' tests show windows, which Wine draws on an X display: without one, the run gets
# a private virtual display (Xvfb), which Xvfb numbers itself (-displayfd), so that runs side by
# side never share one.
xvfb=
stop_xvfb() { [[ -z $xvfb ]] || { kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; }; }
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$displayfile" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -1 "$displayfile")
    rm -f "$displayfile"
fi
wine_session_start "$build/wineprefix"
trap 'wine_session_stop; stop_xvfb' EXIT
# The first program that shows a window starts Wine's desktop process, which inherits that
# program's output and lives on: CTest would wait for the pipe to close, and that test would
# take as long as the rest of the run. A first window from here starts it with no output.
if [ -n "${DISPLAY:-}" ]; then
    "$wine" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
fi
cd "$root"
if ctest --preset mingw "$@"; then
    exit 0
fi
failed=$build/Testing/Temporary/LastTestsFailed.log
[ -s "$failed" ] || exit 1
echo "Run again under Wine, once: $(cut -d: -f2 "$failed" | paste -sd' ')"
ctest --preset mingw --rerun-failed
