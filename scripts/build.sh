#!/usr/bin/env bash
# Configures and builds one preset (default unless given), all targets or only those named:
#   scripts/build.sh [preset [target...]]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
shift || true
cmake --preset "$preset" >/dev/null
if (($#)); then
    cmake --build --preset "$preset" --target "$@"
else
    cmake --build --preset "$preset"
fi
