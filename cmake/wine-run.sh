#!/bin/sh
# Runs a Windows program under wine64 in the build folder's own Wine prefix,
# without a display and without Wine's debug chatter. ctest reaches it through
# CMAKE_CROSSCOMPILING_EMULATOR; the prefix is created by the wine_prefix
# fixture (cmake/wine-prefix.sh) before the first test.
WINEPREFIX="${SETTINGSSTORE_WINEPREFIX:-$(pwd)/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
exec /usr/lib/wine/wine64 "$@"
