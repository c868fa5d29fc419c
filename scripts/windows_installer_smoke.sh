#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine, from the Windows build (build-mingw:
# cmake --preset mingw && cmake --build --preset mingw first):
#  1. The windows_installer target makes quillmont-module-loader-<version>-setup.exe from what
#     `cmake --install` stages.
#  2. In a new private Wine prefix (build-mingw/installer-smoke/prefix; the Wine recipe of
#     scripts/wine-session.sh), a silent install into a folder whose name has a blank
#     (setup.exe /S /D=C:\...) puts there exactly the staged files and the uninstaller, and
#     enters the product in the system's list of installed programs.
#  3. Every DLL that an installed program, DLL or ARX imports is installed beside it or is
#     the system's own.
#  4. The installed programs start from the install folder: qmreg.exe and cadhost.exe answer
#     --version with the installer's version; for a relocated user (HOME, XDG_*, APPDATA,
#     QM_REGISTRY_DIR private to the check, QM_APP_PATH the installed sample) qmreg.exe sets
#     Road Design and Survey Data to start with the host, and cadhost.exe --console --profile
#     loads the installed module loader and brings up the sample: the three modules started in
#     the start-up report, QmModuleLoader.arx and krqm_roads.arx among the ARX applications,
#     and each module's menu loaded from the user's own copy under APPDATA. Without
#     QM_APP_PATH, qmloader.exe list finds the installed sample as the installation.
#  5. The host as a user starts it from the Start menu: the installer's shortcut
#     (Quillmont\CAD host), opened as Explorer opens it, starts the installed cadhost.exe, and on
#     the session's virtual display (scripts/wine-session.sh), at twice the usual scale (192 dots
#     per inch) on its 1280 x 1024 screen, it opens its window titled "CAD host", which fits
#     the work area; ARX typed into its command line lists the module loader in its output, and
#     the loader's command KRQM_ModuleLoader_Arx opens the installed dialogs module's windows,
#     owned by the host's window (for the new user the welcome and the Options dialog first,
#     then "Quillmont Moduleloader", whose "Options..." opens the Options dialog), and QUIT
#     closes it. The windows are driven by window messages (qmtest_windriver.exe).
#  6. The silent uninstall (uninstall.exe /S) removes the folder and the shortcut, and the
#     machine's registry (HKLM) is as it was before the installation. The installer writes
#     nothing into the user's registry (HKCU), checked right after the installation: what the
#     relocated host writes there later is the user's (a relocated registry lies below HKCU).
# A part that the Windows build does not make yet is not checked, and a line says so.
# Fails on the first thing that does not work.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-mingw
[ -d "$build" ] || { echo "no $build: cmake --preset mingw && cmake --build --preset mingw" >&2; exit 2; }
fail() { echo "windows installer: $*" >&2; exit 1; }
skip() { echo "NOT CHECKED: $*"; }

echo "== the installer"
cmake --build "$build" --target windows_installer >"$build/installer-build.log" 2>&1 ||
    { tail -30 "$build/installer-build.log"; fail "the installer was not made"; }
setup=$(ls "$build"/quillmont-module-loader-*-setup.exe)
version=$(basename "$setup" | sed 's/^quillmont-module-loader-\(.*\)-setup\.exe$/\1/')
staging=$build/installer/staging
echo "$(basename "$setup"): $(du -k "$setup" | cut -f1) KiB"

smoke=$build/installer-smoke
rm -rf "$smoke"
mkdir -p "$smoke"
source "$root/scripts/wine-session.sh"
wine_session_start "$smoke/prefix"
trap wine_session_stop EXIT
drive_c=$WINEPREFIX/drive_c
folder_name="Quillmont Test"
install_dir="C:\\$folder_name"
installed=$drive_c/$folder_name
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\quillmont-module-loader'

# The registry in the form reg.exe exports it (UTF-16), as UTF-8 text.
export_registry() {
    local hive=$1 out=$2
    wine reg export "$hive" "C:\\registry.reg" /reg:64 /y >/dev/null 2>&1 ||
        fail "reg export $hive failed"
    iconv -f UTF-16 -t UTF-8 "$drive_c/registry.reg" | tr -d '\r' >"$out"
    rm -f "$drive_c/registry.reg"
}
# Twice the usual scale (192 dots per inch) for the window below. Wine changes its fonts'
# entries in HKLM for a new scale when a program next starts: that is done before the registry
# is taken as it was before the installation.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f >/dev/null ||
    fail "cannot set the scale"
wine cmd /c exit </dev/null >/dev/null 2>&1
export_registry 'HKLM\Software' "$smoke/hklm-before.reg"
export_registry 'HKCU\Software' "$smoke/hkcu-before.reg"

echo "== silent install into $install_dir"
# NSIS takes /D= as the rest of its command line, unquoted; Wine quotes an argument that has a
# blank, so the folder's name goes in two arguments that Wine joins with one blank.
wine "$setup" /S "/D=C:\\${folder_name% *}" "${folder_name#* }" ||
    fail "setup.exe /S ended with $?"
