#!/bin/sh
# Fails when a source under the loader folder includes an operating-system header
# (<unistd.h>, <fcntl.h>, <dlfcn.h>, <sys/...>): the loader reaches the system only through
# the platform layer's headers (<qmsys/...>), which is what keeps it buildable on Windows.
#   check_system_headers.sh LOADER_FOLDER
set -eu
found=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](unistd\.h|fcntl\.h|dlfcn\.h|sys/[^>"]*)[>"]' \
    --include='*.cpp' --include='*.h' "$1" || true)
if [ -n "$found" ]; then
    echo "loader sources that include a system header (use <qmsys/...> instead):"
    echo "$found"
    exit 1
fi
echo "no loader source includes a system header"
