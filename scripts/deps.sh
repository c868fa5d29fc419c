#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, when any is missing;
# packages given as arguments are needed too (scripts/deps.sh clang). Widget tests render off
# screen, so no X server is needed; libxml2-utils gives the benchmarks their xmllint; the
# widget tests measure dialogs in fonts-dejavu-core's font (tests/loader/ui/data/fonts.conf).
#   scripts/deps.sh [--only] [--no-recommends] [package...]
# --only installs just the packages given (scripts/win-deps.sh names the Windows build's own);
# --no-recommends leaves out what they only recommend.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libsqlite3-dev libxml2-dev
          libxml2-utils qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core)
apt_options=()
while (($#)); do
    case $1 in
        --only) packages=() ;;
        --no-recommends) apt_options+=(--no-install-recommends) ;;
        *) break ;;
    esac
    shift
done
packages+=("$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${apt_options[@]}" "${missing[@]}"
fi
