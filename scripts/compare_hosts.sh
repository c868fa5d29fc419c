#!/usr/bin/env bash
# Compares the Linux and the Windows build on the same input, and prints the difference and
# exits 1 when they differ.
#
# The hosts: the host on the sample installation, once from the Linux build (build-ci) and once
# from the Windows build under Wine (build-mingw), with the same private user and the same
# commands: two starts, Road Design and Survey Data switched on for the first and Road Design
# off for the second (its menu, which the host remembers, is then stale and goes). The answers
# to ARX, MENUGROUPS and the loader's AutoLISP functions, and the start-up report's lines, must
# be the same on both, times and the user's folder aside.
#
# The dialogs' views: the same fixed scripts of key presses, clicks and checks on the same
# installations (the ViewDump cases of the dialog test programs, tests/loader/ui), once on the
# Qt view offscreen and once on the Win32 view under Wine. After every step each prints what
# the user sees: the grid's rows (texts, start-up images, bold, selection, marks), the Options
# dialog's items and checks, which buttons are shown and enabled, their texts and tooltips,
# the focus after keys, the message boxes, and the registry once the dialogs have closed. The
# two texts must be the same but for the differences listed in view_differences below.
#   scripts/compare_hosts.sh [--hosts | --views]    (both unless one is named)
#   Build first: --hosts needs cmake --build --preset ci and --preset mingw; --views needs the
#   targets qt_dialogs_test (preset ci) and win32_dialogs_test (preset mingw).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
hosts=yes views=yes
case ${1:-} in
    --hosts) views=no ;;
    --views) hosts=no ;;
    "") ;;
    *) echo "usage: $0 [--hosts | --views]" >&2; exit 2 ;;
esac
needed=()
[ $hosts = no ] || needed+=("$root/build-ci/bin/cadhost" "$root/build-mingw/bin/cadhost.exe")
[ $views = no ] || needed+=("$root/build-ci/bin/qt_dialogs_test"
                            "$root/build-mingw/bin/win32_dialogs_test.exe")
for f in "${needed[@]}"; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "no $f: build it first" >&2; exit 2; }
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

# Where the two views show something different by the nature of their platform: a sed
# expression per difference, applied to both texts, each with its reason.
view_differences=(
    # The test installation lies in each system's own temporary folder, which the message
    # about a missing catalogue names.
    -e 's#"[^"]*/qmtest-[^/"]*/#"<temp>/#g'
    # Qt's item view makes the first row current when the grid takes the focus, and the Qt
    # grid counts the current row as selected while no row is: so the explanatory row of an
    # empty catalogue is selected there, while the ListView, with no current row, leaves it
    # unselected. It is no module, so nothing acts on it either way.
    -e '/^VIEW   row 1 "Unable to read /s/ selected$//'
)

# views LABEL RUNNER PROGRAM: the ViewDump cases of one view, as canonical text.
views() {
    local label=$1 runner=$2 program=$3 status=0
    (
        cd "$(dirname "$program")/../tests/loader/ui"
        QM_VIEW_DUMP=1 QT_QPA_PLATFORM=offscreen $runner "$program" --gtest_filter='ViewDump/*'
    ) >"$work/$label.log" 2>&1 || status=$?
    tr -d '\r' <"$work/$label.log" | grep '^VIEW ' | sed -E "${view_differences[@]}" \
        >"$work/$label.views" || true
    if [ $status -ne 0 ] || ! grep -q '^\[  PASSED  \] [1-9]' "$work/$label.log"; then
        cat "$work/$label.log" >&2
        echo "the $label view's scripts did not run through" >&2
        exit 1
    fi
}

differ=no
if [ $hosts = yes ]; then
    run linux "" "$root/build-ci/bin" "" "$root/build-ci/examples/sample"
fi
if [ $views = yes ]; then
    views qt "" "$root/build-ci/bin/qt_dialogs_test"
fi
source "$root/scripts/wine-session.sh"
wine_session_start "$root/build-mingw/wineprefix"
trap 'wine_session_stop; rm -rf "$work"' EXIT
if [ $hosts = yes ]; then
    run windows "$wine" "$root/build-mingw/bin" .exe "$root/build-mingw/examples/sample"
    if diff -u "$work/linux.out" "$work/windows.out"; then
        grep -c . "$work/linux.out" |
            xargs printf 'The Linux and the Windows host answer alike (%s lines).\n'
    else
        differ=yes
    fi
fi
if [ $views = yes ]; then
    views win32 "$wine" "$root/build-mingw/bin/win32_dialogs_test.exe"
    if diff -u "$work/qt.views" "$work/win32.views"; then
        printf 'The Qt and the Win32 view show alike (%s scripts, %s steps, %s lines).\n' \
            "$(grep -c '^\[       OK \] ViewDump/' "$work/qt.log")" \
            "$(grep -c '^VIEW [^ ]' "$work/qt.views")" "$(grep -c . "$work/qt.views")"
    else
        differ=yes
    fi
fi
[ $differ = no ]
