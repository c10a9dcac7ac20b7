#!/bin/sh
# The layer check fails an include that runs the wrong way: a copy of the tree
# passes it, and the same copy with one include planted upward in the engine
# and one into the product on the host side fails it at exactly those lines.
#
# usage: layers_faults.sh <source directory>
. "$(dirname "$0")/tree_copy.sh"
tree_copy "$1" -E '^(\./)?(driver|config|engine|toolkit|resources|base|include|tools|tests/e2e|tests/host|tests/common|bench|examples)/'
check=$source/tests/host/check_layers.sh
failures=0

for side in product host; do
    if ! output=$(sh "$check" "$work/tree" $side 2>&1); then
        echo "FAIL the untouched copy, $side: $output"
        failures=$((failures + 1))
    fi
done

# A fault a line: the side, the file and the include written in as its line 2.
faults='product|engine/key_translation.cpp|driver/driver_instance.h
host|tools/host_simulator/main.cpp|engine/report_queue.h'
printf '%s\n' "$faults" | while IFS='|' read -r side file include; do
    sed -i "1a #include \"$include\"" "$work/tree/$file"
done
printf '%s\n' "$faults" | while IFS='|' read -r side file include; do
    output=$(sh "$check" "$work/tree" $side 2>&1)
    if ! printf '%s\n' "$output" | grep -qF "FAIL $file:2 includes \"$include\"" ||
        [ "$(printf '%s\n' "$output" | grep -c '^FAIL')" -ne 1 ]; then
        echo "FAIL the $side check did not name $file:2 alone: $output"
        exit 1
    fi
done || failures=$((failures + 1))

[ $failures -eq 0 ] && echo "the layer check fails each planted include at its line"
exit $((failures != 0))
