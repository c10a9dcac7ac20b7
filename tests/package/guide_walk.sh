#!/bin/sh
# Walks the install guide's steps for the ZIP literally, as a person does
# them on Windows, and in its order:
# 1. the downloads in one folder, checked by the guide's PowerShell line: the
#    line is read from INSTALL.md, and its logic done here (each line of each
#    matching .sha256 file split at blanks into sum and file name, the file's
#    SHA-256 compared without regard to case), every file True;
# 2. Extract All, as Windows does it: a folder named after the ZIP beside it,
#    the ZIP's entries below it as they are stored;
# 3. every file and folder of the guide's table of what the extracted folder
#    holds is there;
# 4. each host_simulator.exe command of the guide, typed in a command window
#    opened in that folder, runs and prints what the guide says it prints.
#
# usage: guide_walk.sh <source dir> <dist dir> <package name> <work folder>
# (WINEPREFIX set).
source="$1"
dist="$2"
name="$3"
work="$4"
guide="$source/INSTALL.md"
failures=0
export WINEDEBUG=-all

fail() {
    echo "FAIL guide: $*"
    failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)  # the commands run in another folder
downloads="$work/Downloads"
mkdir -p "$downloads"
cp "$dist/$name".zip* "$dist/$name"-setup.exe* "$downloads/"

# 1. The check. The line as the guide prints it; its pattern of file names.
line=$(sed -n 's/^    \(Get-Content .*\)$/\1/p' "$guide")
expected='Get-Content kolmar-keypad-drivers-*.sha256 | ForEach-Object { $sum, $file = -split $_; "$file " + ((Get-FileHash $file).Hash -eq $sum) }'
if [ "$line" != "$expected" ]; then
    fail "the guide's check line is not the one this test does: $line"
else
    checked=0
    for sums in "$downloads"/kolmar-keypad-drivers-*.sha256; do
        while read -r sum file rest; do
            [ -z "$rest" ] || fail "$sums: more than a sum and a file name on a line"
            hash=$(sha256sum < "$downloads/$file" 2>/dev/null | cut -d' ' -f1)
            if [ -n "$hash" ] &&
                [ "$(echo "$hash" | tr a-f A-F)" = "$(echo "$sum" | tr a-f A-F)" ]; then
                checked=$((checked + 1))
            else
                fail "the check prints \"$file False\" (or cannot find it)"
            fi
        done < "$sums"
    done
    [ $checked = 2 ] || fail "the check tested $checked files, not the ZIP and the installer"
fi

# 2. Extract All: Downloads\<name>\, the entries as stored.
folder="$downloads/$name"
mkdir -p "$folder"
(cd "$folder" && cmake -E tar xf "../$name.zip") || fail "the ZIP does not extract"

# 3. The table after "The extracted folder holds": the names in its first
# column, files, folders ("include/") and patterns ("*.pdb").
names=$(awk '/^ *The extracted folder holds/ { on = 1; next }
    on && /^ *\|/ { table = 1; print; next } on && table { exit }' "$guide" |
    sed -n 's/^ *| *\([^|]*\)|.*/\1/p' | grep -o '`[^`]*`' | tr -d '`')
[ -n "$names" ] || fail "no table of the extracted folder's files in the guide"
for entry in $names; do
    case "$entry" in
    */) [ -d "$folder/$entry" ] || fail "no folder $entry where the guide says" ;;
    *"*"*) ls "$folder"/$entry > /dev/null 2>&1 || fail "no $entry where the guide says" ;;
    *) [ -f "$folder/$entry" ] || fail "no $entry where the guide says" ;;
    esac
done

# 4. The guide's commands, in a command window opened in the extracted folder.
sed -n 's/^    \(host_simulator\.exe.*\)$/\1/p' "$guide" > "$work/commands"
[ -s "$work/commands" ] || fail "the guide shows no host_simulator.exe command"
while IFS= read -r command; do
    # shellcheck disable=SC2086 # the command's words, as typed
    (cd "$folder" && wine cmd /c $command < /dev/null > "$work/output" 2>&1)
    status=$?
    output=$(tr -d '\r' < "$work/output")
    case "$command" in
    *--list-devices)
        echo "$output" | grep -q "no keypad for Kolmar32Keys" ||
            fail "\"$command\" in the extracted folder: $output"
        ;;
    *Kolmar??Keys.dll)
        [ "$(echo "$output" | tail -1 | sed 's/^\[ *[0-9]* ms\] *//')" = "QP240REMOTE_End -> 0" ] ||
            fail "\"$command\" in the extracted folder does not end with QP240REMOTE_End -> 0: $output"
        ;;
    *)
        fail "a command of the guide without a check here: $command"
        ;;
    esac
    [ $status = 0 ] || fail "\"$command\" ended with $status"
done < "$work/commands"

[ $failures -eq 0 ] && echo "guide: every step of the ZIP's way done as written"
[ $failures -eq 0 ]
