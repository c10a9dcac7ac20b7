#!/bin/sh
# Builds both DLLs and the host simulator, then runs the simulator's built-in
# demonstration against each DLL under Wine. Options go to the simulator
# (tools/demo.sh --help lists them).
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Kolmar32Keys Kolmar15Keys host_simulator
cmake/wine-prefix.sh "$PWD/build/windows/wineprefix"
WINEPREFIX="$PWD/build/windows/wineprefix" cmake/wine-run.sh build/windows/bin/host_simulator.exe "$@"
