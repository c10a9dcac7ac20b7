#!/bin/sh
# Redraws the two keypad pictures (the bitmap resource of each deliverable) into
# this folder and rewrites docs/key-maps.md, with the native compiler the project
# installs. Run it after changing resources/keypad_pictures.cpp,
# resources/key_maps.cpp or the keypad layout, and commit what it writes.
set -e
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for program in keypad_pictures key_maps; do
    c++ -std=c++17 -O1 -Wall -Wextra -Werror -I"$here/.." "$here/$program.cpp" -o "$work/$program"
done
"$work/keypad_pictures" "$here"
"$work/key_maps" > "$here/../docs/key-maps.md"
echo "wrote $here/../docs/key-maps.md"
