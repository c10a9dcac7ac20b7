#!/bin/sh
# Redraws the two keypad pictures (bitmap 500 of each deliverable) into this
# folder with the native compiler the project installs. Run it after changing
# resources/keypad_pictures.cpp, and commit the BMP files it writes.
set -e
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
c++ -std=c++17 -O1 -Wall -Wextra -Werror -I"$here/.." "$here/keypad_pictures.cpp" \
    -o "$work/keypad_pictures"
"$work/keypad_pictures" "$here"
