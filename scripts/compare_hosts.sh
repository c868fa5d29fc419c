#!/usr/bin/env bash
# The host on the sample installation, once from the Linux build (build-ci) and once from the
# Windows build under Wine (build-mingw), with the same private user and the same commands:
# two starts, Road Design and Survey Data switched on for the first and Road Design off for
# the second (its menu, which the host remembers, is then stale and goes). The answers to ARX,
# MENUGROUPS and the loader's AutoLISP functions, and the start-up report's lines, must be the
# same on both, times and the user's folder aside. Prints the difference and exits 1 when
# they differ.
#   scripts/compare_hosts.sh        (cmake --build --preset ci and --preset mingw first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for f in "$root/build-ci/bin/cadhost" "$root/build-mingw/bin/cadhost.exe"; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "no $f: build both presets first" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
commands=$'ARX\nMENUGROUPS\n(krqm_CheckCommandlineSetting)\n(krqm_CheckInsUnitsDefSourceSetting)\nQUIT\n'
modules='HKCU\SOFTWARE\Brenvik\Quillmont\22.15\Quillmont modules'

# run LABEL RUNNER BIN EXE SAMPLE: both starts for a private user of the label's own.
run() {
    local label=$1 runner=$2 bin=$3 exe=$4 sample=$5 user=$work/$1
    mkdir -p "$user"/{home,appdata,registry,state} && mkdir -m 700 "$user/runtime"
    (
        export HOME=$user/home XDG_CONFIG_HOME=$user/home/.config
        export XDG_DATA_HOME=$user/home/.local/share XDG_STATE_HOME=$user/state
        export XDG_RUNTIME_DIR=$user/runtime APPDATA=$user/appdata
        export QM_REGISTRY_DIR=$user/registry QM_APP_PATH=$sample/
        for setting in QM_ROADS=True QM_SURVEY=True start QM_ROADS=False start; do
            if [ "$setting" = start ]; then
                echo "=== start"
                printf '%s' "$commands" | $runner "$bin/cadhost$exe" --console --profile
            else
                $runner "$bin/qmreg$exe" add "$modules\\${setting%=*}" /v AutoStart \
                    /d "${setting#*=}" /f >/dev/null
            fi
        done
    ) | tr -d '\r' |
        # Times, the columns they take, and where the user's menu copies live (Wine gives
        # Windows programs an APPDATA of its own) are no answers.
        sed -E 's/[0-9]+\.[0-9] ms/N ms/g; s/ +/ /g; s#\t.*/Brenvik/#\t<APPDATA>/Brenvik/#' \
            >"$work/$label.out"
}

run linux "" "$root/build-ci/bin" "" "$root/build-ci/examples/sample"
source "$root/scripts/wine-session.sh"
wine_session_start "$root/build-mingw/wineprefix"
trap 'wine_session_stop; rm -rf "$work"' EXIT
run windows "$wine" "$root/build-mingw/bin" .exe "$root/build-mingw/examples/sample"
if diff -u "$work/linux.out" "$work/windows.out"; then
    grep -c . "$work/linux.out" | xargs printf 'The Linux and the Windows host answer alike (%s lines).\n'
else
    exit 1
fi
