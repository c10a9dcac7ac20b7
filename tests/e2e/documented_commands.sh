#!/bin/sh
# Runs every command of the host simulator and the list-view sample that
# README.md, INSTALL.md and docs/ show, as the text shows it, and checks that it
# prints what the text says. The commands are read from the documents: one that
# this script has no check for fails the test, so a new example gets one.
#
# The demonstration runs twice, over stored settings that differ from its
# start: both runs print the same events, and the stored settings are the
# same after them as before.
#
# Usage: documented_commands.sh <source dir> <directory of the built programs>
# (WINEPREFIX set, as CTest sets it).
source="$1"
bin="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# What a program printed, without the C runtime's carriage returns, time
# stamps and 64-bit addresses.
normalise() {
    sed -E 's/\r$//; s/^ +//; s/^\[ *[0-9]+ ms\] *//; s/[0-9a-f]{16}/ADDRESS/g' "$@"
}

# run NAME CODE PROGRAM ARGS...: the output in $work/NAME.out; the program
# must end with exit code CODE.
run() {
    name="$1"
    code="$2"
    program="$3"
    shift 3
    wine "$bin/$program" "$@" < /dev/null > "$work/$name.out" 2>&1
    status=$?
    [ "$status" = "$code" ] || fail "$name: exit code $status, not $code"
}

# expect NAME TEXT...: each text appears in the normalised output.
expect() {
    name="$1"
    shift
    for text in "$@"; do
        normalise "$work/$name.out" | grep -qF -- "$text" || fail "$name: no \"$text\""
    done
}

settings() {
    wine reg query 'HKCU\Lorendel' /s < /dev/null 2>/dev/null | tr -d '\r'
}

# reg ARGS: the prefix's registry tool, quietly.
reg() {
    wine reg "$@" < /dev/null > /dev/null 2>&1
}

