#!/bin/sh
# Reads a deliverable's export and import tables with objdump and fails on a
# missing, extra or mangled export, a wrong export directory name, or an import
# of anything but a Windows system DLL (a host machine has no MinGW runtime).
# usage: check_dll_tables.sh <objdump> <dll> <export directory name> <export list>
objdump="$1" dll="$2" expected_name="$3" export_list="$4"
tables=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }
status=0

exports=$(printf '%s\n' "$tables" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
expected=$(grep '^QP240REMOTE_' "$export_list" | sort)
if [ "$exports" != "$expected" ]; then
    echo "FAIL exports of $dll differ from the names in $export_list:"
    printf '%s\n' "$expected" > expected.$$; printf '%s\n' "$exports" > actual.$$
    diff expected.$$ actual.$$; rm -f expected.$$ actual.$$
    status=1
fi

name=$(printf '%s\n' "$tables" | sed -n 's/^Name[[:space:]]*[0-9a-fA-F]* //p' | head -n 1)
if [ "$name" != "$expected_name" ]; then
    echo "FAIL export directory names \"$name\", expected \"$expected_name\""
    status=1
fi

imports=$(printf '%s\n' "$tables" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
for import in $imports; do
    case "$import" in
        KERNEL32.DLL | USER32.DLL | GDI32.DLL | ADVAPI32.DLL | MSVCRT.DLL) ;;
        *) echo "FAIL $dll imports $import, which is not a Windows system DLL"; status=1 ;;
    esac
done

[ $status -eq 0 ] && echo "$dll: sixteen exports, directory name $name, imports:" $imports
exit $status
