#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: ctest --preset mingw, with any further arguments
# (scripts/wine-ctest.sh -R system_text -j2).
# Wine starts its server on demand, and a server started by one test program and stopped when
# the last one ends races the next start (a run now and then fails with "wine client error:0:
# recvmsg: Connection reset by peer"). So one persistent server is started first, a first
# program brings the prefix up, and the server is stopped at the end. The prefix is private,
# build-mingw/wineprefix (the mingw test preset names it too), never the user's ~/.wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-mingw
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
[ -d "$build" ] || { echo "no $build: cmake --preset mingw && cmake --build --preset mingw" >&2; exit 2; }
mkdir -p "$WINEPREFIX"
wine=$(command -v wine64 || command -v wine)
# A server left running for the prefix (by a run that was killed) serves this run too.
wineserver -p || true
trap 'wineserver -k || true' EXIT
"$wine" cmd /c exit </dev/null >/dev/null 2>&1
cd "$root"
ctest --preset mingw "$@"
