#!/bin/sh
# Usage: check_run_paths.sh FOLDER...
# Fails when a program or library below the folders has a run path (RUNPATH or RPATH) entry
# that is empty or relative: the dynamic linker resolves those against the current folder, so
# a library planted where the program is started from would be loaded into it. Entries must be
# absolute or begin with $ORIGIN. Also fails when it finds no ELF file with a run path at all,
# so that a wrong folder cannot pass.
set -eu
# File names and run paths are split at line ends only, and never globbed: a build folder may
# have spaces in its name.
set -f
IFS='
'
checked=0
bad=0
for folder in "$@"; do
    for file in $(find "$folder" -type f ! -path '*/CMakeFiles/*'); do
        [ "$(od -An -c -N4 "$file" 2>/dev/null | tr -d ' ')" = '177ELF' ] || continue
        for path in $(readelf -d "$file" | sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]$/[\1]/p'); do
            checked=$((checked + 1))
            wrong=$(echo "$path" | sed 's/^\[//; s/\]$//' | awk -F: '
                NF == 0 { print "(empty)"; next }
                { for (i = 1; i <= NF; i++)
                      if ($i == "" || ($i !~ /^\// && $i !~ /^\$ORIGIN(\/|$)/ && $i !~ /^\$\{ORIGIN\}(\/|$)/))
                          print ($i == "" ? "(empty)" : $i) }')
            if [ -n "$wrong" ]; then
                echo "$file: run path $path has entries that name the current folder:" $wrong
                bad=$((bad + 1))
            fi
        done
    done
done
if [ "$checked" -eq 0 ]; then
    echo "no ELF file with a run path below $*"
    exit 1
fi
echo "$checked run paths checked, $bad with empty or relative entries"
[ "$bad" -eq 0 ]
