#!/bin/sh
# The one-place check fails a fact written again: a copy of the tree with one
# fault written into each of a few files must fail with a line for each of
# them, and the untouched copy must pass.
#
# usage: one_place_faults.sh <source directory>
. "$(dirname "$0")/tree_copy.sh"
tree_copy "$1" -v 'tests/fuzz/corpus/'
check=$source/tests/host/check_one_place.sh
failures=0

if ! output=$(sh "$check" "$work/tree" 2>&1); then
    echo "FAIL the untouched copy: $output"
    failures=$((failures + 1))
fi

# A fault a line: the file and the sed command that writes it in.
faults='config/config_box.cpp|0,/return QP240REMOTE_ALREADY;/s//return 1;/
tests/e2e/settings_test.cpp|0,/EXPECT_EQ(d.End(), QP240REMOTE_OK);/s//EXPECT_EQ(\n        d.End(),\n        0);/
tools/host_simulator/deliverable.cpp|s/GetPlugInformation(QP240REMOTE_PLUG_INFORMATION,/GetPlugInformation(1,/
tools/host_simulator/simulated_host.cpp|s/ == QP240REMOTE_OK \&\&/ == 0 \&\&/
tests/windows/engine/worker_fixture.cpp|s/g_workerStopWaitMs = QP240REMOTE_STOP_WAIT_MS/g_workerStopWaitMs = 10000/
docs/engine.md|$a Stop waits 10 s at most.
tools/host_simulator/main.cpp|$a static const char kBox[] = "Lorendel Remote Driver WND-CLASS";'
printf '%s\n' "$faults" | while IFS='|' read -r file edit; do
    sed -i "$edit" "$work/tree/$file"
done
output=$(sh "$check" "$work/tree" 2>&1)
for file in $(printf '%s\n' "$faults" | cut -d'|' -f1); do
    if ! printf '%s\n' "$output" | grep -q "^FAIL $file:"; then
        echo "FAIL no fault found in $file: $output"
        failures=$((failures + 1))
    fi
done

[ $failures -eq 0 ] && echo "the one-place check fails each of its faults"
exit $((failures != 0))
