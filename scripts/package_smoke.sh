#!/usr/bin/env bash
# The packages as users get them, from a build (the default preset's unless given: CI passes
# ci, the build it has already made for the tests):
#   scripts/package_smoke.sh [preset]
#  1. cpack makes the Debian packages (programs, -dev, -dbgsym) and the relocatable .tar.gz;
#     lintian must report no error and no warning, and the desktop entry and the AppStream
#     metadata must validate.
#  2. The .tar.gz, unpacked anywhere, runs: the host on its own sample, only the window's and
#     the dialogs' modules link Qt.
#  3. In a scratch Debian root made with debootstrap (chroot, as root only): apt installs the two
#     .deb files; a user runs cadhost, qmloader and qmreg from PATH, man finds the manuals, bash
#     finds the completion, an ARX application builds against the installed SDK and runs, and
#     the desktop entry's command opens the window under Xvfb with standard input from
#     /dev/null. apt removes and purges the packages (and the dependencies they brought):
#     the root is then as before the installation, and the user's registry and menu copies
#     are untouched.
# The scratch root is kept in the build folder (package-smoke/root) and used again while the
# packages are not installed in it; QM_SMOKE_FRESH=1 makes a new one. Fails on the first thing
# that does not work.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
scripts/deps.sh dpkg-dev file lintian desktop-file-utils appstream debootstrap xvfb xdotool
preset=${1:-default}
# The presets build in build/ (default) and build-<preset>/ (the others).
build=build
[[ $preset == default ]] || build=build-$preset
scripts/build.sh "$preset" cadhost qmreg qmloader QmModuleLoader QmModuleLoaderUi \
    qm_host_gui_module sample_installation packaging_files
rm -f "$build"/quillmont-module-loader*.deb "$build"/quillmont-module-loader*.ddeb \
    "$build"/quillmont-module-loader-*.tar.gz
(cd "$build" && cpack >/dev/null)
build=$(cd "$build" && pwd)
deb=$(ls "$build"/quillmont-module-loader_*.deb)
dev=$(ls "$build"/quillmont-module-loader-dev_*.deb)
dbgsym=$(ls "$build"/quillmont-module-loader-dbgsym_*.ddeb)
tgz=$(ls "$build"/quillmont-module-loader-*-Linux.tar.gz)
fail() { echo "package: $*" >&2; exit 1; }
# Filters here read all their input (no grep -q): under pipefail a writer cut off early fails.

