# The way this project runs Windows programs under Wine, sourced by the scripts that do
# (scripts/wine-ctest.sh, scripts/windows_installer_smoke.sh):
#   source scripts/wine-session.sh; wine_session_start PREFIX; ...; wine_session_stop
# Wine starts its server on demand, and a server started by one program and stopped when the
# last one ends races the next start (a run now and then fails with "wine client error:0:
# recvmsg: Connection reset by peer"). So one persistent server is started first, a first
# program brings the prefix up (made on the first use), and the server is stopped at the end.
# A prefix is always one of the project's own folders, never the user's ~/.wine.
# $wine is the Wine loader to run programs with.

wine_session_start() {
    export WINEPREFIX=$1
    export WINEDEBUG=${WINEDEBUG:--all}
    # A new prefix would offer to download Wine's .NET and HTML engines, which nothing here
    # uses: it waits for the download without them.
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    wine=$(command -v wine64 || command -v wine) || { echo "Wine is missing: scripts/win-deps.sh" >&2; return 2; }
    mkdir -p "$WINEPREFIX"
    # A server left running for the prefix (by a run that was killed) serves this run too.
    wineserver -p || true
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1
}

# Stops the prefix's server and waits until it has written the prefix's registry files.
wine_session_stop() {
    wineserver -k || true
    wineserver -w || true
}
