#!/bin/sh
# Runs a test build of the example keypad host (simulated keypads linked in)
# under Wine and checks that it did a host's work, in this order: accepted the
# offer, connected, got pad events from the reports it passed on, switched to
# MIDI and got notes, ended the run with the close of the keypad and the
# teardown, and exited 0; and that it registered for the keypad's raw input
# after the offer and before the first pad event, and passed on no report
# the driver refused (those of the other keypad).
# usage: run_keypad_host.sh <program> <seconds>
out=$("$(dirname "$0")/../../cmake/wine-run.sh" "$1" "$2" 2>&1)
status=$?
printf '%s\n' "$out"
[ $status -eq 0 ] || { echo "FAIL the example host exited $status"; exit 1; }
# Both keypads report; the host passes on the accepted one's reports only.
case "$out" in
    *"id 55 -> "*) echo "FAIL the example host passed on a report the driver refused"; exit 1 ;;
esac
in_order() {
    rest="$out"
    for step in "$@"; do
        case "$rest" in
            *"$step"*) rest=${rest#*"$step"} ;;
            *) echo "FAIL no \"$step\" where the run should have it"; exit 1 ;;
        esac
    done
}
in_order "callback 80 offer of keypad" "opened: registered for its raw input" \
    "callback 1310 pad pressed"
in_order "callback 80 offer of keypad" "callback 60 keypad connected" "callback 1310 pad pressed" \
    "callback 1311 pad released" "QP240REMOTE_SetContext (key mode MIDI) -> 0" "MIDI Note On ch" "MIDI Note Off ch" \
    "callback 81 close keypad" "callback 51 worker ends" "QP240REMOTE_Destroy -> 0" \
    "QP240REMOTE_End -> 0"
echo "the example host did a host's work"
