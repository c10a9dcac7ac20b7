#!/bin/sh
# Each DLL seeds its stack canary when it is loaded: the canary of a loaded
# DLL is neither the value the file was built with nor the value of another
# load in another process. The canary's place comes from the DLL's PDB (the
# public symbol __stack_chk_guard and the section table).
#
# usage: stack_canary.sh <directory of the built programs> <DLL>...
# (WINEPREFIX set, as CTest sets it).
bin="$1"
shift
failures=0

u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }

for dll in "$@"; do
    file="$bin/$dll"
    # "flags = none, addr = 0004:0576": section number and offset, decimal.
    place=$(llvm-pdbutil dump -publics "$bin/${dll%.dll}.pdb" |
        sed -n '/`__stack_chk_guard`$/{n;s/.*addr = \([0-9]*\):\([0-9]*\).*/\1 \2/p;}')
    if [ -z "$place" ]; then
        echo "FAIL $dll: no __stack_chk_guard in its PDB"
        failures=$((failures + 1))
        continue
    fi
    section=$(echo "$place" | cut -d' ' -f1 | sed 's/^0*//')
    offset=$(echo "$place" | cut -d' ' -f2 | sed 's/^0*//')
    # The section header (40 bytes each, after the optional header): its
    # virtual address at 12, its place in the file at 20.
    pe=$(u32 "$file" 60)
    headers=$((pe + 24 + $(od -An -tu2 -j$((pe + 20)) -N2 "$file" | tr -d ' ')))
    header=$((headers + (section - 1) * 40))
    rva=$(($(u32 "$file" $((header + 12))) + offset))
    built=$(od -An -tx8 -j$(($(u32 "$file" $((header + 20))) + offset)) -N8 "$file" | tr -d ' ')
    first=$(wine "$bin/canary_reader.exe" "$file" "$rva" </dev/null | tr -d '\r')
    second=$(wine "$bin/canary_reader.exe" "$file" "$rva" </dev/null | tr -d '\r')
    echo "$dll: built with $built, loaded $first and $second"
    if [ -z "$first" ] || [ -z "$second" ]; then
        echo "FAIL $dll: the canary could not be read"
        failures=$((failures + 1))
    elif [ "$first" = "$built" ] || [ "$second" = "$built" ]; then
        echo "FAIL $dll: the loaded canary is the value it was built with: not seeded"
        failures=$((failures + 1))
    elif [ "$first" = "$second" ]; then
        echo "FAIL $dll: two loads in two processes have the same canary"
        failures=$((failures + 1))
    fi
done
[ $failures -eq 0 ]
