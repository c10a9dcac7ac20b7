#!/bin/sh
# The table check fails a program that lost a hardening flag, carries a
# section both writable and executable or names another PDB: copies of the
# 32-key DLL, each with one fault written into its headers, must each fail
# with the fault's message, and the untouched copy must pass.
#
# usage: tampered_programs.sh <directory of the built programs> [<PDB name>]
# (WINEPREFIX set, as CTest sets it).
bin="$1"
pdb="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin/dll_tables.exe" "$work/"
failures=0

u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
u16() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
# put FILE OFFSET VALUE BYTES: VALUE little-endian into BYTES bytes at OFFSET.
put() {
    value=$3
    for i in $(seq 1 "$4"); do
        printf "\\$(printf %03o $((value % 256)))"
        value=$((value / 256))
    done | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# check NAME EXPECTED: the copy NAME.dll fails with the text EXPECTED; with
# EXPECTED empty, it passes.
check() {
    output=$(cd "$work" && wine dll_tables.exe "$1.dll" Kolmar32Keys.dll $pdb < /dev/null 2>&1 |
        tr -d '\r')
    if [ -z "$2" ]; then
        if echo "$output" | grep -q FAIL; then
            echo "FAIL the untouched copy: $output"
            failures=$((failures + 1))
        fi
    elif ! echo "$output" | grep -qF "$2"; then
        echo "FAIL $1: no \"$2\" in: $output"
        failures=$((failures + 1))
    fi
}

original="$work/untouched.dll"
cp "$bin/Kolmar32Keys.dll" "$original"
optional=$(($(u32 "$original" 60) + 24))
characteristics=$(u16 "$original" $((optional + 70)))
check untouched ""
for flag in "64 DYNAMIC_BASE" "32 HIGH_ENTROPY_VA" "256 NX_COMPAT"; do
    bit=${flag% *}
    name=${flag#* }
    cp "$original" "$work/$name.dll"
    put "$work/$name.dll" $((optional + 70)) $((characteristics & ~bit)) 2
    check "$name" "lacks $name"
done
# The first section (.text) made writable as well as executable.
sections=$((optional + $(u16 "$original" $(($(u32 "$original" 60) + 20)))))
cp "$original" "$work/writable-code.dll"
put "$work/writable-code.dll" $((sections + 36)) $(($(u32 "$original" $((sections + 36))) | 0x80000000)) 4
check writable-code "is writable and executable"
if [ -n "$pdb" ]; then
    # The debug directory's CodeView record names another file: its first letter changed.
    cp "$original" "$work/other-pdb.dll"
    offset=$(grep -abo "$pdb" "$original" | head -1 | cut -d: -f1)
    printf 'X' | dd of="$work/other-pdb.dll" bs=1 seek="$offset" conv=notrunc status=none
    check other-pdb "names the PDB"
fi

[ "$failures" -eq 0 ] || exit 1
echo "the table check fails each tampered copy"
