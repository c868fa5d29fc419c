#!/usr/bin/env bash
# Renders the module loader dialog (in English and German), its grid's context menu and the
# Options dialog offscreen into PNG files, with the product information a real installation
# has, for a person to look at: scripts/screenshots.sh [preset]   (default: ci)
# They land in the preset's build folder, under screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-ci}"
scripts/build.sh "$preset" qm_screenshots gui_host_test
build=build-$preset
[ "$preset" = default ] && build=build
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bin/qm_screenshots"
# The CAD host's main window with the loader's dialog over it.
QMTEST_SCREENSHOTS=1 QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bin/gui_host_test" \
    --gtest_filter='*ModuleLoaderCommandOpensItsDialogOverTheMainWindow' >/dev/null
ls "$build"/screenshots/*.png