# Every example line of the documents' output excerpts (code lines that start
# with a time stamp, or name a DLL between == marks) is in `name`'s output.
expect_excerpts() {
    grep -hE '^ *(\[ *[0-9]+ ms\]|== )' "$source/README.md" "$source"/docs/*.md |
        normalise > "$work/excerpts"
    while IFS= read -r line; do
        normalise "$work/$1.out" | grep -qxF -- "$line" || fail "$1: excerpt line \"$line\" not printed"
    done < "$work/excerpts"
}

check_demonstration() {
    key32='HKCU\Lorendel\QP240_Remote\{057908FD-45D9-4A2C-8ABD-AFD1667DB9C5}'
    # MIDI on channel 6 stored for the 32-key DLL, nothing for the 15-key one.
    reg delete 'HKCU\Lorendel' /f
    reg add "$key32" /v GenStatus /t REG_BINARY /d 01000000 /f
    reg add "$key32" /v Channel /t REG_BINARY /d 05000000 /f
    settings > "$work/settings.before"
    for pass in 1 2; do
        run "demonstration-$pass" 0 host_simulator.exe
        normalise "$work/demonstration-$pass.out" | grep -E 'callback|host sets|==' \
            > "$work/events-$pass"
    done
    settings > "$work/settings.after"
    cmp -s "$work/settings.before" "$work/settings.after" ||
        fail "the demonstration changed the stored settings: $(diff "$work/settings.before" "$work/settings.after")"
    cmp -s "$work/events-1" "$work/events-2" ||
        fail "two demonstrations printed different events: $(diff "$work/events-1" "$work/events-2")"
    normalise "$work/demonstration-1.out" | head -1 | grep -q '^== Kolmar32Keys.dll ==$' ||
        fail "demonstration: does not start with the DLL's name"
    expect demonstration-1 "host sets key mode pad protocol" "pad pressed: pad 3" \
        "callback 1314 StopAllPads" "Note On ch 1 note 67 vel 64" "Note On ch 10 note 92 vel 64" \
        "Note On ch 10 note 79 vel 64" "callback 1315 StopAllPlists"
    expect_excerpts demonstration-1
    reg delete 'HKCU\Lorendel' /f
}

# check ARGS: the documented arguments (after tools/demo.sh or the program).
check() {
    case "$1" in
    "tools/demo.sh" | "host_simulator.exe")
        [ -f "$work/events-1" ] || check_demonstration
        ;;
    "tools/demo.sh --help")
        run help 0 host_simulator.exe --help
        expect help "usage: host_simulator" "--config-box PNG"
        [ -z "$(tr -d '\r' < "$work/help.out" | awk 'length > 80')" ] ||
            fail "help: lines beyond 80 columns"
        ;;
    "tools/demo.sh --model 0x60 --no-decoys --tap 0 --tap 4 build/windows/bin/Kolmar15Keys.dll")
        run model 0 host_simulator.exe --model 0x60 --no-decoys --tap 0 --tap 4 "$bin/Kolmar15Keys.dll"
        expect model "keypad, HID vendor 0x0FD9 product 0x0060" "callback 1310 pad pressed: pad 0" \
            "callback 1310 pad pressed: pad 4" "key 5 (index 4) down" \
            'module "KolmarKeys" (the name inside the DLL' "the file stays Kolmar15Keys.dll"
        ! grep -q decoy "$work/model.out" || fail "model: decoys plugged in"
        ;;
    "tools/demo.sh --refuse 1 --mode midi --channel 10 --press 3 --press 4@0 --release 3 --release 4")
        run refuse 0 host_simulator.exe --refuse 1 --mode midi --channel 10 --press 3 --press 4@0 \
            --release 3 --release 4
        expect refuse "-> host refuses" "-> host accepts" "Note On ch 10 note 67 vel 64" \
            "Note On ch 10 note 68 vel 64" "Note Off ch 10 note 67 vel 0" \
            "Note Off ch 10 note 68 vel 0"
        ;;
    "tools/demo.sh --bank 1 --mode midi --channel 1 --tap 3 --count-allocations")
        run bank 0 host_simulator.exe --bank 1 --mode midi --channel 1 --tap 3 --count-allocations
        expect bank "Note On ch 1 note 92 vel 64" "Note On ch 1 note 79 vel 64" \
            "heap allocations by the driver while connected: 0"
        ;;
    "tools/demo.sh --config-box docs/config-box-32keys.png" | \
        "tools/demo.sh --config-box docs/config-box-15keys.png build/windows/bin/Kolmar15Keys.dll")
        picture=$(echo "$1" | sed 's/.*--config-box docs\/\([^ ]*\).*/\1/')
        dll=""
        case "$1" in *Kolmar15Keys.dll) dll="$bin/Kolmar15Keys.dll" ;; esac
        # shellcheck disable=SC2086 # no DLL: no argument
        run "$picture" 0 host_simulator.exe --config-box "$work/$picture" $dll
        expect "$picture" "click on KEY MODE: key mode 1 (MIDI)" \
            "two clicks on M.I.D.I. Channel: key mode 1 (MIDI), MIDI channel 2 (shown as 3)"
        cmp -s "$work/$picture" "$source/docs/$picture" || fail "$picture: not the committed picture"
        ;;
    "host_simulator.exe --list-devices")
        run list-devices 0 host_simulator.exe --list-devices
        expect list-devices "raw-input device" "no keypad for Kolmar32Keys" "no keypad for Kolmar15Keys"
        ;;
    "host_simulator.exe Kolmar32Keys.dll")
        run one-dll 0 host_simulator.exe "$bin/Kolmar32Keys.dll"
        expect one-dll "== Kolmar32Keys.dll ==" "callback 60 keypad connected" \
            "callback 1310 pad pressed: pad 3"
        ! grep -q Kolmar15Keys "$work/one-dll.out" || fail "one-dll: ran the other DLL too"
        ;;
    "list_view_sample --png <file>")
        run list-view 0 list_view_sample.exe --png "$work/list-view.png"
        cmp -s "$work/list-view.png" "$source/docs/list-view-sample.png" ||
            fail "list-view: not the committed picture"
        ;;
    *)
        fail "documented command without a check: $1"
        ;;
    esac
}

# A command starts a line or follows a space, a backquote or a parenthesis
# (tools/list_view_sample, the folder, is no command).
commands=$(grep -ohE '(^|[ `(])(tools/demo\.sh|host_simulator\.exe|list_view_sample)( [^`#|]*[^`#| ])?' \
    "$source/README.md" "$source/INSTALL.md" "$source"/docs/*.md | sed -E 's/^[ `(]//' | sort -u)
[ -n "$commands" ] || fail "no documented commands found"
# Each command starts as on a first run: nothing stored for either DLL.
reg delete 'HKCU\Lorendel' /f
echo "$commands" > "$work/commands"
while IFS= read -r command; do
    echo "checking: $command"
    check "$command"
done < "$work/commands"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "every documented command printed what its text says"