scratch=$(mktemp -d)
root=$build/package-smoke/root
xvfb=
cleanup() {
    [[ -z $xvfb ]] || kill "$xvfb" 2>/dev/null || true
    for mount in "$root/dev/pts" "$root/dev" "$root/proc"; do
        ! mountpoint -q "$mount" || umount -l "$mount"
    done
    rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT

echo "== lintian"
for package in "$deb" "$dev" "$dbgsym"; do
    echo "$(basename "$package"): $(dpkg-deb --field "$package" Depends)"
done
# No override: lintian has to be content with the packages as they are.
out=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" "$dev" "$dbgsym" 2>&1) ||
    { echo "$out"; fail "lintian reports errors or warnings"; }
grep -v "running with root privileges" <<<"$out" || true
echo "== desktop entry and AppStream metadata"
dpkg -x "$deb" "$scratch/deb"
desktop-file-validate "$scratch"/deb/usr/share/applications/*.desktop
appstreamcli validate --no-net "$scratch"/deb/usr/share/metainfo/*.metainfo.xml

echo "== the relocatable tree, unpacked"
mkdir -p "$scratch/tree" "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
tar -xzf "$tgz" -C "$scratch/tree"
prefix=$(echo "$scratch"/tree/*)
run() { env -i PATH=/usr/bin:/bin HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" "$@"; }
out=$(printf 'ARX\nMENUGROUPS\nQUIT\n' | run "$prefix/bin/cadhost" --console 2>&1)
grep -qx "QmModuleLoader.arx" <<<"$out" || { echo "$out"; fail "the module loader did not load"; }
grep -q "^KRQM_BASE" <<<"$out" || { echo "$out"; fail "the base module's menu is missing"; }
run "$prefix/bin/qmloader" list --json | grep "$prefix/share/quillmont/sample/" >/dev/null ||
    fail "qmloader does not list the tree's own sample"
for module in libqm_host_gui.so QmModuleLoaderUi.so; do
    ldd "$prefix/lib/quillmont/$module" | grep "libQt6Widgets" >/dev/null ||
        fail "lib/quillmont/$module is missing or does not link Qt"
done
if ldd "$prefix"/lib/quillmont/*.so "$prefix"/lib/quillmont/*.arx "$prefix"/bin/* |
    grep "not found" >/dev/null; then
    fail "an installed library is not found"
fi
if ldd "$prefix/bin/cadhost" "$prefix/lib/quillmont/QmModuleLoader.arx" | grep "libQt6" >/dev/null; then
    fail "cadhost or the module loader links Qt"
fi

echo "== a scratch Debian root"
# The same archive and release as this machine's apt uses.
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '/^URIs:/ {print $2; exit}')
[[ -n $mirror ]] ||
    mirror=$(awk '$1 == "deb" {print ($2 ~ /^\[/ ? $3 : $2); exit}' /etc/apt/sources.list)
[[ -n $mirror ]] || fail "no Debian archive in this machine's apt sources"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"; }
if [[ ${QM_SMOKE_FRESH:-0} == 1 || ! -x $root/usr/bin/g++ ]] ||
    chroot "$root" dpkg-query -W 'quillmont-*' >/dev/null 2>&1; then
    rm -rf --one-file-system "$root"
    mkdir -p "$root"
    time debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$scratch/debootstrap.log" 2>&1 ||
        { tail -20 "$scratch/debootstrap.log"; fail "debootstrap failed"; }
    fresh=1
fi
# Name resolution, and apt as this machine's (its sources and its Acquire settings).
cp /etc/resolv.conf "$root/etc/resolv.conf"
rm -f "$root"/etc/apt/sources.list.d/*
cp /etc/apt/sources.list.d/* "$root/etc/apt/sources.list.d/" 2>/dev/null || true
cp /etc/apt/sources.list "$root/etc/apt/sources.list" 2>/dev/null || : >"$root/etc/apt/sources.list"
for conf in $(grep -l '^Acquire::' /etc/apt/apt.conf.d/* 2>/dev/null); do
    cp "$conf" "$root/etc/apt/apt.conf.d/"
done
# Our own /dev (a few nodes on a tmpfs) rather than the machine's: nothing done in the root
# can reach a device of the machine.
mount -t proc proc "$root/proc"
mount -t tmpfs -o mode=755 dev "$root/dev"
for node in null:1:3 zero:1:5 full:1:7 random:1:8 urandom:1:9 tty:5:0; do
    IFS=: read -r name major minor <<<"$node"
    mknod -m 666 "$root/dev/$name" c "$major" "$minor"
done
mkdir -p "$root/dev/pts"
mount -t devpts -o newinstance,ptmxmode=666 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
if [[ ${fresh:-0} == 1 ]]; then
    # What a developer of ARX applications has, and the manual and completion readers; the
    # packages must not rely on anything else.
    time in_root apt-get update -qq
    time in_root apt-get install -y -qq --no-install-recommends g++ cmake make man-db \
        bash-completion >"$scratch/tools.log" 2>&1 || { tail -20 "$scratch/tools.log"; exit 1; }
fi
in_root apt-get update -qq
in_root apt-get autoremove --purge -y -qq >/dev/null
chroot "$root" id -u alice >/dev/null 2>&1 || in_root useradd --create-home --uid 4242 alice
as_alice() { chroot --userspec=4242:4242 "$root" env -i HOME=/home/alice USER=alice \
    PATH=/usr/bin:/bin XDG_RUNTIME_DIR=/tmp/alice-runtime "$@"; }
as_alice sh -c 'mkdir -p -m 700 /tmp/alice-runtime'
# The packages' dependencies come first, marked as installed by hand: what their own scripts
# leave behind when removed (system users, folders under /run and /var/lib) is theirs, not
# ours, and autoremove must not take them between the two listings.
cp "$deb" "$dev" "$root/tmp/"
mapfile -t needed < <(in_root apt-get install -s "/tmp/$(basename "$deb")" \
    "/tmp/$(basename "$dev")" | sed -n 's/^Inst \([^ ]*\) .*/\1/p' | grep -v '^quillmont')
if ((${#needed[@]})); then
    in_root apt-get install -y -qq --no-install-recommends "${needed[@]}" \
        >"$scratch/needed.log" 2>&1 || { tail -30 "$scratch/needed.log"; fail "dependencies"; }
fi
# Everything but what apt and dpkg keep about their own work, to compare after the purge.
snapshot() {
    (cd "$root" && find . -xdev \( -path ./proc -o -path ./dev -o -path ./tmp -o \
        -path ./var/cache -o -path ./var/log -o -path ./var/lib/apt -o -path ./var/lib/dpkg \
        -o -path ./home/alice \) -prune -o -printf '%p %y %m %s\n' | LC_ALL=C sort)
}
snapshot >"$scratch/before"

echo "== apt install ./quillmont-module-loader*.deb"
time in_root apt-get install -y -qq "/tmp/$(basename "$deb")" "/tmp/$(basename "$dev")" \
    >"$scratch/install.log" 2>&1 || { tail -30 "$scratch/install.log"; fail "apt install failed"; }
in_root dpkg -L quillmont-module-loader quillmont-module-loader-dev >"$scratch/files"

echo "== cadhost --console --profile, qmloader list, qmreg --version from PATH"
out=$(printf 'ARX\nMENUGROUPS\nQUIT\n' | as_alice cadhost --console --profile 2>&1)
echo "$out"
grep -qx "QmModuleLoader.arx" <<<"$out" || fail "the module loader did not load"
grep -q "^KRQM_BASE" <<<"$out" || fail "the base module's menu is missing"
out=$(as_alice qmloader list)
head -3 <<<"$out"
as_alice qmloader list --json | grep '"/usr/share/quillmont/sample/' >/dev/null ||
    fail "qmloader does not list the installed sample"
as_alice qmreg --version
for page in cadhost qmloader qmreg; do
    as_alice man -w "$page"
done
[[ $(as_alice man -w qmloader) == /usr/share/man/man1/qmloader.1.gz ]] ||
    fail "man does not find the manual of qmloader"
for program in cadhost qmloader qmreg; do
    as_alice bash -c ". /usr/share/bash-completion/bash_completion &&
        __load_completion $program && complete -p $program" >/dev/null ||
        fail "bash finds no completion for $program"
done

echo "== an ARX application built against the installed SDK"
mkdir -p "$root/tmp/arx-src"
cp -r examples/arx/sdk examples/arx/krqm_roads examples/arx/qco_switch "$root/tmp/arx-src/"
chown -R 4242:4242 "$root/tmp/arx-src"
as_alice cmake -S /tmp/arx-src/sdk -B /tmp/arx-src/build >/dev/null
as_alice cmake --build /tmp/arx-src/build >/dev/null
out=$(printf 'KRQM_ROADS_INIT\nQUIT\n' |
      as_alice cadhost --console --arx /tmp/arx-src/build/krqm_roads.arx 2>&1)
grep -q "Road Design .* ready" <<<"$out" || { echo "$out"; fail "the ARX built with the SDK did not run"; }

echo "== the desktop entry's command opens the window (Xvfb, standard input /dev/null)"
display=:$((100 + RANDOM % 800))
Xvfb "$display" -nolisten tcp -screen 0 1024x768x24 >"$scratch/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do
    DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1 && break
    sleep 0.1
done
command=$(sed -n 's/^Exec=//p' "$root"/usr/share/applications/*.desktop)
# The chroot reaches the X server through its abstract socket, which no file system holds.
as_alice env DISPLAY="$display" $command </dev/null >"$scratch/window.log" 2>&1 &
host=$!
window=$(DISPLAY=$display timeout 60 xdotool search --sync --name '^CAD host$' | head -1) ||
    { cat "$scratch/window.log"; fail "no window named \"CAD host\" appeared"; }
echo "window $window: $(DISPLAY=$display xdotool getwindowname "$window")"
kill "$host"
wait "$host" 2>/dev/null || true
kill "$xvfb"
wait "$xvfb" 2>/dev/null || true
xvfb=

echo "== apt remove, then apt purge"
(cd "$root/home/alice" && find . -type f -printf '%p ' -exec md5sum {} \; | LC_ALL=C sort) \
    >"$scratch/user-before"
grep -q "Menus\|registry\|\.db" "$scratch/user-before" ||
    { cat "$scratch/user-before"; fail "the user has no registry or menu copies to keep"; }
in_root apt-get remove -y -qq quillmont-module-loader-dev quillmont-module-loader >/dev/null
[[ ! -e $root/usr/bin/cadhost && ! -e $root/usr/lib/quillmont ]] ||
    fail "apt remove left the programs or the libraries"
# The packages have no configuration files: once removed, dpkg has forgotten them and there
# is nothing left to purge.
! in_root dpkg-query -W 'quillmont-*' >/dev/null 2>&1 ||
    fail "dpkg still knows the removed packages: $(in_root dpkg -l 'quillmont-*' | tail -2)"
in_root dpkg --purge quillmont-module-loader-dev quillmont-module-loader
in_root apt-get autoremove --purge -y -qq >/dev/null
while read -r path; do
    [[ -d $root$path && ! -L $root$path ]] || [[ ! -e $root$path && ! -L $root$path ]] ||
        fail "$path is left"
done <"$scratch/files"
snapshot >"$scratch/after"
diff "$scratch/before" "$scratch/after" || fail "the purge did not give back the root as it was"
(cd "$root/home/alice" && find . -type f -printf '%p ' -exec md5sum {} \; | LC_ALL=C sort) \
    >"$scratch/user-after"
diff "$scratch/user-before" "$scratch/user-after" || fail "the user's files changed"
echo "== package smoke test passed"
