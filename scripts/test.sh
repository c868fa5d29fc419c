#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: scripts/test.sh [preset]
# The ci preset (the default here, and what CI runs) treats warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh "${1:-ci}"
# Widgets render off screen, so the tests need no display.
export QT_QPA_PLATFORM=offscreen
ctest --preset "${1:-ci}" -j"$(nproc)"
