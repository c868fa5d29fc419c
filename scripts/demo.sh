#!/usr/bin/env bash
# Installs what is missing, builds, and runs the host with the module loader on the sample
# installation, as a private demo user (its home, registry and menus live under build/demo).
# The demo user is kept between runs, so a second run starts from the remembered state;
# scripts/demo.sh --fresh starts over with a brand-new user.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh
# Only what the demo runs; the tests build the rest.
scripts/build.sh default cadhost qmreg QmModuleLoader sample_installation

demo=$root/build/demo
if [ "${1:-}" = "--fresh" ]; then
    rm -rf "$demo"
    shift
fi
mkdir -p "$demo"/{home,appdata,registry,runtime,state}
chmod 700 "$demo/runtime"
export HOME=$demo/home XDG_CONFIG_HOME=$demo/home/.config XDG_DATA_HOME=$demo/home/.local/share
export XDG_STATE_HOME=$demo/state XDG_RUNTIME_DIR=$demo/runtime APPDATA=$demo/appdata
export QM_REGISTRY_DIR=$demo/registry QM_APP_PATH=$root/build/examples/sample/
export QM_LOG=$demo/diagnostic.log

# A brand-new demo user starts Road Design and Survey Data with the host, as if chosen in the
# module loader dialog; everything else is left as a new user gets it.
if [ ! -e "$demo/registry/hkcu.db" ]; then
    version=$(build/bin/qmreg --version | cut -d' ' -f2)  # the product version, as built
    for key in QM_ROADS QM_SURVEY; do
        build/bin/qmreg add "HKCU\\SOFTWARE\\Brenvik\\Quillmont\\$version\\Quillmont modules\\$key" \
            /v AutoStart /d True /f >/dev/null
    done
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${1:-}" != "--console" ]; then
    exec build/bin/cadhost "$@"
fi

echo "== cadhost --console on $QM_APP_PATH (demo user in $demo)"
echo "== what follows: the start-up report, then the host's answers to ARX, MENUGROUPS,"
echo "== (krqm_CheckCommandlineSetting) and (krqm_CheckInsUnitsDefSourceSetting)"
build/bin/cadhost --console --profile <<'SCRIPT'
ARX
MENUGROUPS
(krqm_CheckCommandlineSetting)
(krqm_CheckInsUnitsDefSourceSetting)
QUIT
SCRIPT
