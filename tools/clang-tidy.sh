#!/bin/sh
# Runs clang-tidy with the repository's .clang-tidy over the product code
# (driver/, config/, engine/, toolkit/, base/) on the compile commands of a clang
# build, two files at a time; any finding fails.
# usage: tools/clang-tidy.sh [build directory, default build/windows-clang]
cd "$(dirname "$0")/.." || exit 2
build="${1:-build/windows-clang}"
if [ ! -f "$build/compile_commands.json" ]; then
    echo "clang-tidy.sh: no $build/compile_commands.json (configure the windows-clang preset)" >&2
    exit 2
fi
find driver engine config toolkit base -name '*.cpp' | sort |
    xargs -P 2 -n 4 clang-tidy -p "$build" --quiet > "$build/clang-tidy.log" 2>&1
status=$?
grep -E 'warning:|error:' "$build/clang-tidy.log"
if [ $status -ne 0 ]; then
    echo "clang-tidy: findings above (whole output in $build/clang-tidy.log)"
    exit 1
fi
echo "clang-tidy: no findings in $(find driver engine config toolkit base -name '*.cpp' | wc -l) files"
