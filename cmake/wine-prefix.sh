#!/bin/sh
# Makes a headless Wine prefix once: a fresh prefix, then the null graphics
# driver, under which windows, painting into memory, timers, focus and capture
# all work without a display. Then starts the prefix's server and its system
# processes with no terminal or pipe of ours: whichever Wine program starts
# them hands them its standard streams, and they outlive it, so a test that
# happened to be first would hold CTest's output pipe open until the last
# test ended and time out.
set -e
# With "heap-checked" after the directory, every program of the prefix runs
# with the heap checks gflags gives on Windows (tail, free, parameter and full
# validation checking); Wine then reports a write after free, an overrun or a
# double free on its heap channels.
prefix="$1"
if [ -z "$prefix" ]; then
    echo "usage: wine-prefix.sh <prefix directory> [heap-checked]" >&2
    exit 2
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/.kolmar-ready" ]; then
    mkdir -p "$prefix"
    wine wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    wineserver -k || true
    touch "$prefix/.kolmar-ready"
fi
# No debugger: a test program that crashes ends at once with the exception's
# code, instead of waiting on Wine's debugger until CTest's time limit. An
# empty debugger command cannot start, so nothing attaches. Also applied to
# prefixes made before this setting.
if [ ! -f "$prefix/.kolmar-no-debugger" ]; then
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f \
        </dev/null >/dev/null 2>&1
    wineserver -k || true
    touch "$prefix/.kolmar-no-debugger"
fi
if [ "$2" = heap-checked ] && [ ! -f "$prefix/.kolmar-heap-checked" ]; then
    wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager' /v GlobalFlag \
        /t REG_DWORD /d 0xF0 /f </dev/null >/dev/null 2>&1
    wineserver -k || true
    touch "$prefix/.kolmar-heap-checked"
fi
# The server stays a minute after its last program, so it lasts from test to
# test; the wine_server_stop cleanup ends it when the tests are done. A server
# already running (rc 2) is kept.
wineserver -p60 </dev/null >/dev/null 2>&1 || true
wine wineboot </dev/null >/dev/null 2>&1
