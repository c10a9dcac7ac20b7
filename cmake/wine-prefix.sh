#!/bin/sh
# Makes a headless Wine prefix once: a fresh prefix, then the null graphics
# driver, under which windows, painting into memory, timers, focus and capture
# all work without a display.
set -e
prefix="$1"
if [ -z "$prefix" ]; then
    echo "usage: wine-prefix.sh <prefix directory>" >&2
    exit 2
fi
[ -f "$prefix/.kolmar-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
wine wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k || true
touch "$prefix/.kolmar-ready"
