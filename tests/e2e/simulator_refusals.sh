#!/bin/sh
# What the host simulator and the list-view sample refuse, and how they say
# it: each row is a program, its arguments, the exit code and a piece of the
# message. Nothing may run before a refusal: a refused run prints no
# "QP240REMOTE_" call.
#
# Usage: simulator_refusals.sh <source dir> <directory of the built programs>
# (WINEPREFIX set, as CTest sets it).
source="$1"
bin="$2"
failures=0
out=$(mktemp)
trap 'rm -f "$out"' EXIT

# program | arguments (BIN/ and SOURCE/ stand for the directories) | exit code | message
while IFS='|' read -r program arguments code message; do
    arguments=$(echo "$arguments" | sed "s|BIN/|$bin/|g; s|SOURCE/|$source/|g")
    # shellcheck disable=SC2086 # the arguments are words
    wine "$bin/$program.exe" $arguments < /dev/null > "$out" 2>&1
    status=$?
    text=$(tr -d '\r' < "$out")
    if [ "$status" != "$code" ] || ! echo "$text" | grep -qF -- "$message" ||
        echo "$text" | grep -q 'QP240REMOTE_'; then
        echo "FAIL: $program $arguments: exit code $status (expected $code), printed:"
        echo "$text" | sed 's/^/    /'
        failures=$((failures + 1))
    fi
done <<'TABLE'
host_simulator|--channel 17|2|host_simulator: --channel: 17 is out of range 1..16
host_simulator|--channel ten|2|--channel: "ten" is not a number (1..16)
host_simulator|--hold 700000|2|--hold: 700000 is out of range 0..600000
host_simulator|--mode fast|2|--mode: "fast" is neither pad nor midi
host_simulator|--press 32|2|--press: 32 is out of range 0..31
host_simulator|--press 20|2|--press 20: key 20 is out of range 0..14 of Kolmar15Keys.dll
host_simulator|--tap 3@-1|2|--tap: -1 is out of range 0..600000
host_simulator|--model 0x1234|2|0x1234 is no keypad of these drivers: Kolmar32Keys.dll takes 0x008F 0x006C 0x00BA, Kolmar15Keys.dll takes 0x0060
host_simulator|--model 0x60 BIN/Kolmar32Keys.dll|2|--model 0x0060 is a 15-key keypad: Kolmar15Keys.dll takes it; Kolmar32Keys.dll takes 0x008F
host_simulator|--list-devices --tap 3|2|--list-devices takes no other option; --tap would be unused
host_simulator|--list-devices BIN/Kolmar32Keys.dll|2|--list-devices takes no DLL
host_simulator|--config-box box.png --mode midi|2|--config-box takes no other option; --mode would be unused
host_simulator|--config-box box.png BIN/Kolmar32Keys.dll BIN/Kolmar15Keys.dll|2|--config-box takes one DLL
host_simulator|--config-box box.png --list-devices|2|--config-box and --list-devices do not go together
host_simulator|--refuse-all --tap 3|2|--refuse-all opens no keypad, so --tap 3 would never run
host_simulator|--tap 3 --wait 500|2|--wait 500: no step follows to be delayed
host_simulator|--channel|2|--channel needs a value: N
host_simulator|--bogus|2|unknown option --bogus (host_simulator --help lists them)
host_simulator|BIN/absent.dll|1|(error 126)
host_simulator|SOURCE/README.md|1|(error 193); the drivers and their host are 64-bit
host_simulator|--help --bogus|0|usage: host_simulator
list_view_sample|--help|0|usage: list_view_sample
list_view_sample|--bogus|2|list_view_sample: unknown option --bogus
list_view_sample|--png|2|--png needs a file name
TABLE

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "every refusal named its reason"
