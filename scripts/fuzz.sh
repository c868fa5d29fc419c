#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset: clang, ASan + UBSan) and runs each for the given
# number of seconds (default 60) on a copy of its seed corpus in fuzz/corpus/<name>.
#   scripts/fuzz.sh [seconds]
# A crash, leak, sanitizer report or time-out stops the run with its reproducer (crash-*,
# leak-*, timeout-*) in build-fuzz/artifacts/; the script then fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/deps.sh clang libclang-rt-14-dev
scripts/build.sh fuzz
artifacts=build-fuzz/artifacts
mkdir -p "$artifacts"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
total=0
for name in definition_reader snapshot menu_file reg_file command_line wildcard path; do
    # New inputs go to a scratch copy; the corpus in the repository stays small.
    work=build-fuzz/corpus/$name
    rm -rf "$work"
    mkdir -p "$work"
    cp fuzz/corpus/"$name"/* "$work"/
    log=build-fuzz/${name}.log
    if ! build-fuzz/bin/${name}_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/${name}-" \
            "$work" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz: $name failed; reproducer in $artifacts/" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    total=$((total + ${runs:-0}))
    echo "fuzz: $name: ${runs:-0} executions clean"
done
echo "fuzz: $total executions clean in total"
