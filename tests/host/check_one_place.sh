#!/bin/sh
# Facts written once, and the check that they stay so:
# - the version: the project version in CMakeLists.txt; no source file writes
#   it again;
# - the export list: driver/exports.txt; the build makes the .def files from
#   it, and the public header gives exactly those exports a prototype, a
#   function type and the check of the one against the other;
# - the contract's numbers: the public header, include/qp240_remote.h, names
#   every status code and answer, the size of the status block (172), of the
#   plug information (1676), the keypad picture's resource id (500) and Stop's
#   wait (10 s). Everyone else, the DLLs included, uses the names;
# - the box's window class name: the product defines it once
#   (kConfigBoxClassName), a test pins it once, and no host needs it: a host
#   finds its box as the child window its open made.
#
# What counts as writing one of those numbers again: its appearance in the
# code of a C, C++ or resource file (comments and string literals are prose and
# do not count; nor do the docs, whose tables explain the header):
# - 172, 1676, -10, -11, -12, -13 and -2000 anywhere: no other fact of the
#   project has these values;
# - 500 as a resource id: in MAKEINTRESOURCE(...), or as the id a resource
#   line opens with (500 is also a fine window height or timeout);
# - -1 to -5 where they are an export's answer, since they are common numbers
#   otherwise: on a line that also calls an export, in a return statement of
#   the files that make the exports' answers, and as a too-short status of a
#   variant profile;
# - 0 and 1, QP240REMOTE_OK and QP240REMOTE_ALREADY (and every other answer),
#   where an answer is made or compared: a number returned by an int32_t
#   function of the files that make the exports' answers, and, on the host
#   side (tools/, tests/e2e, tests/host, tests/common, bench/, examples/), a
#   number an export's answer is compared with (`== 0`, `EXPECT_EQ(call, 1)`)
#   and a number given as GetPlugInformation's index. The product's own unit
#   tests (tests/windows, tests/native) read answers by their numbers.
# Stop's wait counts in prose too: 10000, "10 000 ms", "10 s" or "10-second"
# on a line that speaks of stopping, in code, its comments and strings, and
# in the docs (a test's own time limit of 10 s is another fact).
# The values themselves are the DLLs' interface, which hosts compile in: the
# list below pins each name to the value the contract gives it, so an edit of
# the header that would change the interface fails here.
# usage: check_one_place.sh <source directory>
cd "$1" || exit 2
status=0
files=$(git ls-files 2>/dev/null) ||
    files=$(find . -type f ! -path './build/*' ! -path './.git/*' | sed 's|^\./||')
code=$(printf '%s\n' "$files" | grep -E '(\.(h|c|cpp|rc|in|cmake|sh|json|def)|CMakeLists\.txt)$' |
    grep -v '^CMakeLists\.txt$')

version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
pattern=$(printf '%s' "$version" | sed 's/\./([.,] ?)/g')
for file in $code; do
    if grep -Eqw "$pattern" "$file"; then
        echo "FAIL $file writes the version $version; take it from base/version.h"
        status=1
    fi
    case "$file" in
        *.def) echo "FAIL $file: .def files are made from driver/exports.txt"; status=1 ;;
    esac
done

pinned="QP240REMOTE_OK 0
QP240REMOTE_ALREADY 1
QP240REMOTE_E_BAD_HANDLE (-1)
QP240REMOTE_E_BOX_CLASS (-1)
QP240REMOTE_E_NULL_OUT (-1)
QP240REMOTE_E_TOOLKIT (-2)
QP240REMOTE_E_BAD_INDEX (-2)
QP240REMOTE_E_NULL_CONTEXT (-2)
QP240REMOTE_E_BAD_ID (-2)
QP240REMOTE_E_REPORT_TOO_SHORT (-2)
QP240REMOTE_E_CONTEXT_SIZE (-3)
QP240REMOTE_E_NOT_CONNECTED (-3)
QP240REMOTE_E_NO_USER32 (-4)
QP240REMOTE_E_NO_WINDOW (-5)
QP240REMOTE_E_NULL_DATA (-10)
QP240REMOTE_E_OTHER_DEVICE (-11)
QP240REMOTE_E_REPORT_TOO_SHORT_15 (-12)
QP240REMOTE_E_KEYS_TOO_SHORT_15 (-13)
QP240REMOTE_E_NO_THREAD (-2000)
QP240REMOTE_DRIVER_NOT_STARTED 0
QP240REMOTE_DRIVER_DETECTING 1
QP240REMOTE_DRIVER_CONNECTED 2
QP240REMOTE_ARCHITECTURE_TEXT_SIZE 43
QP240REMOTE_PLUG_INFORMATION_SIZE 1676
QP240REMOTE_HOST_STATUS_SIZE 172
QP240REMOTE_CONTEXT_SIZE 12
QP240REMOTE_STALE_HANDLE_CREATES 64
QP240REMOTE_KEYPAD_PICTURE_ID 500
QP240REMOTE_INFO_INPUT_REPORT 55
QP240REMOTE_INFO_HOST_STATUS 56
QP240REMOTE_RAWINPUT_DEVICE_OFFSET 8
QP240REMOTE_RAWINPUT_REPORT_SIZE_OFFSET 24
QP240REMOTE_RAWINPUT_REPORT_OFFSET 32
QP240REMOTE_PLUG_VERSION_OFFSET 0x634
QP240REMOTE_STOP_WAIT_MS 10000
QP240REMOTE_MAX_RAW_INPUT_DEVICES 128
QP240REMOTE_BOX_WIDTH 600
QP240REMOTE_BOX_HEIGHT 300"
defined=$(sed -n 's/^#define \(QP240REMOTE_[A-Z0-9_]*\) \([^ ]*\).*/\1 \2/p' include/qp240_remote.h)
printf '%s\n' "$pinned" | while read -r name value; do
    actual=$(printf '%s\n' "$defined" | sed -n "s/^$name //p")
    [ "$actual" = "$value" ] || echo "FAIL include/qp240_remote.h: $name is ${actual:-missing}, the contract says $value"
