#!/bin/sh
# Holds docs/ARCHITECTURE.md to the code:
#   check_architecture.sh state SOURCE_DIR
#     every static or thread_local variable, and every global with state, in loader/ and
#     platform/ has a row in the table "Caches and process-wide state", naming it and its file;
#   check_architecture.sh os SOURCE_DIR
#     the loader reaches the operating system only through qmsys: getenv, clocks, stdio,
#     std::filesystem, fstream and std::thread appear in loader/ only in the files the table
#     "Where the code meets the system directly" names with that kind; getenv and
#     std::filesystem appear in platform/ outside platform/system only where that table names
#     them; and no source in loader/ or in platform/ outside platform/system includes a system
#     header unless that table names it with the kind "system header" (the native Windows
#     views, the Windows registry).
# Comment lines are not looked at. Prints each finding the tables lack, and fails on any.
set -eu
mode=$1
root=$2
doc=$root/docs/ARCHITECTURE.md

# The rows of the table below the heading $1 (up to the next heading).
table() {
    awk -v heading="$1" '
        /^#/ { inside = (index($0, heading) > 0); next }
        inside && /^\|/ { print }
    ' "$doc"
}

sources() {
    find "$@" -name '*.cpp' -o -name '*.h' | sort
}

# Lines of file that are not comments, numbered: "N:text".
code() {
    grep -nv '^[[:space:]]*//' "$1" || true
}

missing=0
report() {
    echo "$1"
    missing=1
}

case $mode in
state)
    rows=$(table "Caches and process-wide state")
    for file in $(cd "$root" && sources loader platform); do
        # static or thread_local variables (constants are no state), and variables defined at
        # namespace scope, which the project's format starts in the first column.
        code "$root/$file" | grep -E \
            -e '^[0-9]+:[[:space:]]*(inline[[:space:]]+)?(static|thread_local)[[:space:]]+[^(]*[[:space:]*&]([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*(=|;|\{)' \
            -e '^[0-9]+:[A-Za-z_][A-Za-z0-9_:<>,*]*[[:space:]*&]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*(=[^=]|;|\{[^}]*\};|\((&|[0-9"]|nullptr))' |
            grep -vE '^[0-9]+:[[:space:]]*(inline[[:space:]]+)?(static[[:space:]]+)?(constexpr|const[[:space:]])' |
            grep -vE '^[0-9]+:(return|using|namespace|class|struct|enum|typedef|template|extern|friend|union|case|default|public|private|protected|else|delete|goto|throw|PRAGMA)\b' |
            grep -vE '^[0-9]+:[[:space:]]*static_assert' |
            while IFS= read -r line; do
                name=$(printf '%s\n' "${line#*:}" |
                    sed -E 's/[[:space:]]*(=[^=].*|;.*|\{.*|\(.*)$//; s/.*[[:space:]*&]([A-Za-z_][A-Za-z0-9_]*)$/\1/')
                if ! printf '%s\n' "$rows" | grep -F "\`$file\`" | grep -qF "\`$name\`"; then
                    echo "$file:${line%%:*}: \`$name\` is not in the table \"Caches and process-wide state\" of docs/ARCHITECTURE.md"
                fi
            done
    done >"${TMPDIR:-/tmp}/check_architecture.$$"
    if [ -s "${TMPDIR:-/tmp}/check_architecture.$$" ]; then
        cat "${TMPDIR:-/tmp}/check_architecture.$$"
        rm -f "${TMPDIR:-/tmp}/check_architecture.$$"
        exit 1
    fi
    rm -f "${TMPDIR:-/tmp}/check_architecture.$$"
    echo "every stateful static, thread_local and global is in the table"
    ;;
os)
    rows=$(table "Where the code meets the system directly")
    allowed() {  # file kind
        printf '%s\n' "$rows" | grep -F "\`$1\`" | grep -qiF "$2"
    }
    check() {  # kind pattern, on $file and its code lines $text
        if printf '%s\n' "$text" | grep -qE "$2" && ! allowed "$file" "$1"; then
            report "$file: $1 ($(printf '%s\n' "$text" | grep -E "$2" | head -1 | cut -c1-100))"
        fi
    }
    system_header='^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*<(unistd\.h|fcntl\.h|dlfcn\.h|sys/[^>]*|windows\.h|io\.h|malloc\.h|pthread\.h|dirent\.h|signal\.h|poll\.h|direct\.h|shlobj\.h|shlwapi\.h|winreg\.h)>'
    for file in $(cd "$root" && sources loader); do
        text=$(code "$root/$file")
        check getenv '\bgetenv\b'
        check clock 'std::chrono::[a-z_]*clock\b|\bclock_gettime\b|\bstd::time\(|<ctime>'
        check stdio '\b(fopen|fclose|fprintf|printf|puts|fputs|fwrite|fread|fflush|perror|fgets)\(|\bFILE\b|std::(cout|cerr|clog)\b|<iostream>'
        check filesystem 'std::filesystem|<filesystem>'
        check fstream 'fstream'
        check thread 'std::thread\b|std::jthread\b|std::async\b|<thread>'
        if printf '%s\n' "$text" | grep -qE "$system_header" && ! allowed "$file" "system header"; then
            report "$file: system header ($(printf '%s\n' "$text" | grep -E "$system_header" | head -1))"
        fi
    done
    for file in $(cd "$root" && sources platform | grep -v '^platform/system/'); do
        text=$(code "$root/$file")
        check getenv '\bgetenv\b'
        check filesystem 'std::filesystem|<filesystem>'
        if printf '%s\n' "$text" | grep -qE "$system_header" && ! allowed "$file" "system header"; then
            report "$file: system header ($(printf '%s\n' "$text" | grep -E "$system_header" | head -1))"
        fi
    done
    if [ "$missing" -ne 0 ]; then
        echo "(each needs qmsys, or a row in \"Where the code meets the system directly\" of docs/ARCHITECTURE.md)"
        exit 1
    fi
    echo "the loader meets the system only through qmsys and the places the table names"
    ;;
*)
    echo "usage: check_architecture.sh state|os SOURCE_DIR" >&2
    exit 2
    ;;
esac
