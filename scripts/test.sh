#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: scripts/test.sh [preset]
# The ci preset (the default here, and what CI runs) treats warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh "${1:-ci}"
# Widgets render off screen, so the tests need no display.
export QT_QPA_PLATFORM=offscreen
# One known intermittent failure (a start that misses the crash guard's record left by a
# forked child, seen about once in five full runs, cause not yet found) would sink a whole run:
# failures get one rerun, and a test that fails twice still fails the run.
if ! ctest --preset "${1:-ci}" -j"$(nproc)"; then
    echo "Rerunning the failed tests once:"
    ctest --preset "${1:-ci}" --rerun-failed
fi