done | grep . && status=1

# A C-family file's code, line for line, with comments and string and
# character literals blanked out.
code_of() {
    awk '
    {
        out = ""
        n = length($0)
        for (i = 1; i <= n; ++i) {
            c = substr($0, i, 1)
            two = substr($0, i, 2)
            if (inComment) {
                if (two == "*/") { inComment = 0; ++i }
                continue
            }
            if (quote != "") {
                if (c == "\\") { ++i; continue }
                if (c == quote) quote = ""
                continue
            }
            if (two == "//") break
            if (two == "/*") { inComment = 1; ++i; continue }
            if (c == "\"" || c == "'\''") { quote = c; out = out " "; continue }
            out = out c
        }
        print out
    }' "$1"
}

# The header's code on one line: each export has a prototype, a function type
# and the check of the one against the other, for exactly the listed names.
header=$(code_of include/qp240_remote.h | tr -s ' \n' '  ')
listed=$(grep '^QP240REMOTE_' driver/exports.txt | sort)
calls=$(printf '%s\n' "$header" | grep -o 'QP240REMOTE_CALL QP240REMOTE_[A-Za-z]*(' |
    sed 's/^QP240REMOTE_CALL //; s/($//')
checks=$(printf '%s\n' "$header" | grep -o 'QP240REMOTE_CHECK_TYPE(QP240REMOTE_[A-Za-z]*)' |
    sed 's/^QP240REMOTE_CHECK_TYPE(//; s/)$//')
for kind in prototype type check; do
    case $kind in
        prototype) declared=$(printf '%s\n' "$calls" | grep -v 'Fn$') ;;
        type) declared=$(printf '%s\n' "$calls" | sed -n 's/Fn$//p') ;;
        check) declared=$checks ;;
    esac
    if [ "$(printf '%s\n' "$declared" | sort)" != "$listed" ]; then
        echo "FAIL include/qp240_remote.h: its ${kind}s are not of the exports driver/exports.txt lists"
        status=1
    fi
done

exports=$(sed 's/^QP240REMOTE_//' driver/exports.txt | grep -v '^#' | paste -sd'|' -)
answering="driver/exports.cpp driver/handle_check.cpp engine/report_intake.cpp
engine/worker_control.cpp config/config_box.cpp"
for file in $answering; do
    [ -f "$file" ] || { echo "FAIL $0 names $file among the answering files; it is gone"; status=1; }
