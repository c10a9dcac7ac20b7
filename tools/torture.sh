#!/bin/sh
# The torture of both DLLs (or the ones named) under full heap checking, as
# CTest runs it but for as long as asked: builds the windows preset, makes the
# build's heap-checked Wine prefix once, runs `host_simulator --torture` there
# and fails on any heap complaint of Wine's as on any violation.
# usage: tools/torture.sh SECONDS [--seed N] [--long] [DLL ...]
cd "$(dirname "$0")/.." || exit 2
[ $# -ge 1 ] || { echo "usage: tools/torture.sh SECONDS [--seed N] [--long] [DLL ...]" >&2; exit 2; }
tools/install-deps.sh || exit 2
cmake --preset windows >/dev/null && cmake --build --preset windows >/dev/null || exit 2
prefix=$PWD/build/windows/wineprefix-heap
cmake/wine-prefix.sh "$prefix" heap-checked || exit 2
complaints=$(mktemp)
WINEPREFIX="$prefix" WINEDEBUG=-all,err+heap,warn+heap \
    wine build/windows/bin/host_simulator.exe --torture "$@" 2>"$complaints"
status=$?
if grep -q ':heap:' "$complaints"; then
    echo "torture: Wine's heap checks complained $(grep -c ':heap:' "$complaints") times, first:"
    grep -m 5 ':heap:' "$complaints"
    [ $status -eq 0 ] && status=1
fi
grep -v ':heap:' "$complaints" >&2
rm -f "$complaints"
exit $status
