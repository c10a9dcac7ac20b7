#!/bin/sh
# Runs a Windows program under Wine in the build's own prefix (WINEPREFIX, set
# by CTest), so tests never touch a user's real Wine settings or registry.
if [ -z "$WINEPREFIX" ]; then
    echo "wine-run.sh: WINEPREFIX is not set" >&2
    exit 2
fi
export WINEDEBUG=-all
exec wine "$@"