done
numbers=0
for file in $(printf '%s\n' "$files" | grep -E '\.(h|c|cpp|rc)$' | grep -v '^include/qp240_remote\.h$'); do
    case "$file" in
        tools/* | tests/e2e/* | tests/host/* | tests/common/* | bench/* | examples/*) host=1 ;;
        *) host=0 ;;
    esac
    found=$(code_of "$file" | awk -v exports="$exports" -v answering=" $(echo $answering) " \
        -v file="$file" -v host=$host '
    function show(what, at) {
        printf "FAIL %s:%d writes %s; use the public header'\''s name\n", file, at, what
    }
    # Every call of an export in statement `s` (which began on line `at`):
    # the number given as GetPlugInformation'\''s index, and a number the
    # answer is compared with, before or after the call.
    function answers(s, at,    pos, rest, open, shut, depth, i, c, name, before, after) {
        pos = 1
        while (match(rest = substr(s, pos), "(QP240REMOTE_|[.>])(" exports ")\\(")) {
            open = pos + RSTART + RLENGTH - 2
            name = substr(s, pos + RSTART - 1, RLENGTH - 1)
            sub(/^(QP240REMOTE_|[.>])/, "", name)
            depth = 0
            shut = 0
            for (i = open; i <= length(s) && !shut; ++i) {
                c = substr(s, i, 1)
                if (c == "(")
                    ++depth
                else if (c == ")" && --depth == 0)
                    shut = i
            }
            if (!shut)
                return
            if (name == "GetPlugInformation" && substr(s, open + 1) ~ /^ *[0-9]+ *,/)
                show("GetPlugInformation'\''s index as a number", at)
            before = substr(s, 1, pos + RSTART - 1)
            after = substr(s, shut + 1)
            if (after ~ /^ *[=!]= *-?[0-9]+([^A-Za-z0-9_.]|$)/ ||
                after ~ /^ *, *-?[0-9]+ *\)/ ||
                before ~ /(^|[^A-Za-z0-9_.])-?[0-9]+ *[=!]= *[^,()=!<>&|]*$/ ||
                before ~ /_(EQ|NE)\( *-?[0-9]+ *, *[^,()]*$/)
                show("a number compared with " name "'\''s answer", at)
            pos = open + 1
        }
    }
    {
        line = " " $0 " "
        if (match(line, /[^A-Za-z0-9_.](172|1676)[^A-Za-z0-9_.]/))
            show(substr(line, RSTART + 1, RLENGTH - 2), NR)
        if (match(line, /[^]A-Za-z0-9_)]-(1[0-3]|2000)[^A-Za-z0-9_.]/))
            show(substr(line, RSTART + 1, RLENGTH - 2), NR)
        if (line ~ /MAKEINTRESOURCE[AW]?\( *500 *\)/ || (file ~ /\.rc$/ && $1 == "500"))
            show("the resource id 500", NR)
        small = "[^]A-Za-z0-9_)]-[1-5][^A-Za-z0-9_.]"
        if (match(line, "(QP240REMOTE_|[.>])(" exports ")\\(") && match(line, small))
            show(substr(line, RSTART + 1, RLENGTH - 2) " beside an export call", NR)
        if (match(line, /[Ss]tatus = -[1-5];/))
            show(substr(line, RSTART, RLENGTH), NR)
        if (index(answering, " " file " ")) {
            # A definition opens at the start of a line; its answers are
            # int32_t ones.
            if ($0 ~ /^[A-Za-z_].*\(/ && $0 !~ /;[ ]*$/)
                int32 = $0 ~ /(^|[ *&])int32_t[ *&]/
            if (match(line, /return -[1-5];/) || (int32 && match(line, /return -?[0-9]+;/)))
                show(substr(line, RSTART, RLENGTH), NR)
        }
        # The host side, a statement at a time: a call and the number its
        # answer is compared with may stand on different lines.
        if (host) {
            if (statement == "")
                start = NR
            statement = statement " " $0
            if ($0 ~ /^[ ]*#/ || $0 ~ /[;{}][ ]*$/) {
                answers(statement, start)
                statement = ""
            }
        }
    }')
    if [ -n "$found" ]; then
        printf '%s\n' "$found"
        numbers=1
    fi
done
[ $numbers -ne 0 ] && status=1

# Stop's wait, in code, comments and strings, and in the docs.
for file in $(printf '%s\n' "$files" | grep -E '\.(h|c|cpp|md)$' | grep -v '^include/qp240_remote\.h$'); do
    grep -nE '(\b10 ?000\b|\b10 s\b|\b10-second\b)' "$file" | grep -i 'stop' |
        sed "s|^\([0-9]*\):.*|FAIL $file:\1 writes Stop's wait; name QP240REMOTE_STOP_WAIT_MS|" |
        grep . && status=1
done

# The box's class name: its definition in the product, and one test's pin.
class=$(printf '%s\n' "$files" | grep -E '^(driver|engine|config|toolkit|base)/.*\.h$' |
    xargs sed -n 's/.*kConfigBoxClassName\[\] = "\(.*\)";.*/\1/p' 2>/dev/null)
if [ -z "$class" ]; then
    echo "FAIL no product header defines the box's class name (kConfigBoxClassName)"
    status=1
else
    written=$(printf '%s\n' "$files" | grep -E '\.(h|c|cpp|rc)$' | xargs grep -nF "\"$class\"")
    others=$(printf '%s\n' "$written" | grep -v 'kConfigBoxClassName\[\] = ' | grep -v '^tests/')
    pins=$(printf '%s\n' "$written" | grep -c '^tests/')
    [ "$pins" -gt 1 ] && others=$(printf '%s\n' "$written" | grep -v 'kConfigBoxClassName\[\] = ')
    if [ -n "$others" ]; then
        printf '%s\n' "$others" |
            sed 's|^\([^:]*:[0-9]*\):.*|FAIL \1 writes the box'\''s class name; the product names it, a test pins it once|'
        status=1
    fi
fi

[ $status -eq 0 ] &&
    echo "version $version, $(printf '%s\n' "$listed" | wc -l) exports, the contract's numbers and the box's class name, each written once"
exit $status
