#!/usr/bin/env bash
# Reliability soak; not part of CI. Runs as a private user under a temporary folder and prints
# one figure per part; exits 1 when any round failed.
#   1. kill -9 of a process saving every module's settings as the dialog's Apply does;
#      after each: the store's integrity check, and every module holds one round's settings
#   2. kill -9 of `qmreg import`; after each: integrity check, and the imported keys hold
#      either the old or the new generation, never a mix
#   3. two hosts started at the same moment: exactly one of them has the module loader
#   4. 8 processes contending for the menu protector: a shared counter shows exclusion, and
#      waits for a protector held elsewhere time out at 5 s +- 10 %
# Usage: scripts/soak.sh [BUILD_DIR]   (default: build; ROUNDS=100 overrides the round count)
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh sqlite3  # the integrity checks use its command-line shell
bin=$(cd "${1:-build}/bin" && pwd)
rounds=${ROUNDS:-100}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/runtime APPDATA=$work/appdata
export QM_REGISTRY_DIR=$work/registry
unset QM_LOG QM_SAFE_MODE QM_APP_PATH
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$APPDATA" "$QM_REGISTRY_DIR"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
failed=0

ms() { date +%s%3N; }
# Sleeps a random part of $1 milliseconds.
random_pause() { sleep "$(awk -v max="$1" -v r="$RANDOM" 'BEGIN { printf "%.3f", r / 32768 * max / 1000 }')"; }
# Waits (at most $3 s) until file $1 contains text $2.
wait_for() {
    local deadline=$(($(ms) + $3 * 1000))
    until grep -q -- "$2" "$1" 2>/dev/null; do
        (($(ms) < deadline)) || return 1
        sleep 0.01
    done
}
integrity() { sqlite3 "$QM_REGISTRY_DIR/hkcu.db" "PRAGMA integrity_check" 2>&1; }
fail() { echo "  FAIL: $*"; failed=1; }

echo "1. kill -9 while saving the settings of 200 modules ($rounds rounds)"
bad=0; mixed=0
for ((i = 1; i <= rounds; i++)); do
    "$bin/soak_helper" apply-writes 200 >"$work/apply.out" &
    pid=$!
    wait_for "$work/apply.out" "round 0" 20 || fail "no first round"
    random_pause 60
    kill -9 $pid; wait $pid 2>/dev/null
    [ "$(integrity)" = ok ] || { bad=$((bad + 1)); fail "integrity after kill $i: $(integrity)"; }
    out=$("$bin/soak_helper" check-settings 200) || { mixed=$((mixed + 1)); fail "kill $i: $out"; }
done
echo "   $rounds kills: $bad integrity failures, $mixed half-written"

echo "2. kill -9 of qmreg import of 2,000 keys ($rounds rounds)"
write_reg() {
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        for ((k = 0; k < 2000; k++)); do
            printf '[HKEY_CURRENT_USER\\SOFTWARE\\Soak\\Import\\K%04d]\r\n"Generation"=dword:%08x\r\n\r\n' $k "$1"
        done
    } >"$work/import.reg"
}
write_reg 0
"$bin/qmreg" import "$work/import.reg" >/dev/null || fail "first import"
# The time an import that changes every value takes, start of the process included: the kills
# are spread over it.
write_reg 1
start=$(ms); "$bin/qmreg" import "$work/import.reg" >/dev/null || fail "second import"
span=$(($(ms) - start))
current=1; bad=0; mixed=0; landed=0
for ((i = 2; i <= rounds + 1; i++)); do
    write_reg $i
    "$bin/qmreg" import "$work/import.reg" >/dev/null 2>&1 &
    pid=$!
    random_pause $span
    kill -9 $pid 2>/dev/null; wait $pid 2>/dev/null
    [ "$(integrity)" = ok ] || { bad=$((bad + 1)); fail "integrity after kill $i: $(integrity)"; }
    if out=$("$bin/soak_helper" check-import 'SOFTWARE\Soak\Import' 2000 $current $i); then
        [ "${out#generation }" = "$i" ] && landed=$((landed + 1))
        current=${out#generation }
    else
        mixed=$((mixed + 1)); fail "kill $i: $out"
    fi
done
echo "   $rounds kills spread over an import's $span ms ($landed imports had committed before the kill):"
echo "   $bad integrity failures, $mixed half-written"

echo "3. two hosts started at the same moment ($rounds rounds)"
wrong=0
for ((i = 1; i <= rounds; i++)); do
    rm -f "$work/release" "$work"/host_*.out
    for h in a b; do
        { echo ARX; echo SOAK_MARK; until [ -e "$work/release" ]; do sleep 0.02; done; } |
            "$bin/cadhost" --console >"$work/host_$h.out" 2>&1 &
    done
    for h in a b; do
        wait_for "$work/host_$h.out" 'SOAK_MARK' 30 || fail "host $h of round $i did not answer"
    done
    loaders=$(grep -lx 'QmModuleLoader.arx' "$work"/host_*.out | wc -l)
    touch "$work/release"; wait
    [ "$loaders" -eq 1 ] || { wrong=$((wrong + 1)); fail "round $i: $loaders module loaders"; }
done
echo "   $rounds rounds: $wrong with other than exactly one module loader"

echo "4. 8 processes contending for the menu protector"
echo 0 >"$work/counter"
for p in 1 2 3 4 5 6 7 8; do "$bin/soak_helper" protector 500 "$work/counter" >"$work/prot_$p.out" & done
wait
count=$(cat "$work/counter"); timeouts=$(awk '{ s += $2 } END { print s }' "$work"/prot_*.out)
[ "$count" -eq 4000 ] && [ "$timeouts" -eq 0 ] || fail "counter $count of 4000, $timeouts time-outs"
echo "   counter $count of 4000 increments, $timeouts time-outs"
mkfifo "$work/holder.in"
"$bin/qm_lock_holder" mutex MenuLoaderProtector 0 <"$work/holder.in" >"$work/holder.out" &
exec 3>"$work/holder.in"
wait_for "$work/holder.out" held 20 || fail "the holder did not get the protector"
for round in 1 2 3; do
    waiters=()
    for p in 1 2 3 4 5 6 7 8; do
        "$bin/soak_helper" protector-wait >"$work/wait_${round}_$p.out" &
        waiters+=($!)
    done
    wait "${waiters[@]}"
done
exec 3>&-
wait
waits=$(cat "$work"/wait_*.out)
echo "$waits" | awk '$1 != "timeout" || $2 < 4500 || $2 > 5500 { bad++ }
    { n++; if (min == "" || $2 < min) min = $2; if ($2 > max) max = $2 }
    END { printf "   %d waits for a held protector: %d outside 4500..5500 ms (min %d ms, max %d ms)\n", n, bad, min, max; exit bad > 0 }' ||
    fail "a wait outside 5 s +- 10 %"

((failed == 0)) && echo "soak: no failures" || echo "soak: FAILURES (see above)"
exit $failed
