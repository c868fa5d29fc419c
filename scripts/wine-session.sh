# The way this project runs Windows programs under Wine, sourced by the scripts that do
# (scripts/wine-ctest.sh, scripts/windows_installer_smoke.sh, scripts/compare_hosts.sh):
#   source scripts/wine-session.sh; wine_session_start PREFIX; ...; wine_session_stop
# Wine starts its server on demand, and a server started by one program and stopped when the
# last one ends races the next start (a run now and then fails with "wine client error:0:
# recvmsg: Connection reset by peer"). So one persistent server is started first, a first
# program brings the prefix up (made on the first use), and the server is stopped at the end.
# A prefix is always one of the project's own folders, never the user's ~/.wine.
#
# Windows programs get a display of their own: a virtual X server (Xvfb) on a free display
# number, 1280 x 1024, started here and stopped with the session, so that the tests of windows
# run the same on a desktop, over ssh and in CI, and never show on the developer's screen.
# The tests drive the windows by window messages, not by what the screen shows.
# $wine is the Wine loader to run programs with; DISPLAY names the session's display.

wine_session_start() {
    export WINEPREFIX=$1
    export WINEDEBUG=${WINEDEBUG:--all}
    # A new prefix would offer to download Wine's .NET and HTML engines, which nothing here
    # uses: it waits for the download without them. Shortcuts that an installer makes stay in
    # the prefix: Wine's menu builder would copy them into the user's desktop menu.
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
    wine=$(command -v wine64 || command -v wine) || { echo "Wine is missing: scripts/win-deps.sh" >&2; return 2; }
    command -v Xvfb >/dev/null || { echo "Xvfb is missing: scripts/win-deps.sh" >&2; return 2; }
    mkdir -p "$WINEPREFIX"
    # A server left running for the prefix (by a run that was killed) had the display of that
    # run, which is gone: it goes too.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    local number=$WINEPREFIX/xvfb-display
    rm -f "$number"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" \
        >"$WINEPREFIX/xvfb.log" 2>&1 &
    wine_xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$number" ] && break
        kill -0 "$wine_xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$number" ] || { cat "$WINEPREFIX/xvfb.log" >&2; echo "Xvfb did not start" >&2; return 2; }
    export DISPLAY=:$(head -1 "$number")
    wineserver -p || true
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1
    # The desktop (Wine's explorer.exe on the display) comes up with the first program that asks
    # for it; it is asked for here, so that no test races its start.
    "$wine" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
}

# Stops the prefix's server, waits until it has written the prefix's registry files, then
# stops the display.
wine_session_stop() {
    wineserver -k || true
    wineserver -w || true
    if [ -n "${wine_xvfb_pid:-}" ]; then
        kill "$wine_xvfb_pid" 2>/dev/null || true
        wait "$wine_xvfb_pid" 2>/dev/null || true
        wine_xvfb_pid=
    fi
}

# A relocated user for the Windows programs: folders below C:\$1 of the prefix, and a command
# script C:\$1\user.cmd that points the user's variables at them (call it first).
wine_relocated_user() {
    local name=$1 dir=$WINEPREFIX/drive_c/$1
    mkdir -p "$dir"/{home,appdata,registry,runtime,state,tmp}
    sed 's/$/\r/' >"$dir/user.cmd" <<CMD
set HOME=C:\\$name\\home
set XDG_CONFIG_HOME=C:\\$name\\home\\.config
set XDG_DATA_HOME=C:\\$name\\home\\.local\\share
set XDG_STATE_HOME=C:\\$name\\state
set XDG_RUNTIME_DIR=C:\\$name\\runtime
set APPDATA=C:\\$name\\appdata
set QM_REGISTRY_DIR=C:\\$name\\registry
CMD
}

# qmtest_windriver.exe (the path in $wine_windriver) with its arguments, its text without CRs.
wine_driver() { "$wine" "$wine_windriver" "$@" 2>&1 | tr -d '\r'; }

# The loader's command typed into the host's window "CAD host" as a new user meets it: the
# welcome, the Options dialog, then the loader's dialog. The command $1 is called with each
# window's title once it is open; the welcome is left with OK (1) and Options with Cancel (2),
# the loader's dialog stays open. Returns 1, saying why, when a window does not open or $1 fails.
wine_walk_loader_dialogs() {
    local look=$1 title
    wine_driver type "CAD host" KRQM_ModuleLoader_Arx
    for title in Quillmont Options "Quillmont Moduleloader"; do
        wine_driver wait "$title" 60 >/dev/null ||
            { wine_driver list; echo "the loader's command opened no \"$title\"" >&2; return 1; }
        "$look" "$title" || return 1
        case $title in
            Quillmont) wine_driver click "$title" 1 ;;
            Options) wine_driver click "$title" 2 ;;
        esac
    done
}
