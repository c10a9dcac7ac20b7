#!/bin/sh
# Two simulator runs at once in one prefix: the second waits for the first,
# which keeps the user's stored settings aside until it has put them back
# (one that overlapped it would restore the first's values at its end, and
# its Destroys would write over what the first one's checks read); both end
# clean.
# usage: simulator_one_at_a_time.sh <host_simulator.exe> <DLL>
run="$(dirname "$0")/../../cmake/wine-run.sh"
first=$(mktemp)
second=$(mktemp)
trap 'rm -f "$first" "$second"' EXIT
"$run" "$1" "$2" >"$first" 2>&1 &
pid=$!
# The first prints once it holds the settings, and runs a few seconds more.
for _ in $(seq 300); do
    [ -s "$first" ] && break
    sleep 0.1
done
"$run" "$1" "$2" >"$second" 2>&1
status2=$?
wait $pid
status1=$?
cat "$first" "$second"
[ $status1 -eq 0 ] && [ $status2 -eq 0 ] || { echo "FAIL runs exited $status1 and $status2"; exit 1; }
grep -q "waiting for it to end" "$second" || { echo "FAIL the second run did not wait"; exit 1; }
grep -q "waiting for it to end" "$first" && { echo "FAIL the first run waited"; exit 1; }
exit 0
