#!/usr/bin/env bash
# Builds the Debian package from a build (the default preset's unless given: CI passes ci,
# the build it has already made for the tests), unpacks it with dpkg -x into a scratch
# root and runs the installed programs from there as a brand-new user with an empty
# environment: the host on the installed sample (no QM_APP_PATH), then --help and --version
# of qmreg and qmloader; then builds the example ARX applications against the unpacked SDK and
# runs one in the installed host. Fails on the first thing that does not work.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh dpkg-dev file
preset=${1:-default}
# The presets build in build/ (default) and build-<preset>/ (the others).
build=build
[[ $preset == default ]] || build=build-$preset
scripts/build.sh "$preset" cadhost qmreg qmloader QmModuleLoader sample_installation
rm -f "$build"/quillmont-module-loader_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillmont-module-loader_*.deb)
echo "== $deb"
dpkg-deb --field "$deb" Depends

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root/fs"
prefix=$root/fs/opt/quillmont
mkdir -p "$root/home" "$root/runtime"
chmod 700 "$root/runtime"
run() { env -i PATH=/usr/bin:/bin HOME="$root/home" XDG_RUNTIME_DIR="$root/runtime" "$@"; }

for program in qmreg qmloader; do
    run "$prefix/bin/$program" --help >/dev/null
    run "$prefix/bin/$program" --version
done

echo "== cadhost --console --profile on the installed sample"
out=$(printf 'ARX\nMENUGROUPS\nQUIT\n' | run "$prefix/bin/cadhost" --console --profile 2>&1)
echo "$out"
grep -qx "QmModuleLoader.arx" <<<"$out" || { echo "package: the module loader did not load" >&2; exit 1; }
grep -q "^KRQM_BASE" <<<"$out" || { echo "package: the base module's menu is missing" >&2; exit 1; }
# The installation folder is the installed sample, not the build's.
run "$prefix/bin/qmloader" list --json | grep -q "$prefix/share/quillmont/sample/" ||
    { echo "package: qmloader does not list the installed sample" >&2; exit 1; }
echo "== the main window's and the dialogs' modules are installed, and only they need Qt"
for module in libqm_host_gui.so QmModuleLoaderUi.so; do
    ldd "$prefix/lib/$module" | grep -q "libQt6Widgets" ||
        { echo "package: lib/$module is missing or does not link Qt" >&2; exit 1; }
done
if ldd "$prefix"/lib/*.so "$prefix/lib/QmModuleLoader.arx" "$prefix/bin/cadhost" |
    grep -q "not found"; then
    echo "package: an installed library is not found" >&2; exit 1
fi
if ldd "$prefix/bin/cadhost" "$prefix/lib/QmModuleLoader.arx" | grep -q "libQt6"; then
    echo "package: cadhost or the module loader links Qt" >&2; exit 1
fi

echo "== examples/arx built against the installed SDK"
cmake -S examples/arx/sdk -B "$root/arx" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$root/arx" >/dev/null
out=$(printf 'KRQM_ROADS_INIT\nQUIT\n' |
      run "$prefix/bin/cadhost" --console --arx "$root/arx/krqm_roads.arx" 2>&1)
grep -q "Road Design .* ready" <<<"$out" ||
    { echo "$out"; echo "package: the ARX built with the SDK did not run" >&2; exit 1; }
echo "== package smoke test passed"
