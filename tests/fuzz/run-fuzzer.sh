#!/bin/sh
# One fuzz run: <fuzzer> <seconds> <directory for new inputs> <committed corpus>.
# New inputs go to the first directory; the committed corpus is only read.
# Prints the number of executions; fails when the fuzzer finds a crash.
fuzzer="$1" seconds="$2" found="$3" corpus="$4"
mkdir -p "$found" "$corpus"
log="$found.log"
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$found/" \
    "$found" "$corpus" >"$log" 2>&1
status=$?
grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$log"
if [ $status -ne 0 ]; then
    tail -n 40 "$log"
fi
exit $status
