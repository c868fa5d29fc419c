#!/usr/bin/env bash
# The tests run by a hostile caller: scripts/test-isolation.sh [preset] (after a build; CI runs
# it after scripts/test.sh). A test that passes under CTest, one per process in a tidy
# environment, must pass as well when
#   - the caller's environment sets the product's own variables (QM_NO_SNAPSHOT=1,
#     QM_REGISTRY_BUSY_MS=1, QM_LOG), which the tests must not inherit;
#   - TMPDIR lies in a folder that only its owner may enter (0700), whose name holds a space
#     and sorts before any other absolute path;
#   - each test program runs whole, its tests in a shuffled order, so that no test relies on
#     another running first, or on running alone in its process.
# First of all, every test CTest knows has a time-out. ISOLATION_SEED=n repeats an order.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-ci}
build=$root/build-$preset
[ -d "$build" ] || { echo "no $build: scripts/build.sh $preset first" >&2; exit 2; }
cd "$root"
start=$SECONDS

# Every test has a TIMEOUT, however it was registered.
ctest --preset "$preset" --show-only=json-v1 >"$build/isolation-tests.json"
python3 - "$build/isolation-tests.json" "$build/isolation-programs.txt" <<'EOF'
import json, sys
tests = json.load(open(sys.argv[1]))["tests"]
untimed, programs = [], {}
for test in tests:
    props = {p["name"]: p["value"] for p in test.get("properties", [])}
    if not props.get("TIMEOUT"):
        untimed.append(test["name"])
    command = test.get("command") or []
    # A GoogleTest program (its tests are listed with a filter), with the environment its
    # registration gives it: the program runs whole once per distinct environment.
    filters = [arg for arg in command[1:] if arg.startswith("--gtest_filter=")]
    if filters:
        env = props.get("ENVIRONMENT") or []
        programs.setdefault("\t".join([command[0]] + sorted(env)), []).append(filters[0])
# A program registered once under an environment of its own is a run of chosen cases in that
# setting (a small screen, say), not the whole program: it keeps its filter.
lines = sorted(key + ("\t" + f[0] if len(f) == 1 else "") for key, f in programs.items())
if untimed:
    print(f"{len(untimed)} tests have no time-out:", *untimed[:20], sep="\n  ")
    sys.exit(1)
print(f"{len(tests)} tests, each with a time-out; {len(programs)} test programs")
open(sys.argv[2], "w").write("".join(line + "\n" for line in lines))
EOF

# The hostile caller. The folder is made at the root so that its name sorts first; it is the
# caller's alone, as a user's private temporary folder is.
hostile=$(mktemp -d "/ qm isolation.XXXXXX" 2>/dev/null) ||
    hostile=$(mktemp -d "${TMPDIR:-/tmp}/ qm isolation.XXXXXX")  # not root: first there only
trap 'rm -rf "$hostile"' EXIT
chmod 0700 "$hostile"
mkdir "$hostile/tmp"
export TMPDIR="$hostile/tmp" QM_NO_SNAPSHOT=1 QM_REGISTRY_BUSY_MS=1 QM_LOG="$hostile/caller.log"
export QT_QPA_PLATFORM=offscreen
seed=${ISOLATION_SEED:-$((RANDOM % 10000 + 1))}
echo "Each test program whole, shuffled with seed $seed (ISOLATION_SEED=$seed repeats it)"

# One program at a time per core; each with the time-out of its tests together, at most.
run_program() {
    local line=$1 program env=() log
    IFS=$'\t' read -r -a parts <<<"$line"
    program=${parts[0]}
    env=("${parts[@]:1}")
    local filter=()
    if ((${#env[@]})) && [[ ${env[-1]} == --gtest_filter=* ]]; then
        filter=("${env[-1]}")
        unset 'env[-1]'
    fi
    log="$hostile/$(basename "$program")$(printf '%s' "${env[*]:-}" | tr -c 'A-Za-z0-9' '_').log"
    if env "${env[@]}" timeout -k 10 900 "$program" "${filter[@]}" --gtest_shuffle --gtest_random_seed="$seed" \
        --gtest_brief=1 >"$log" 2>&1; then
        echo "ok    $(basename "$program") ${env[*]:-}"
    else
        echo "FAIL  $(basename "$program") ${env[*]:-}"
        tail -n 60 "$log"
        return 1
    fi
}
export -f run_program
export hostile seed
status=0
tr '\n' '\0' <"$build/isolation-programs.txt" |
    xargs -0 -P "$(nproc)" -I{} bash -c 'run_program "$1"' _ {} || status=1
echo "The isolation run took $((SECONDS - start)) s"
exit $status
