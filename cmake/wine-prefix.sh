#!/bin/sh
# start: creates the Wine prefix once (wineboot -i), starts one persistent
# Wine server for the whole test run and boots the prefix's services, all with
# their output on /dev/null, so that no long-lived Wine process holds a test's
# output pipe open. stop: ends the server and everything it runs.
set -e
WINEPREFIX="$2"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
case "$1" in
  start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
    fi
    # Exits with 2 when a server already runs for this prefix: that one serves.
    /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1 || true
    /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
esac