diff <(cd "$staging" && find . -type f | sort) \
    <(cd "$installed" && find . -type f ! -path ./uninstall.exe | sort) ||
    fail "the install folder does not hold exactly the staged files"
[ -f "$installed/uninstall.exe" ] || fail "no uninstall.exe"
wine reg query "$uninstall_key" /v InstallLocation /reg:64 2>/dev/null | tr -d '\r' |
    grep -F "$install_dir" >/dev/null || fail "no entry for $install_dir among the installed programs"
# What the programs write for a user comes later; the installer writes nothing there.
export_registry 'HKCU\Software' "$smoke/hkcu-installed.reg"
diff "$smoke/hkcu-before.reg" "$smoke/hkcu-installed.reg" ||
    fail "the installer wrote into the user's registry (HKCU)"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillmont/CAD host.lnk"
[ -f "$shortcut" ] || fail "no shortcut to the host in the Start menu (Quillmont\\CAD host)"
echo "$(find "$installed" -type f | wc -l) files, the entry among the installed programs, the Start menu's shortcut, nothing for the user"

echo "== every imported DLL is installed or the system's"
system32=$drive_c/windows/system32
while IFS= read -r file; do
    while IFS= read -r dll; do
        [ -n "$(find "$installed/bin" "$system32" -maxdepth 1 -iname "$dll" -print -quit)" ] ||
            fail "${file#"$installed"/} imports $dll, which is neither installed nor the system's"
    done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$installed" -type f \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.arx' \) \
    ! -path "$installed/uninstall.exe")
echo "checked $(find "$installed" -type f \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.arx' \) | wc -l) files"

echo "== the installed programs"
for program in qmreg cadhost; do
    if [ -f "$installed/bin/$program.exe" ]; then
        out=$(wine "$installed/bin/$program.exe" --version | tr -d '\r')
        [ "$out" = "$program $version" ] || fail "$program.exe --version says '$out', not '$program $version'"
        echo "$program.exe --version: $out"
    else
        skip "$program.exe: the Windows build has no $program yet"
    fi
done
# What the build has made must be installed; what it has not made yet is not checked.
missing=()
for part in bin/cadhost.exe bin/qmreg.exe bin/qmloader.exe bin/QmModuleLoader.arx \
    bin/QmModuleLoaderUi.dll share/quillmont/sample; do
    built=$build/$part
    [[ $part != share/quillmont/sample ]] || built=$build/examples/sample
    if [ -e "$built" ]; then
        [ -e "$installed/$part" ] || fail "the build has made $part, the installer does not install it"
    else
        missing+=("$part")
    fi
done
installed() { [ -e "$installed/$1" ]; }
if installed bin/cadhost.exe && installed bin/qmreg.exe && installed bin/QmModuleLoader.arx &&
    installed share/quillmont/sample; then
    # A relocated user in the prefix, set up in a command script as a user would: Road Design
    # and Survey Data start with the host (set with the installed qmreg.exe, as scripts/demo.sh
    # does), then the host runs on the installed sample. (Wine's cmd ends a script at
    # "program || exit /b 1" whatever the program's exit code: hence "if errorlevel".)
    user=$drive_c/smoke
    wine_relocated_user smoke
    printf 'ARX\r\nMENUGROUPS\r\nQUIT\r\n' >"$user/commands.txt"
    modules="HKCU\\SOFTWARE\\Brenvik\\Quillmont\\$version\\Quillmont modules"
    sed 's/$/\r/' >"$user/run.cmd" <<CMD
@echo off
call C:\\smoke\\user.cmd
set QM_APP_PATH=$install_dir\\share\\quillmont\\sample\\
"$install_dir\\bin\\qmreg.exe" add "$modules\\QM_ROADS" /v AutoStart /d True /f
if errorlevel 1 exit /b 1
"$install_dir\\bin\\qmreg.exe" add "$modules\\QM_SURVEY" /v AutoStart /d True /f
if errorlevel 1 exit /b 1
"$install_dir\\bin\\cadhost.exe" --console --profile < C:\\smoke\\commands.txt
CMD
    out=$(wine cmd /c 'C:\smoke\run.cmd' 2>&1 | tr -d '\r') || { echo "$out"; fail "cadhost.exe ended with an error"; }
    echo "$out" >"$smoke/cadhost.out"
    expect() { grep -E "$1" <<<"$out" >/dev/null || { echo "$out"; fail "$2"; }; }
    expect '^QmModuleLoader\.arx$' "the module loader did not load"
    expect '^krqm_roads\.arx$' "Road Design's application did not load"
    for module in 'Quillmont Base \(QM_BASE\)' 'Road Design \(QM_ROADS\)' 'Survey Data \(QM_SURVEY\)'; do
        expect "^$module .* started, ok$" "no '$module ... started, ok' in the start-up report"
    done
    for menu in Base Roads Survey; do
        # The menu is loaded from the user's own copy under the relocated APPDATA.
        expect "^KRQM_${menu^^}\s+C:[\\/]smoke[\\/]appdata[\\/].*[\\/]KRQM_${menu}_enu\.mnu$" \
            "the menu KRQM_${menu^^} is not loaded from the user's copy under C:\\smoke\\appdata"
    done
    echo "cadhost.exe --console --profile: the module loader and Road Design's application loaded, three modules started, their menus loaded from the user's copies"
    if installed bin/qmloader.exe; then
        # Without QM_APP_PATH the installation folder is the sample installed beside the
        # programs (the build's own sample is on Wine's drive Z: too, and must not be found).
        sed 's/$/\r/' >"$user/list.cmd" <<CMD
