#!/usr/bin/env bash
# Renders the module loader dialog (in English and German), its grid's context menu and the
# Options dialog offscreen into PNG files, with the product information a real installation
# has, for a person to look at: scripts/screenshots.sh [preset]   (default: ci)
# They land in the preset's build folder, under screenshots/. The dialogs of both views (this
# one and the Windows one, below) are copied to docs/screenshots for README.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-ci}"
scripts/build.sh "$preset" qm_screenshots gui_host_test
build=build-$preset
[ "$preset" = default ] && build=build
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bin/qm_screenshots"
# The CAD host's main window with the loader's dialog over it.
QMTEST_SCREENSHOTS=1 QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bin/gui_host_test" \
    --gtest_filter='*ModuleLoaderCommandOpensItsDialogOverTheMainWindow' >/dev/null
ls "$build"/screenshots/*.png

# The Windows view (QmModuleLoaderUi.dll) when the Windows build is there: the built
# cadhost.exe under Wine on a virtual display (scripts/wine-session.sh), started without
# console input for a new user on the sample installation; the loader's command typed into its
# window brings the first-run welcome, the Options dialog and the loader's dialog, each
# captured from the screen by qmtest_windriver.exe (driven by window messages). The PNG files
# of both views go to docs/screenshots, side by side in README.
docs=docs/screenshots
mkdir -p "$docs"
cp "$build/screenshots/module_loader_dialog.png" "$docs/loader-linux.png"
cp "$build/screenshots/options_dialog.png" "$docs/options-linux.png"
[ -f "$build/screenshots/welcome.png" ] && cp "$build/screenshots/welcome.png" "$docs/welcome-linux.png"
mingw=build-mingw
if [ ! -f "$mingw/bin/cadhost.exe" ] || [ ! -f "$mingw/bin/qmtest_windriver.exe" ]; then
    echo "NOT MADE: the Windows view's screenshots need the Windows build (cmake --preset mingw)"
    exit 0
fi
shots=$PWD/$mingw/screenshots
rm -rf "$shots"
mkdir -p "$shots"
source scripts/wine-session.sh
wine_session_start "$shots/prefix"
trap wine_session_stop EXIT
user=$WINEPREFIX/drive_c/shots
wine_relocated_user shots
sed 's/$/\r/' >"$user/run.cmd" <<CMD
@echo off
call C:\\shots\\user.cmd
set QM_APP_PATH=$(winepath -w "$PWD/$mingw/examples/sample")\\
"$(winepath -w "$PWD/$mingw/bin/cadhost.exe")" < NUL
CMD
wine cmd /c 'C:\shots\run.cmd' </dev/null >"$shots/cadhost.out" 2>&1 &
wine_windriver=$mingw/bin/qmtest_windriver.exe
shoot() {
    sleep 2  # the dialog's fill and paint
    wine_driver shot "$1" 'C:\shots\shot.bmp' >/dev/null || { echo "no screenshot of \"$1\"" >&2; exit 1; }
    python3 - "$user/shot.bmp" "$docs/$2" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
width, height = struct.unpack_from("<ii", data, 18)
stride = (width * 3 + 3) // 4 * 4
rows = []
for y in range(height - 1, -1, -1):  # BMP rows are bottom-up, BGR
    row = data[offset + y * stride: offset + y * stride + width * 3]
    rgb = bytearray(width * 3)
    rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
    rows.append(b"\0" + bytes(rgb))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
PY
    echo "$docs/$2"
}
wine_driver wait "CAD host" 90 >/dev/null || { wine_driver list; echo "cadhost.exe opened no window" >&2; exit 1; }
shootDialog() {
    case $1 in
        Quillmont) shoot "$1" welcome-windows.png ;;
        Options) shoot "$1" options-windows.png ;;
        *) shoot "$1" loader-windows.png ;;
    esac
}
wine_walk_loader_dialogs shootDialog || exit 1
wine_driver click "Quillmont Moduleloader" 8
wine_driver type "CAD host" QUIT
wine_driver gone "CAD host" 30 >/dev/null || true
