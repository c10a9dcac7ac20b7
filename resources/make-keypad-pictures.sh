#!/bin/sh
# Redraws the two keypad pictures (the bitmap resource of each deliverable) into
# this folder and rewrites docs/key-maps.md, with the native compiler the project
# installs. Run it after changing resources/keypad_pictures.cpp,
# resources/key_maps.cpp, the keypad layout or the note arithmetic, and commit
# what it writes. The key map writer comes from the native build, as its test
# does (its note arithmetic is the public header's).
set -e
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$here/.."
# Configured first: the variant profiles read the version header it generates.
cmake --preset native-asan >/dev/null
c++ -std=c++17 -O1 -Wall -Wextra -Werror -I"$here/.." -I"$here/../build/native-asan/generated" \
    "$here/keypad_pictures.cpp" -o "$work/keypad_pictures"
"$work/keypad_pictures" "$here"
cmake --build --preset native-asan --target key_maps
build/native-asan/bin/key_maps > docs/key-maps.md
echo "wrote docs/key-maps.md"