@echo off
call C:\\smoke\\user.cmd
"$install_dir\\bin\\qmloader.exe" list --json
CMD
        out=$(wine cmd /c 'C:\smoke\list.cmd' 2>&1 | tr -d '\r') ||
            { echo "$out"; fail "qmloader.exe list ended with an error"; }
        expect "\"path\": \"C:/$folder_name/share/quillmont/sample/Bin/krqm_roads\.arx\"" \
            "qmloader.exe list does not find the installed sample without QM_APP_PATH"
        echo "qmloader.exe list: without QM_APP_PATH, the installed sample is the installation"
    else
        skip "qmloader.exe: the Windows build does not make it yet"
    fi

    # The Start menu's shortcut, opened as Explorer opens it, for the relocated user, at twice
    # the usual scale (set at the start).
    sed 's/$/\r/' >"$user/window.cmd" <<CMD
@echo off
call C:\\smoke\\user.cmd
set QM_APP_PATH=$install_dir\\share\\quillmont\\sample\\
start "" "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Quillmont\\CAD host.lnk"
CMD
    wine_windriver=$build/bin/qmtest_windriver.exe
    driver() { wine_driver "$@"; }
    wine cmd /c 'C:\smoke\window.cmd' >"$smoke/window.out" 2>&1 || fail "the shortcut did not start"
    driver wait "CAD host" 60 >/dev/null ||
        { driver list; fail "the installed cadhost.exe, started from its shortcut, opened no window titled \"CAD host\""; }
    fits=$(driver fits "CAD host") || { echo "$fits"; fail "the window does not fit the work area at twice the scale"; }
    driver type "CAD host" ARX
    driver output "CAD host" "QmModuleLoader.arx" 30 ||
        fail "ARX typed into the window's command line did not list the module loader"
    if installed bin/QmModuleLoaderUi.dll; then
        # The loader's command opens the installed dialogs module, its windows owned by the
        # host's window: for this new user the welcome and the Options dialog first, then the
        # loader's dialog, whose "Options..." (6100) opens the Options dialog in front of it.
        # Options' Cancel is 2, the loader dialog's Cancel 8.
        ownedByTheHost() { [ "$1" = Options ] || driver owned "$1" "CAD host" ||
            { echo "\"$1\" is not owned by the host's window" >&2; return 1; }; }
        wine_walk_loader_dialogs ownedByTheHost || fail "the loader's command in the window"
        driver click "Quillmont Moduleloader" 6100
        driver wait Options 60 >/dev/null || { driver list; fail "Options... opened no Options dialog"; }
        driver owned Options "Quillmont Moduleloader" ||
            fail "the Options dialog is not owned by the loader's dialog"
        driver click Options 2
        driver click "Quillmont Moduleloader" 8
        driver gone "Quillmont Moduleloader" 30 || fail "Cancel did not close the loader's dialog"
        dialogs=", the loader's command opened the welcome, Options and \"Quillmont Moduleloader\" owned by it, whose Options... opened Options"
    else
        skip "the loader's dialogs in the window: the Windows build does not make QmModuleLoaderUi.dll"
    fi
    driver type "CAD host" QUIT
    driver gone "CAD host" 30 || fail "QUIT typed into the window's command line did not close it"
    # The program ends too (Wine shows its processes under their Windows path).
    for _ in $(seq 60); do
        pgrep -f "${folder_name}.bin.cadhost\.exe" >/dev/null || break
        sleep 0.5
    done
    ! pgrep -f "${folder_name}.bin.cadhost\.exe" >/dev/null || { ps -ef | grep -i cadhost; fail "cadhost.exe still runs 30 s after QUIT"; }
    echo "the Start menu's shortcut: the window \"CAD host\" ($fits), ARX typed into its command line listed the module loader${dialogs:-}, QUIT closed it"
else
    skip "cadhost.exe on the installed sample: the Windows build does not make ${missing[*]} yet"
fi

echo "== silent uninstall"
wine "$installed/uninstall.exe" /S || fail "uninstall.exe /S ended with $?"
# The uninstaller runs on from a copy of itself so that it can remove its own file: the
# command returns before it has finished. It removes the install folder last.
for _ in $(seq 120); do
    [ -e "$installed" ] || break
    sleep 0.5
done
[ ! -e "$installed" ] || { find "$installed"; fail "the install folder is still there after 60 s"; }
[ ! -e "$(dirname "$shortcut")" ] || fail "the Start menu still has the shortcut's folder"
export_registry 'HKLM\Software' "$smoke/hklm-after.reg"
diff "$smoke/hklm-before.reg" "$smoke/hklm-after.reg" ||
    fail "the machine's registry (HKLM) is not as before the installation"
echo "the folder and the shortcut are gone, the machine's registry is as before"
echo "windows installer: all checks passed"
