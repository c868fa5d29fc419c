#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: scripts/test.sh [preset]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh "${1:-default}"
# Widgets render off screen, so the tests need no display.
export QT_QPA_PLATFORM=offscreen
ctest --preset "${1:-default}" -j"$(nproc)"
